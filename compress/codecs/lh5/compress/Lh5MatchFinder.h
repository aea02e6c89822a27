// The LH5 compressor's dictionary: every string that starts in the last 8192 positions lives in a
// path-compressed trie (PATRICIA) whose children are found through hash chains, so that each new
// position learns its longest earlier match (up to 256 bytes) and a recent place where it occurs.
// The dictionary also slides the window: the input is read into Window in 8192-byte chunks and
// the window moves down by 8192 bytes whenever the current position reaches 16384.
//
// Node numbers are 16-bit: 0 is the empty link (the parent of node 0 is FindChild's sentinel),
// 1..8191 inner nodes (free list), 8192 + b the root of byte b, 8192..16383 the leaves, one per
// position value. A position value v names window index v when v < WindowPos and v - 8192
// otherwise, so strings entered before a window shift keep their numbers.
#pragma once

#include "compress/codecs/CodecState.h"
#include "compress/codecs/lh5/Lh5Storage.h"

constexpr int Lh5LongestMatch = 256;
constexpr int Lh5Threshold = 3;                     // shortest match that is sent
constexpr uint16_t Lh5RootBase = 8192;              // root of byte b; also the first leaf
constexpr int Lh5InnerNodeCount = 8191;             // inner nodes 1..8191
constexpr int Lh5WindowEnd = 16384;                 // WindowPos runs from 8192 to 16383
constexpr int Lh5ReadAheadEnd = Lh5WindowEnd + 256; // last window byte used is 16639
constexpr int Lh5FirstPosition = Lh5DictSize + 256; // 8448: where the input starts
constexpr uint16_t Lh5PendingFlag = 0x8000;         // Position not yet passed to ancestors
static_assert(Lh5ReadAheadEnd < Lh5WindowBytes);
constexpr int Lh5ChainHeadBase = Lh5NodeRecords; // chain heads follow the nodes in the records

// The record number of the head of the chain that holds the child of q whose edge starts with
// b. A multiplicative hash spreads the pairs evenly over the chains whatever bytes the input
// uses, which keeps the chains short; and the children of one node always hang in different
// chains, so the first node in the chain whose parent is q is the child sought.
inline unsigned Lh5ChainHead(unsigned q, unsigned b) {
    const uint32_t spread = ((q << 8) | b) * 2654435761u;
    return Lh5ChainHeadBase + static_cast<unsigned>((uint64_t{spread} * Lh5ChainCount) >> 32);
}

// What the finder reports after entering one position: MatchLen and MatchPos.
struct TLh5Finding {
    int16_t Len;
    int16_t Pos;
};

// Starts the search: an empty dictionary, the first window read, and its first position entered
// (with no earlier match to start from).
void StartSearch(TCodecState& s, TLh5FinderStorage& z);
// The match of the position entered last.
inline TLh5Finding LastFinding(const TLh5FinderStorage& z) {
    return {z.MatchLen, z.MatchPos};
}

// Copies up to n input bytes to dst as ReadByte would deliver them one by one, stopping at the
// first read that sets EndOfInput (its 0 is stored); returns the number of real bytes.
int ReadInputBytes(TCodecState& s, uint8_t* dst, int n);
// Reads the first 8192 input bytes into Window[8448..16639], spaces where the input has ended
// (all 8192 reads are made), sets WindowPos to 8448 and BytesLeft to the real bytes read.
void FillWindow(TCodecState& s, TLh5FinderStorage& z);
// Empties the trie and puts inner nodes 1..8191 on the free list.
void InitDictionary(TLh5FinderStorage& z);
// Enters the string at WindowPos and sets MatchLen and MatchPos to its longest earlier match,
// starting from the previous position's match when that was 4 bytes or longer.
void InsertPosition(TLh5FinderStorage& z);
// Moves on by one position (shifting and refilling the window at 16384), removes the string that
// leaves the dictionary and enters the new one.
void AdvancePosition(TCodecState& s, TLh5FinderStorage& z);
// AdvancePosition count times.
void AdvancePositions(TCodecState& s, TLh5FinderStorage& z, int count);
// AdvancePosition count times, storing the match of each position entered in out[0..count).
void AdvanceRecording(TCodecState& s, TLh5FinderStorage& z, int count, TLh5Finding* out);

// The child of q whose edge starts with byte b, or 0.
uint16_t FindChild(TLh5FinderStorage& z, uint16_t q, uint8_t b);
// Links r at the front of the chain of (q, b) as a child of q.
void AddChild(TLh5FinderStorage& z, uint16_t q, uint8_t b, uint16_t r);
// Puts a new inner node above old where the current string leaves old's edge after MatchLen bytes.
void SplitNode(TLh5FinderStorage& z, uint16_t old);
// Removes the leaf WindowPos (the string 8192 positions back) and frees a parent left with one child.
void DeletePosition(TLh5FinderStorage& z);
