// Which codec runs for a method index in each direction. Method 3 (custom) and indexes above 4
// have no entry: nothing runs for them. FindCodec is defined by one of two libraries, which the
// build chooses per program: the full table, or the expand-only one whose entries have no
// compressor (Compress is then nullptr).
//
// Codec entry points are named method first, then direction (StoredCopy, RleCompress,
// RleExpand, LzhCompress, LzhExpand, Lh5Compress, Lh5Expand), and an error that only one
// method raises E<Method><Condition> (ELh5BadDecodeTable, EDenseDataError).
#pragma once

#include "compress/codecs/CodecState.h"

struct TCodecEntry {
    void (*Compress)(TCodecState& s);
    void (*Expand)(TCodecState& s, int32_t destSize);
};

// The entry of a method index, or nullptr when no codec runs for it.
const TCodecEntry* FindCodec(uint8_t method);
