// The adaptive-Huffman LZH method (method index 2): a 4096-byte sliding dictionary with matches
// of 3 to 60 bytes; literals and match lengths share one adaptive Huffman model of 314 symbols,
// distances use a fixed prefix code for their upper six bits. The stream is bare: no header, no
// length, no end marker (the same stream as the "-lh1-" method of LHA archives).
#pragma once

#include "compress/codecs/CodecState.h"

// Compresses everything ReadByte delivers; empty input writes nothing.
void LzhCompress(TCodecState& s);
// Writes exactly destSize bytes (none when it is 0 or less) decoded from the stream. A damaged
// stream decodes to other bytes, input that ends early reads as zero bits, and a match that
// would pass destSize is cut there: the output never exceeds destSize.
void LzhExpand(TCodecState& s, int32_t destSize);
