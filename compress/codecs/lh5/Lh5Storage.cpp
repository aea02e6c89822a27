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

// ForEachBlock calls visit(block, entries) for every block of a storage.
template <typename F>
void ForEachBlock(TLh5ExpandStorage& z, F visit) {
    visit(z.Window, Lh5WindowBytes);
    visit(z.LeftChild, Lh5TreeNodes);
    visit(z.RightChild, Lh5TreeNodes);
    visit(z.SymLen, Lh5SymbolCount);
    visit(z.SymTable, Lh5SymTableEntries);
    visit(z.AuxTable, Lh5AuxTableEntries);
}

template <typename F>
void ForEachBlock(TLh5FinderStorage& z, F visit) {
    visit(z.Window, Lh5WindowBytes);
    visit(z.Trie, Lh5FinderBytes / sizeof(TLh5TrieNode)); // with the node arrays (PointIntoTrie)
}

template <typename F>
void ForEachBlock(TLh5EncoderStorage& z, F visit) {
    visit(z.LeftChild, Lh5TreeNodes);
    visit(z.RightChild, Lh5TreeNodes);
    visit(z.SymLen, Lh5SymbolCount);
    visit(z.SymbolBuf, Lh5BlockBufferBytes);
    visit(z.SymFreq, Lh5SymFreqEntries);
    visit(z.SymCode, Lh5SymbolCount);
    visit(z.AuxCode, Lh5LenCodeSymbols);
}

template <typename Z>
void AllocateBlocks(Z& z) {
    try {
        ForEachBlock(z, [](auto*& block, size_t entries) { Allocate(block, entries); });
    } catch (...) {
        Lh5FreeStorage(z);
        throw;
    }
}

template <typename Z>
void ReleaseBlocks(Z& z) {
    ForEachBlock(z, [](auto*& block, size_t) { Release(block); });
}

// Points the finder's node arrays at their places in the trie's block.
void PointIntoTrie(TLh5FinderStorage& z) {
    auto* base = reinterpret_cast<uint8_t*>(z.Trie);
    z.NodeLevel = base + Lh5NodeLevelOffset;
    z.NodeChildCount = base + Lh5NodeChildCountOffset;
    z.NodeChildXor = reinterpret_cast<uint16_t*>(base + Lh5NodeChildXorOffset);
}

void ResetScalars(TLh5FinderStorage& z) {
    z.FreeNode = 0;
    z.WindowPos = z.MatchPos = z.MatchLen = z.BytesLeft = 0;
}
} // namespace

TLh5ExpandStorage::~TLh5ExpandStorage() {
    Lh5FreeStorage(*this);
}

TLh5FinderStorage::~TLh5FinderStorage() {
    Lh5FreeStorage(*this);
}

TLh5EncoderStorage::~TLh5EncoderStorage() {
    Lh5FreeStorage(*this);
}

void Lh5AllocStorage(TLh5ExpandStorage& z) {
    AllocateBlocks(z);
    z.PendingBits = 0;
    z.PendingByte = 0;
    z.BitWindow = 0;
    z.BlockRemaining = 0;
    std::memset(z.AuxLen, 0, sizeof z.AuxLen);
}

void Lh5AllocStorage(TLh5FinderStorage& z) {
    AllocateBlocks(z);
    PointIntoTrie(z);
    ResetScalars(z);
}

void Lh5AllocStorage(TLh5EncoderStorage& z) {
    AllocateBlocks(z);
    z.PendingBits = 8;
    z.PendingByte = 0;
    z.TreeDepth = 0;
    std::memset(z.AuxLen, 0, sizeof z.AuxLen);
    std::memset(z.DistFreq, 0, sizeof z.DistFreq);
    std::memset(z.LenCodeFreq, 0, sizeof z.LenCodeFreq);
    z.SymbolBufPos = z.FlagMask = z.FlagPos = 0;
}

void Lh5ClearStorage(TLh5FinderStorage& z) {
    ForEachBlock(z, [](auto*& block, size_t entries) { std::memset(block, 0, entries * sizeof *block); });
    ResetScalars(z);
}

void Lh5FreeStorage(TLh5ExpandStorage& z) {
    ReleaseBlocks(z);
}

void Lh5FreeStorage(TLh5FinderStorage& z) {
    // The node arrays lie in the trie's block.
    z.NodeLevel = z.NodeChildCount = nullptr;
    z.NodeChildXor = nullptr;
    ReleaseBlocks(z);
}

void Lh5FreeStorage(TLh5EncoderStorage& z) {
    ReleaseBlocks(z);
}
