// What the full codec table and the expand-only one share: the expanders of
// every method and the mapping from method index to entry. Each table lists its four entries in
// the order stored, RLE, LZH, LH5 and differs only in whether they carry a compressor.
#pragma once

#include "compress/CodecTable.h"
#include "compress/archive/ArchiveFormat.h"
#include "compress/codecs/StoredRle.h"
#include "compress/codecs/lh5/expand/Lh5Expand.h"
#include "compress/codecs/lzh/LzhCodec.h"

inline void StoredExpandMember(TCodecState& s, int32_t) {
    StoredCopy(s);
}
inline void RleExpandMember(TCodecState& s, int32_t) {
    RleExpand(s);
}

// The entry of a method index in a table of four (stored, RLE, LZH, LH5), or nullptr for the
// custom method and unknown indexes.
inline const TCodecEntry* CodecEntryIn(const TCodecEntry (&entries)[4], uint8_t method) {
    switch (method) {
    case miStored:
        return &entries[0];
    case miRLE:
        return &entries[1];
    case miLZH:
        return &entries[2];
    case miLH5:
        return &entries[3];
    default:
        return nullptr;
    }
}
