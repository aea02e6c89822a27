// The progress display of qdmx: the current member's name and percentage on one line of
// standard error, rewritten in place, shown only when standard error is a terminal.
#pragma once

#include "compress/codecs/CodecState.h"

#include <cstdio>
#include <string>

namespace qdmx {

class TProgressDisplay {
public:
    TProgressDisplay(bool enabled, std::FILE* out = stderr) : Enabled(enabled), Out(out) {}
    ~TProgressDisplay() { Finish(); }

    // Whether standard error is a terminal (where a display that rewrites its line makes sense).
    static bool StandardErrorIsTerminal();

    // Starts the line of the next member.
    void Begin(const std::string& name);
    // Shows a percentage of the current member; 100 ends its line.
    void Update(int32_t percent);
    // Ends a line left open.
    void Finish();
    // A handler for OnShowProgress that feeds Update.
    TShowProgressEvent Handler() {
        return [this](int32_t& percent) { Update(percent); };
    }

private:
    bool Enabled;
    std::FILE* Out;
    std::string Name;
    int32_t Shown = -1;
    bool LineOpen = false;
};

} // namespace qdmx
