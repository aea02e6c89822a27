// Whether a signed program's Authenticode signature is one the system accepts: on Windows
// WinVerifyTrust, with the machine's own trust; elsewhere `osslsigncode verify`, with caFile as
// the certificate authorities it trusts when one is named (its own default otherwise).
#pragma once

#include <optional>
#include <string>

namespace qdmx {

// Nothing when the signature of the program at path is accepted, else why not. logFile: where
// osslsigncode's report goes (not used on Windows).
std::optional<std::string> RefuseSignature(const std::string& path, const std::string& caFile,
                                           const std::string& logFile);

} // namespace qdmx
