// make-setup's --sign-uninstaller: the uninstaller that a setup places beside the dictionary is
// signed with the publisher's own command before it is packed into the made setup, so that UAC
// names the publisher when the uninstaller asks for administrator rights.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qdmx {

// The command line to run: "{in}" stands for the unsigned uninstaller, "{out}" for where the
// signed one must be written (without "{out}" the command signs "{in}" in place, as signtool
// does); without "{in}" the unsigned file's path is appended. Paths are quoted.
std::string SigningCommandLine(const std::string& command, const std::string& in, const std::string& out);

// The packed uninstaller (an archive of the one member uninstall.exe) with that member signed by
// the command and packed again with lh5. Raises Exception when the command fails or leaves the
// program unsigned.
std::vector<uint8_t> SignPackedUninstaller(const std::vector<uint8_t>& packed, const std::string& command);

} // namespace qdmx
