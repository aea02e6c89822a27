// The setup programs' codec table: the expanders of every method and no compressors. A setup only
// expands, and the compressors (the LH5 one with its match finder and worker threads above all)
// would make up a sixth of the program. Linked as one of the programs' own objects, this
// definition of FindCodec is the one the archive component calls; the archive library's full
// table is then never linked in (were it pulled in, the two definitions would clash at link time).
#include "compress/CodecTable.h"

#include "compress/ArchiveFormat.h"
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

constexpr TCodecEntry StoredCodec{nullptr, ExpandStored};
constexpr TCodecEntry RleCodec{nullptr, ExpandRle};
constexpr TCodecEntry LzhCodec{nullptr, LzhExpand};
constexpr TCodecEntry Lh5Codec{nullptr, ExpandLH5};
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
