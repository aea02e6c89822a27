// Progress lines: "\rNAME  42%" while a member is coded, ended by a newline at 100%. The line is
// written only when the percentage changes, so a member of many chunks costs a few writes.
#include "tools/qdmx/commands/Progress.h"

#include "tools/qdmx/Console.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qdmx {

bool TProgressDisplay::StandardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

void TProgressDisplay::Begin(const std::string& name) {
    Finish();
    Name = name;
    Shown = -1;
}

void TProgressDisplay::Update(int32_t percent) {
    if (!Enabled || percent == Shown || Shown == 100) return;
    Shown = percent;
    PrintText(Out, "\r%s %3d%%", Name.c_str(), static_cast<int>(percent));
    LineOpen = true;
    if (percent == 100) Finish();
    std::fflush(Out);
}

void TProgressDisplay::Finish() {
    if (!LineOpen) return;
    WriteText(Out, "\n");
    std::fflush(Out);
    LineOpen = false;
}

} // namespace qdmx
