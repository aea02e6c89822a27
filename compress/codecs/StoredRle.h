// The stored copy (method "NON", both directions) and the run-length method "RLE" with its
// escape byte 0x94. All three entries run until ReadByte reports the end of their input.
#pragma once

#include "compress/codecs/CodecState.h"

constexpr uint8_t RleMarker = 0x94;

void StoredCopy(TCodecState& s);
void RleCompress(TCodecState& s);
void RleExpand(TCodecState& s);
// Output step of the RLE compressor for a finished run (count 3..255: marker and count;
// 1 or 2: the repeats as literals) or, with count 0, an escaped marker.
void EmitRun(TCodecState& s, int32_t count, uint8_t b);
