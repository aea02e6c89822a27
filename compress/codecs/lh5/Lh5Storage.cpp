// Allocation and release of the LH5 working storage. Block sizes are in bytes, as the tables of
// each direction need them; every block is zero-filled.
#include "compress/codecs/lh5/Lh5Storage.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {
template <typename T>
void Allocate(T*& block, size_t bytes) {
    void* p = std::calloc(bytes, 1);
    if (!p) throw std::bad_alloc();
    block = static_cast<T*>(p);
}

template <typename T>
void Release(T*& block) {
    std::free(block);
    block = nullptr;
}

// Calls visit(block, bytes) for every block of the chosen direction.
template <typename F>
void ForEachBlock(TLh5Storage& z, bool compressing, F visit) {
    visit(z.Window, Lh5WindowBytes);
    visit(z.LeftChild, 2040);
    visit(z.RightChild, 2040);
    visit(z.AuxTable, 514);
    visit(z.SymLen, 511);
    if (compressing) {
        visit(z.Trie, Lh5FinderBytes); // with the node arrays (PointIntoTrie)
        visit(z.SymbolBuf, 16385);
        visit(z.SymFreq, 2040);
        visit(z.SymCode, 1022);
        visit(z.AuxCode, 258);
    } else {
        visit(z.SymTable, 8194);
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
        ForEachBlock(z, compressing, [](auto*& block, size_t bytes) { Allocate(block, bytes); });
    } catch (...) {
        FreeLH5Storage(z);
        throw;
    }
    if (compressing) PointIntoTrie(z);
    ResetScalars(z, compressing);
}

void ClearLH5Storage(TLh5Storage& z, bool compressing) {
    ForEachBlock(z, compressing, [](auto*& block, size_t bytes) { std::memset(block, 0, bytes); });
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
