// The qdmx subcommands and the exit statuses they share.
#pragma once

#include "platform/Exception.h"

#include <cstdint>
#include <string>

namespace qdmx {

enum ExitStatus : int { ExitOk = 0, ExitFailure = 1, ExitUsage = 2, ExitUnableToCompress = 3 };

// A command-line mistake: reported with a usage hint and exit status 2. The commands raise it
// before their own handlers of Exception, which report archive and file errors with status 1.
class EUsageError : public Exception {
    using Exception::Exception;
};

struct TCodecOptions {
    std::string Method;
    int64_t Size = -1;  // expanded size for decode; -1 when not given
    std::string Input;  // empty or "-": standard input
    std::string Output; // empty or "-": standard output
};

int Encode(const TCodecOptions& options);
int Decode(const TCodecOptions& options);

} // namespace qdmx
