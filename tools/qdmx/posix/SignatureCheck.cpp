#include "tools/qdmx/SignatureCheck.h"

#include "platform/Exception.h"
#include "tools/qdmx/ChildProcess.h"

#include <fstream>
#include <sstream>

namespace qdmx {

std::optional<std::string> RefuseSignature(const std::string& path, const std::string& caFile,
                                           const std::string& logFile) {
    std::vector<std::string> arguments{"osslsigncode", "verify"};
    if (!caFile.empty()) arguments.insert(arguments.end(), {"-CAfile", caFile});
    arguments.insert(arguments.end(), {"-in", path});
    int status = 0;
    try {
        status = RunProgram(arguments, logFile);
    } catch (const Exception& e) {
        return std::string("osslsigncode could not be run (Debian's package osslsigncode): ") + e.what();
    }
    if (status == 0) return std::nullopt;
    // The lines that say what failed.
    std::ifstream log(logFile);
    std::string line, failures;
    while (std::getline(log, line))
        if (line.find("ailed") != std::string::npos || line.find("MISMATCH") != std::string::npos ||
            line.find("rror") != std::string::npos)
            failures += "\n  " + line;
    return "osslsigncode verify does not accept its signature (status " + std::to_string(status) + ")" +
           failures;
}

} // namespace qdmx
