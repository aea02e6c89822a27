// The inner loop of the lh5 expander for the long stretches of a block where neither a block
// head, nor the end of the input chunk, nor the end of the window is near. It decodes with a
// 64-bit bit buffer refilled by whole words straight from the input chunk, packed lookup
// tables (symbol and code length in one entry) and match copies of 16 bytes at a time into a
// linear window, and leaves the bit-wise state (BitWindow, PendingByte, PendingBits,
// BlockRemaining) exactly as the bit-by-bit reader would have it.
#pragma once

#include "compress/codecs/lh5/expand/Lh5Expand.h"

#include <cstdint>

struct TLh5FastTables {
    uint32_t Sym[1 << Lh5SymTableBits];  // symbol | code length << 16; a tree root has length 0
    uint32_t Dist[1 << Lh5AuxTableBits]; // base | code length << 16 | extra bits << 24, or tree
};

// Window layout of the fast expander: the 8192 bytes before the write index are the history;
// a symbol may start below Lh5FastWriteLimit, so that a match with its 16-byte overrun fits.
constexpr uint32_t Lh5FastWriteLimit = Lh5WindowBytes - Lh5MaxMatch;
// Bytes of input the loop must have in front of it to decode one more symbol.
constexpr int Lh5FastMinInput = 8;

// Packs the current block's symbol and distance tables. False when either defines no code
// (Lh5NoCode): such a block is left to the bit-wise decoders, which report it when used.
bool BuildFastTables(const TLh5ExpandStorage& z, TLh5FastTables& t);

// Decodes symbols of the current block (BlockRemaining > 0) into Window from index w on. Stops
// before a symbol when the block is used up, when w has reached wStop (at most
// Lh5FastWriteLimit) or when fewer than Lh5FastMinInput bytes lie between the read position and
// inEnd. in is where the bit-wise reader stands; the return value is where it would stand now.
const uint8_t* RunFastLoop(TLh5ExpandStorage& z, const TLh5FastTables& t, const uint8_t* in,
                           const uint8_t* inEnd, uint32_t& w, uint32_t wStop);
