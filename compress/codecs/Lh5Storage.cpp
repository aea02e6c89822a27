// Allocation and release of the LH5 working storage. Block sizes are in bytes, as the tables of
// each direction need them; every block is zero-filled.
#include "compress/codecs/Lh5Storage.h"

#include <cstdlib>
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
} // namespace

TLh5Storage::~TLh5Storage() {
    FreeLH5Storage(*this);
}

void AllocLH5Storage(TLh5Storage& z, bool compressing) {
    try {
        Allocate(z.Window, Lh5WindowBytes);
        Allocate(z.LeftChild, 2040);
        Allocate(z.RightChild, 2040);
        Allocate(z.AuxTable, 514);
        Allocate(z.SymLen, 511);
        if (compressing) {
            Allocate(z.NodeLevel, 8449);
            Allocate(z.NodeChildCount, 8449);
            Allocate(z.NodeChildXor, 8449 * sizeof(uint16_t));
            Allocate(z.Trie, Lh5TrieRecords * sizeof(TLh5TrieNode));
            Allocate(z.SymbolBuf, 16385);
            Allocate(z.SymFreq, 2040);
            Allocate(z.SymCode, 1022);
            Allocate(z.AuxCode, 258);
        } else {
            Allocate(z.SymTable, 8194);
        }
    } catch (...) {
        FreeLH5Storage(z);
        throw;
    }
    z.PendingBits = compressing ? 8 : 0;
    z.TreeDepth = 0;
    z.PendingByte = 0;
    z.BitWindow = 0;
    z.BlockRemaining = 0;
}

void FreeLH5Storage(TLh5Storage& z) {
    Release(z.Window);
    Release(z.LeftChild);
    Release(z.RightChild);
    Release(z.AuxTable);
    Release(z.SymLen);
    Release(z.NodeLevel);
    Release(z.NodeChildCount);
    Release(z.NodeChildXor);
    Release(z.Trie);
    Release(z.SymbolBuf);
    Release(z.SymFreq);
    Release(z.SymCode);
    Release(z.AuxCode);
    Release(z.SymTable);
}
