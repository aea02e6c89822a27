// The first line of a stream, read in small chunks so that a large file is not read whole.
#include "setup/record/TextLine.h"

std::string ReadFirstLine(TStream& stream) {
    std::string line;
    char chunk[512];
    for (;;) {
        const int32_t count = stream.Read(chunk, sizeof chunk);
        for (int32_t i = 0; i < count; ++i) {
            if (chunk[i] == '\r' || chunk[i] == '\n') return line;
            line += chunk[i];
        }
        if (count < static_cast<int32_t>(sizeof chunk)) return line;
    }
}
