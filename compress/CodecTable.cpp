#include "compress/CodecTable.h"

#include "compress/ArchiveFormat.h"
#include "compress/codecs/Lh5Compress.h"
#include "compress/codecs/Lh5Expand.h"
#include "compress/codecs/LzhCodec.h"
#include "compress/codecs/StoredRle.h"

namespace {
void ExpandStored(TCodecState& s, int32_t) {
    CopyStored(s);
}
void ExpandRle(TCodecState& s, int32_t) {
    ExpandRLE(s);
}

constexpr TCodecEntry StoredCodec{CopyStored, ExpandStored};
constexpr TCodecEntry RleCodec{CompressRLE, ExpandRle};
constexpr TCodecEntry LzhCodec{LzhCompress, LzhExpand};
constexpr TCodecEntry Lh5Codec{CompressLH5, ExpandLH5};
} // namespace

const TCodecEntry* FindCodec(uint8_t method) {
    switch (method) {
    case miStored:
        return &StoredCodec;
    case miRLE:
        return &RleCodec;
    case miLZH:
        return &LzhCodec;
    case miLH5:
        return &Lh5Codec;
    default:
        return nullptr;
    }
}
