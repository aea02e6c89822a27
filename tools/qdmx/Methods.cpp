#include "tools/qdmx/Methods.h"

#include "compress/CodecTable.h"
#include "compress/archive/ArchiveFormat.h"

namespace {
struct TMethodName {
    const char* Name;
    uint8_t Index;
};
constexpr TMethodName MethodNames[] = {{"none", miStored}, {"rle", miRLE}, {"lzh", miLZH}, {"lh5", miLH5}};
} // namespace

std::optional<uint8_t> MethodIndexOfName(const std::string& name) {
    for (const auto& m : MethodNames)
        if (name == m.Name) return m.Index;
    return std::nullopt;
}

const char* MethodNameOfIndex(uint8_t index) {
    for (const auto& m : MethodNames)
        if (index == m.Index) return m.Name;
    return index == miCustom ? "custom" : "unknown";
}

bool MethodAvailable(uint8_t index, bool expanding) {
    const TCodecEntry* codec = FindCodec(index);
    return codec && (expanding ? codec->Expand != nullptr : codec->Compress != nullptr);
}
