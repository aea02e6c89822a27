// The expander of the lh5 method: LZ77 over an 8192-byte window with static canonical Huffman
// codes sent at the head of each block, read most significant bit first.
//
// The building blocks below work bit by bit on the storage's BitWindow/PendingByte pair and read
// every input byte through ReadByte exactly when it is needed; they define the method.
// Lh5Expand runs them near input chunk ends and block heads and hands the long stretches between
// to a word-wise fast loop (Lh5FastLoop.h) whose results, checksums, progress reports and final
// stream position are the same. Lh5ExpandByteWise is the plain symbol-by-symbol loop; it serves
// keyed runs and is the reference the fast loop is checked against.
//
// Damaged code-length lists never make a table reach outside its bounds: lists that are no
// prefix code raise ELh5BadDecodeTable at once; a list that defines no code at all (every length
// 0, or the one-code form naming a symbol outside the alphabet) fills its lookup table with
// Lh5NoCode, and only decoding with that table raises ELh5BadDecodeTable, so a block that never
// uses such a code (a distance code in a block without matches) still decodes.
#pragma once

#include "compress/codecs/CodecState.h"
#include "compress/codecs/lh5/Lh5Storage.h"
#include "platform/Exception.h"

#include <cstdint>

class ELh5BadDecodeTable : public Exception {
public:
    ELh5BadDecodeTable() : Exception("Bad decode table in archive!") {}
};

[[noreturn]] void ThrowBadDecodeTable();

// Lookup table entry of a code that defines no symbol; above every tree node number.
constexpr uint16_t Lh5NoCode = 0xFFFF;
// Symbol alphabet: literals 0..255, then match lengths 3..256.
constexpr int Lh5FirstMatchSymbol = 256;
constexpr int Lh5MatchLengthBias = 253;
constexpr int Lh5MaxMatch = 256;
constexpr uint8_t Lh5WindowFill = 0x20;

// Shifts n (0..16) new input bits into BitWindow; once the input has ended, zero bits follow.
void FetchBits(TCodecState& s, TLh5ExpandStorage& z, int n);
// The top n (0..16) bits of BitWindow, then FetchBits of n.
uint16_t TakeBits(TCodecState& s, TLh5ExpandStorage& z, int n);

// Builds the lookup table (2^tableBits entries) and the tree nodes of longer codes from the code
// lengths of symbolCount symbols. Raises ELh5BadDecodeTable unless the lengths form a complete
// prefix code; an all-zero list gives a table of Lh5NoCode.
void BuildDecodeTable(TLh5ExpandStorage& z, int symbolCount, const uint8_t* lengths, int tableBits,
                      uint16_t* table);
// Reads an auxiliary code (length code or distance classes) into AuxLen and AuxTable.
// zeroRunAfter is the entry after which a 2-bit zero run follows, or -1 for none.
void ReadAuxLengths(TCodecState& s, TLh5ExpandStorage& z, int symbolCount, int countBits, int zeroRunAfter);
// Reads the symbol code lengths (sent with the length code) into SymLen and SymTable.
void ReadSymbolLengths(TCodecState& s, TLh5ExpandStorage& z);
// Reads a block head: the block size and the three codes.
void ReadBlockHead(TCodecState& s, TLh5ExpandStorage& z);

// The next symbol (0..509), reading a block head first when the block is used up.
uint16_t DecodeSymbol(TCodecState& s, TLh5ExpandStorage& z);
// The next match distance (0..8191); the copy source is that many bytes before the last written.
uint16_t DecodeDistance(TCodecState& s, TLh5ExpandStorage& z);

// The codec entry: expands the member's data into destSize bytes (a final match may carry the
// output up to 255 bytes further). Nothing happens for destSize 0.
void Lh5Expand(TCodecState& s, int32_t destSize);
// The same, one symbol and one byte at a time through WriteByte over an 8192-byte ring.
void Lh5ExpandByteWise(TCodecState& s, int32_t destSize);
