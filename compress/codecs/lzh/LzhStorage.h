// Working storage of the adaptive-Huffman LZH method: the ring buffer, the dictionary trees, the
// Huffman model, the bit buffers and the result of the last dictionary search. It lives for one
// LzhCompress or LzhExpand call only. TLzhStorage owns its eight blocks, so every way out of a
// codec releases them; the codecs share no state with each other or with the next operation.
#pragma once

#include <cstdint>
#include <memory>

constexpr int LzhWindow = 4096; // ring positions 0..4095; positions and distances mod 4096
constexpr int LzhPositionMask = LzhWindow - 1;
constexpr int LzhLookAhead = 60; // longest match, and bytes compared per dictionary node
constexpr int LzhThreshold = 2;  // matches of this length or shorter are never coded
constexpr int LzhSymbols = 314;  // 256 literals + match lengths 3..60 (symbol = 253 + length)
constexpr int LzhHuffNodes = 2 * LzhSymbols - 1;
constexpr int LzhHuffRoot = LzhHuffNodes - 1;
constexpr int LzhLeafBase = LzhHuffNodes; // a child value at or above this marks a leaf
constexpr uint16_t LzhRebuildLimit = 0x8000;
constexpr int LzhNil = LzhWindow; // the empty link of the dictionary trees
constexpr int LzhRootBase = LzhWindow + 1;
constexpr int LzhRootCount = 4096;
constexpr int LzhStartPosition = LzhWindow - LzhLookAhead; // 4036: where the first input byte goes
constexpr uint8_t LzhFillByte = 0x20;

// Sizes of the blocks. The ring carries a mirror of its first bytes so that every 60-byte string
// starting at 0..4095 can be read without wrapping; entry LzhNil of the parent and "same" arrays
// absorbs the writes made for an empty child.
constexpr int LzhRingBytes = LzhWindow + LzhLookAhead;
// The dictionary compares strings eight bytes at a time, so a comparison near the end of the last
// string reads a few bytes past the mirror, into this padding. What it finds there never counts,
// as lengths are capped at 60.
constexpr int LzhRingPadding = 8;
constexpr int LzhLeftEntries = LzhWindow + 1;
constexpr int LzhRightEntries = LzhRootBase + LzhRootCount + 1;
constexpr int LzhParentEntries = LzhWindow + 2;
constexpr int LzhSameEntries = LzhWindow + 2;
constexpr int LzhHuffFreqEntries = LzhHuffNodes + 1;
constexpr int LzhHuffParentEntries = LzhHuffNodes + LzhSymbols + 1;
constexpr int LzhHuffChildEntries = LzhHuffNodes + 1;
static_assert(LzhRootBase + LzhRootCount - 1 < LzhRightEntries, "every root has a right link");
static_assert(LzhWindow - 1 + LzhLookAhead - 1 < LzhRingBytes, "strings never read past the mirror");
static_assert(LzhWindow - 1 + LzhLookAhead - 1 + 8 <= LzhRingBytes + LzhRingPadding,
              "word reads stay inside");

struct TLzhStorage {
    TLzhStorage() = default;
    TLzhStorage(const TLzhStorage&) = delete;
    TLzhStorage& operator=(const TLzhStorage&) = delete;

    std::unique_ptr<uint8_t[]> LzhRing;
    std::unique_ptr<int16_t[]> LzhLeft;
    std::unique_ptr<int16_t[]> LzhRight;
    std::unique_ptr<int16_t[]> LzhParent;
    std::unique_ptr<uint8_t[]> LzhSame;
    std::unique_ptr<uint16_t[]> LzhHuffFreq;
    std::unique_ptr<int16_t[]> LzhHuffParent;
    std::unique_ptr<int16_t[]> LzhHuffChild;

    uint16_t LzhOutBits = 0;
    uint8_t LzhOutCount = 0;
    uint16_t LzhInBits = 0;
    uint8_t LzhInCount = 0;
    uint16_t LzhMatchPos = 0;
    uint16_t LzhMatchLen = 0;
};

// Allocates all eight blocks zero-filled. Memory exhaustion propagates as std::bad_alloc; the
// blocks allocated until then are released by their owners.
void LzhAllocStorage(TLzhStorage& z);
// Releases every allocated block and empties its reference.
void LzhFreeStorage(TLzhStorage& z);
