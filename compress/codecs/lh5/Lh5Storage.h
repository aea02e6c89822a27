// Working storage of the LH5 method, one structure per role: the expander's, and the compressor's
// two, its match finder's and its block coder's (which the parallel compressor keeps apart, one
// coder beside several finders). Each lives only for one codec call: Lh5AllocStorage allocates its
// blocks and Lh5FreeStorage, which its destructor also calls, releases them, so every way out of a
// codec releases them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

constexpr int Lh5WindowBytes = 16641;  // the compressor uses the whole block, the expander 8192
constexpr int Lh5DictSize = 8192;      // 13-bit positions
constexpr int Lh5SymbolCount = 510;    // 256 literals + 254 match lengths (3..256)
constexpr int Lh5DistanceClasses = 14; // class 0 = distance 0; class p carries p - 1 extra bits
constexpr int Lh5LenCodeSymbols = 19;  // symbols that send the symbol code lengths
constexpr int Lh5SymTableBits = 12;
constexpr int Lh5AuxTableBits = 8;
constexpr int Lh5MaxCodeLength = 16;
// Widths of the counts in a block head: of the length code, the symbol code and the distance
// classes. A count of 0 sends a single code of zero bits instead, in a field as wide.
constexpr int Lh5LenCodeCountBits = 5;
constexpr int Lh5SymbolCountBits = 9;
constexpr int Lh5DistanceCountBits = 4;
// After this many length-code lengths a 2-bit count of zero lengths follows.
constexpr int Lh5LenCodeZeroRunAfter = 3;
constexpr int Lh5LenCodeZeroRunMax = 3;

// Table sizes, in entries. A Huffman tree over n symbols has n - 1 inner nodes, numbered from n
// on: LeftChild/RightChild (and the compressor's frequencies of the inner nodes) cover the
// numbers of a tree over all symbols, and the expander refuses a code that needs more.
constexpr int Lh5TreeNodes = 2 * Lh5SymbolCount;
static_assert(Lh5TreeNodes >= 2 * Lh5SymbolCount - 1, "a tree over every symbol fits");
constexpr int Lh5SymTableEntries = 1 << Lh5SymTableBits;
constexpr int Lh5AuxTableEntries = 1 << Lh5AuxTableBits;
// Every code length an auxiliary list can send: the longest count and a zero run after it.
constexpr int Lh5AuxLenEntries = (1 << Lh5LenCodeCountBits) - 1 + Lh5LenCodeZeroRunMax;
static_assert(Lh5AuxLenEntries >= Lh5LenCodeSymbols && Lh5LenCodeSymbols >= Lh5DistanceClasses,
              "the auxiliary lengths and codes hold the larger of the two auxiliary alphabets");
static_assert((1 << Lh5DistanceCountBits) - 1 <= Lh5AuxLenEntries);
static_assert(Lh5SymbolCount < 1 << Lh5SymbolCountBits);
constexpr int Lh5DistFreqEntries = 2 * Lh5DistanceClasses - 1;
constexpr int Lh5LenCodeFreqEntries = 2 * Lh5LenCodeSymbols - 1;
constexpr int Lh5SymFreqEntries = 2 * Lh5SymbolCount - 1;
static_assert(Lh5SymFreqEntries <= Lh5TreeNodes);
// The compressor's block buffer: one flag byte per group of eight symbols, then one byte per
// literal and three per match (length, distance value high and low).
constexpr int Lh5BlockBufferBytes = 16384;

// One record of the compressor's trie: a node (inner node, root or leaf) or a chain head. The
// links that a step follows together share a record, so following a node touches one cache line
// instead of one per array.
struct TLh5TrieNode {
    uint16_t Parent;   // 0 when the node is not in the trie
    uint16_t Next;     // chain successor; for a free inner node the next free one; for a replaced
                       // leaf the leaf that replaced it
    uint16_t Prev;     // chain predecessor
    uint16_t Position; // inner nodes and roots: the newest position below, maybe flagged pending
};
constexpr int Lh5NodeRecords = 16384; // nodes 0..16383
constexpr int Lh5TrieRecords = 65536; // the nodes, then the chain heads: every 16-bit link
constexpr int Lh5ChainCount = Lh5TrieRecords - Lh5NodeRecords; // children hang in 49152 chains

