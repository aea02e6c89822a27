// The first line of a stream, read in small chunks so that a large file is not read whole.
#include "setup/record/TextLine.h"

#include "platform/Exception.h"

std::string ReadFirstLine(TStream& stream, size_t maxLength) {
    std::string line;
    char chunk[512];
    for (;;) {
        const int32_t count = stream.Read(chunk, sizeof chunk);
        for (int32_t i = 0; i < count; ++i) {
            if (chunk[i] == '\r' || chunk[i] == '\n') return line;
            if (line.size() == maxLength)
                throw EInOutError("The first line is longer than " + std::to_string(maxLength) + " bytes");
            line += chunk[i];
        }
        if (count < static_cast<int32_t>(sizeof chunk)) return line;
    }
}
