// The adaptive Huffman model of the LZH method: 314 symbols (literals and match lengths) on 627
// nodes kept in sibling order, so that incrementing a leaf's frequency needs at most one exchange
// per level to keep the tree a Huffman tree. Compressor and expander update it at the same points.
#pragma once

#include "compress/codecs/lzh/LzhStorage.h"

// Every symbol at frequency 1; also clears the bit buffers of both directions.
void LzhStartModel(TLzhStorage& z);
// Counts one more occurrence of symbol s, rebuilding first when the root has reached 0x8000.
void LzhUpdateModel(TLzhStorage& z, int s);
// Halves every leaf's frequency and builds the tree anew from the leaves.
void LzhRebuildModel(TLzhStorage& z);