// When compressing, the trie records and the node arrays are one block, at these offsets from
// Trie: the match finder then reaches all of them from one base register instead of keeping a
// register (or a stack slot) per array. Each node array has an entry for every node number, so
// that reading the entry of a root or a leaf stays inside its array. (The window, whose size is
// odd, stays a block of its own, so that the block's size keeps every part aligned wherever it
// starts and a read past the window's end is still a read past a block.)
constexpr size_t Lh5NodeLevelOffset = Lh5TrieRecords * sizeof(TLh5TrieNode);
constexpr size_t Lh5NodeChildCountOffset = Lh5NodeLevelOffset + Lh5NodeRecords;
constexpr size_t Lh5NodeChildXorOffset = Lh5NodeChildCountOffset + Lh5NodeRecords;
constexpr size_t Lh5FinderBytes = Lh5NodeChildXorOffset + 2 * Lh5NodeRecords;
static_assert(Lh5FinderBytes % 16 == 0);

// The expander: the window, the bit input and the decoding tables of the current block.
struct TLh5ExpandStorage {
    TLh5ExpandStorage() = default;
    TLh5ExpandStorage(const TLh5ExpandStorage&) = delete;
    TLh5ExpandStorage& operator=(const TLh5ExpandStorage&) = delete;
    ~TLh5ExpandStorage();

    uint8_t* Window = nullptr;
    uint8_t PendingByte = 0;
    uint8_t PendingBits = 0;
    uint16_t BlockRemaining = 0;
    uint16_t BitWindow = 0;
    uint16_t* LeftChild = nullptr; // trees of the codes longer than their lookup tables
    uint16_t* RightChild = nullptr;
    uint8_t* SymLen = nullptr;
    uint8_t AuxLen[Lh5AuxLenEntries] = {};
    uint16_t* SymTable = nullptr;
    uint16_t* AuxTable = nullptr;
};

// The compressor's match finder: the window and the trie (with the node arrays in its block),
// and the match of the position entered last.
struct TLh5FinderStorage {
    TLh5FinderStorage() = default;
    TLh5FinderStorage(const TLh5FinderStorage&) = delete;
    TLh5FinderStorage& operator=(const TLh5FinderStorage&) = delete;
    ~TLh5FinderStorage();

    uint8_t* Window = nullptr;
    uint8_t* NodeLevel = nullptr;
    uint8_t* NodeChildCount = nullptr;
    uint16_t* NodeChildXor = nullptr; // the node numbers of a node's children xor-ed together
    TLh5TrieNode* Trie = nullptr;
    uint16_t FreeNode = 0; // first free inner node of the trie
    int16_t WindowPos = 0;
    int16_t MatchPos = 0;
    int16_t MatchLen = 0;
    int16_t BytesLeft = 0;
};

// The compressor's block coder: the symbols buffered for the current block with their
// frequencies, the Huffman codes built from them and the bits not yet written as a byte.
struct TLh5EncoderStorage {
    TLh5EncoderStorage() = default;
    TLh5EncoderStorage(const TLh5EncoderStorage&) = delete;
    TLh5EncoderStorage& operator=(const TLh5EncoderStorage&) = delete;
    ~TLh5EncoderStorage();

    uint8_t PendingByte = 0;
    uint8_t PendingBits = 8;
    uint16_t* LeftChild = nullptr; // the Huffman tree being built
    uint16_t* RightChild = nullptr;
    uint8_t* SymLen = nullptr;
    uint8_t AuxLen[Lh5AuxLenEntries] = {};
    uint8_t* SymbolBuf = nullptr;
    uint16_t* SymFreq = nullptr;
    uint16_t* SymCode = nullptr;
    uint16_t* AuxCode = nullptr;
    uint16_t DistFreq[Lh5DistFreqEntries] = {};
    uint16_t LenCodeFreq[Lh5LenCodeFreqEntries] = {};
    uint16_t SymbolBufPos = 0;
    uint16_t FlagMask = 0;
    uint16_t FlagPos = 0;
    uint8_t TreeDepth = 0;
};

// Allocate the blocks of a storage, zero-filled, and reset its scalars (the bit state empty:
// PendingBits 0 for the expander, 8 for the coder). Memory exhaustion propagates as
// std::bad_alloc after whatever was allocated has been released.
void Lh5AllocStorage(TLh5ExpandStorage& z);
void Lh5AllocStorage(TLh5FinderStorage& z);
void Lh5AllocStorage(TLh5EncoderStorage& z);
// Brings an allocated finder back to the state Lh5AllocStorage leaves.
void Lh5ClearStorage(TLh5FinderStorage& z);
// Release every allocated block and empty its reference; safe after a partial allocation.
void Lh5FreeStorage(TLh5ExpandStorage& z);
void Lh5FreeStorage(TLh5FinderStorage& z);
void Lh5FreeStorage(TLh5EncoderStorage& z);
