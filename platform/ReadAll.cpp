#include "platform/files/FileStream.h"

std::vector<uint8_t> ReadAll(TStream& stream) {
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (int32_t n; (n = stream.Read(chunk, sizeof chunk)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
    return bytes;
}
