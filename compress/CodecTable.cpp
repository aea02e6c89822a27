#include "compress/CodecTable.h"

#include "compress/ArchiveFormat.h"
#include "compress/codecs/StoredRle.h"

namespace {
void ExpandStored(TCodecState& s, int32_t) { CopyStored(s); }
void ExpandRle(TCodecState& s, int32_t) { ExpandRLE(s); }

constexpr TCodecEntry StoredCodec{CopyStored, ExpandStored};
constexpr TCodecEntry RleCodec{CompressRLE, ExpandRle};
} // namespace

const TCodecEntry* FindCodec(uint8_t method) {
    switch (method) {
    case miStored: return &StoredCodec;
    case miRLE: return &RleCodec;
    default: return nullptr;
    }
}
