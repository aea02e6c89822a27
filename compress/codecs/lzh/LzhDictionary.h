// The compressor's dictionary: every ring position holds the 60-byte string that starts there, in
// one of 4096 binary search trees chosen by the string's first byte and a hash of the next two.
// Each node remembers how many leading bytes it shares with its parent (LzhSame), so a search
// compares only bytes beyond what is already known to match.
#pragma once

#include "compress/codecs/lzh/LzhStorage.h"

// Empties every tree and takes every position out of them.
void LzhInitDictionary(TLzhStorage& z);
// Inserts position r and leaves its best match in LzhMatchPos (distance - 1) and LzhMatchLen
// (0 when none of 3 bytes or more exists). An older node with an equal string is replaced.
void LzhInsertNode(TLzhStorage& z, int r);
// Takes position p out of its tree, if it is in one.
void LzhDeleteNode(TLzhStorage& z, int p);
// LzhSame[n] = the shared length of the strings of n and its (new) parent b, known to be at
// least start; 1 when b is a root.
void LzhSetSame(TLzhStorage& z, int start, int b, int n);
// Corrects LzhSame[q] when q, a child of p, moves up to p's place under newParent.
void LzhFixSame(TLzhStorage& z, int newParent, int p, int q);
