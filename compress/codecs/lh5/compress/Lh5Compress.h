// The LH5 compressor (method index 4, compress direction): LZ77 over an 8192-byte window with a
// one-step deferred decision (a match is sent only if the match one byte later is not longer),
// symbols buffered per block and coded with three static canonical Huffman codes per block, in
// exactly the bit stream that Lh5Expand reads.
#pragma once

#include "compress/codecs/CodecState.h"
#include "compress/codecs/lh5/Lh5Storage.h"
#include "compress/codecs/lh5/compress/Lh5ParallelFinder.h"

// A group of eight symbols takes at most 1 + 8 * 3 bytes of the block buffer, so a group that
// starts before the send point always fits.
constexpr int Lh5BlockSendPoint = 16360; // a new group of eight symbols starting here sends the block
static_assert(Lh5BlockSendPoint + 8 * 3 <= Lh5BlockBufferBytes, "the last group fits the block buffer");
constexpr uint16_t Lh5DistanceMask = 8191; // distance values 0..8191 stand for distances 1..8192
// The positions after the last parallel finding. The end of the input cuts matches there (and
// the cut length is where the next position's search starts), so they are found one by one.
constexpr int64_t Lh5LiveTail = 512;
// The positions found ahead at a time when the search runs on one thread.
constexpr int32_t Lh5OneThreadRound = 256 << 10;

// Reads the whole input through ReadByte and writes the stream through WriteByte; the caller
// flushes. Empty input writes nothing. Storage is released on every way out. Inputs from 2 MiB
// on are searched on all cores (up to four), shorter ones a round ahead on one, always with the
// output of one pass.
void Lh5Compress(TCodecState& s);
// The same with a chosen split of the search (one thread: rounds found ahead, then coded).
void Lh5Compress(TCodecState& s, const TLh5ParallelPlan& plan);
// The reference that the others reproduce: one position found and decided at a time.
void Lh5CompressOnePass(TCodecState& s);
// One thread per core, at most four, with chunks sized for an input of total bytes.
TLh5ParallelPlan DefaultLh5Plan(int64_t total);
constexpr int32_t Lh5MinimumChunk = 1 << 20;

// Steps of the compressor, public for tests and for the parallel driver.

// Empties the block buffer and its symbol frequencies.
void StartBlock(TLh5EncoderStorage& z);
// The one-pass compressor from wherever find stands: out and enc code the symbols, in and find
// walk the input. The remaining positions of a pending match (skip) are passed first.
void CompressRest(TCodecState& out, TLh5EncoderStorage& enc, TCodecState& in, TLh5FinderStorage& find,
                  int skip);
// Sends the last block and the end of the stream.
void FinishStream(TCodecState& s, TLh5EncoderStorage& z);
// Lh5Compress for an input of total bytes, on plan.Threads threads (one: rounds found ahead).
void Lh5CompressInParallel(TCodecState& s, const TLh5ParallelPlan& plan, int64_t total);

// Buffers symbol c (0..255 literal, 256..509 match length + 253) with its distance value p,
// sending the block first when a new group of eight would start at or after the send point.
void EmitSymbol(TCodecState& s, TLh5EncoderStorage& z, uint16_t c, uint16_t p);
// Codes the buffered symbols as one block and starts the frequencies afresh.
void SendBlock(TCodecState& s, TLh5EncoderStorage& z);
// The class of a distance value: 0 for 0, otherwise its number of binary digits (1..13).
int DistanceClass(uint16_t p);
