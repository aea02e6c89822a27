// make-setup's --sign-uninstaller: the uninstaller that a setup places beside the dictionary is
// signed with the publisher's own command before it is packed into the made setup, so that UAC
// names the publisher when the uninstaller asks for administrator rights.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qdmx {

// The program and arguments to run, with no shell between: the command split at spaces and tabs
// outside double quotes (which group, and are dropped); "{in}" stands for the unsigned
// uninstaller, "{out}" for where the signed one must be written (without "{out}" the command signs
// "{in}" in place, as signtool does); without "{in}" the unsigned file's path is appended.
// Raises Exception for a command with no program or an unmatched quote.
std::vector<std::string> SigningArguments(const std::string& command, const std::string& in,
                                          const std::string& out);

// Nothing when signedImage is the unsigned image apart from its Authenticode signature (the
// certificate table, its directory entry, the checksum and the padding before the table), else
// what differs.
std::optional<std::string> FindChangeBesidesSignature(const std::vector<uint8_t>& unsignedImage,
                                                      const std::vector<uint8_t>& signedImage);

// The packed uninstaller (an archive of the one member uninstall.exe) with that member signed by
// the command and packed again with zstd. Raises Exception when the command fails, when the
// system's signature check (SignatureCheck.h, with caFile) does not accept the result, or when the
// result is not the uninstaller it was given apart from the signature.
std::vector<uint8_t> SignPackedUninstaller(const std::vector<uint8_t>& packed, const std::string& command,
                                           const std::string& caFile);

} // namespace qdmx
