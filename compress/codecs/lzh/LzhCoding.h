// Symbols and positions of the LZH stream: a symbol's code is its path from the Huffman root to
// its leaf (1 for an odd node), and the model counts it right after; a position (distance - 1)
// is its fixed code for the upper six bits followed by the six low bits as they are.
#pragma once

#include "compress/codecs/CodecState.h"
#include "compress/codecs/lzh/LzhStorage.h"

void LzhEncodeSymbol(TCodecState& s, TLzhStorage& z, int symbol);
void LzhEncodePosition(TCodecState& s, TLzhStorage& z, int position);
int LzhDecodeSymbol(TCodecState& s, TLzhStorage& z);
int LzhDecodePosition(TCodecState& s, TLzhStorage& z);
