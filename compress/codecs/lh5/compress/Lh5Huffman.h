// Static Huffman codes of the LH5 compressor, built per block: a binary heap over the symbols that
// occur (fixed tie-break, so equal input gives equal codes), leaf depths limited to 16 bits by
// re-balancing the deepest levels, and canonical codes that the expander's tables rebuild from the
// lengths alone.
#pragma once

#include "compress/codecs/lh5/Lh5Storage.h"

// Builds the code of n symbols (n <= 510) from the frequencies f[0..n-1]; f[n..2n-2] receive the
// inner nodes, whose children go to LeftChild and RightChild. Fills lengths[0..n-1] (0 for absent
// symbols) and the left-aligned codes of the present symbols. Returns the root: a node number of
// n or more, or the only symbol that occurs (then its code is 0 and every length stays 0), or 0
// when none does.
uint16_t BuildHuffman(TLh5EncoderStorage& z, int n, uint16_t* f, uint8_t* lengths, uint16_t* codes);

// The canonical code for n lengths: within one length, codes go to symbols in increasing order and
// shorter codes have smaller values; each code is left-aligned in 16 bits.
void AssignCodes(int n, const uint8_t* lengths, uint16_t* codes);
