// Allocation and release of the LH5 working storage. Each block holds the entries its table needs
// (Lh5Storage.h); every block is zero-filled.
#include "compress/codecs/lh5/Lh5Storage.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {
template <typename T>
void Allocate(T*& block, size_t entries) {
    void* p = std::calloc(entries, sizeof(T));
    if (!p) throw std::bad_alloc();
    block = static_cast<T*>(p);
}

template <typename T>
void Release(T*& block) {
    std::free(block);
    block = nullptr;
}

// Calls visit(block, entries) for every block of the chosen direction.
template <typename F>
void ForEachBlock(TLh5Storage& z, bool compressing, F visit) {
    visit(z.Window, Lh5WindowBytes);
    visit(z.LeftChild, Lh5TreeNodes);
    visit(z.RightChild, Lh5TreeNodes);
    visit(z.AuxTable, Lh5AuxTableEntries);
    visit(z.SymLen, Lh5SymbolCount);
    if (compressing) {
        visit(z.Trie, Lh5FinderBytes / sizeof(TLh5TrieNode)); // with the node arrays (PointIntoTrie)
        visit(z.SymbolBuf, Lh5BlockBufferBytes);
        visit(z.SymFreq, Lh5SymFreqEntries);
        visit(z.SymCode, Lh5SymbolCount);
        visit(z.AuxCode, Lh5LenCodeSymbols);
    } else {
        visit(z.SymTable, Lh5SymTableEntries);
    }
}

// Points the compressor's node arrays at their places in the trie's block.
void PointIntoTrie(TLh5Storage& z) {
    auto* base = reinterpret_cast<uint8_t*>(z.Trie);
    z.NodeLevel = base + Lh5NodeLevelOffset;
    z.NodeChildCount = base + Lh5NodeChildCountOffset;
    z.NodeChildXor = reinterpret_cast<uint16_t*>(base + Lh5NodeChildXorOffset);
}

// The state of a storage whose blocks have just been allocated.
void ResetScalars(TLh5Storage& z, bool compressing) {
    z.PendingBits = compressing ? 8 : 0;
    z.TreeDepth = 0;
    z.PendingByte = 0;
    z.BitWindow = 0;
    z.BlockRemaining = 0;
    std::memset(z.AuxLen, 0, sizeof z.AuxLen);
    std::memset(z.DistFreq, 0, sizeof z.DistFreq);
    std::memset(z.LenCodeFreq, 0, sizeof z.LenCodeFreq);
    z.SymbolBufPos = z.FlagMask = z.FlagPos = z.FreeNode = 0;
    z.WindowPos = z.MatchPos = z.MatchLen = z.BytesLeft = 0;
}
} // namespace

TLh5Storage::~TLh5Storage() {
    FreeLH5Storage(*this);
}

void AllocLH5Storage(TLh5Storage& z, bool compressing) {
    try {
        ForEachBlock(z, compressing, [](auto*& block, size_t entries) { Allocate(block, entries); });
    } catch (...) {
        FreeLH5Storage(z);
        throw;
    }
    if (compressing) PointIntoTrie(z);
    ResetScalars(z, compressing);
}

void ClearLH5Storage(TLh5Storage& z, bool compressing) {
    ForEachBlock(z, compressing,
                 [](auto*& block, size_t entries) { std::memset(block, 0, entries * sizeof *block); });
    ResetScalars(z, compressing);
}

void FreeLH5Storage(TLh5Storage& z) {
    // The node arrays lie in the trie's block.
    z.NodeLevel = z.NodeChildCount = nullptr;
    z.NodeChildXor = nullptr;
    Release(z.Window);
    Release(z.LeftChild);
    Release(z.RightChild);
    Release(z.AuxTable);
    Release(z.SymLen);
    Release(z.Trie);
    Release(z.SymbolBuf);
    Release(z.SymFreq);
    Release(z.SymCode);
    Release(z.AuxCode);
    Release(z.SymTable);
}
