// Allocation of the LZH working storage. Every block is zero-filled: the ring's look-ahead area and
// mirror are read by the compressor's comparisons near the end of short inputs and by the expander
// for distances that point before the first written byte, so their content must be defined.
#include "compress/codecs/lzh/LzhStorage.h"

namespace {
template <typename T>
void Allocate(std::unique_ptr<T[]>& block, int entries) {
    block = std::make_unique<T[]>(static_cast<size_t>(entries));
}
} // namespace

void LzhAllocStorage(TLzhStorage& z) {
    LzhFreeStorage(z);
    Allocate(z.LzhRing, LzhRingBytes + LzhRingPadding);
    Allocate(z.LzhLeft, LzhLeftEntries);
    Allocate(z.LzhRight, LzhRightEntries);
    Allocate(z.LzhParent, LzhParentEntries);
    Allocate(z.LzhSame, LzhSameEntries);
    Allocate(z.LzhHuffFreq, LzhHuffFreqEntries);
    Allocate(z.LzhHuffParent, LzhHuffParentEntries);
    Allocate(z.LzhHuffChild, LzhHuffChildEntries);
}

void LzhFreeStorage(TLzhStorage& z) {
    z.LzhRing.reset();
    z.LzhLeft.reset();
    z.LzhRight.reset();
    z.LzhParent.reset();
    z.LzhSame.reset();
    z.LzhHuffFreq.reset();
    z.LzhHuffParent.reset();
    z.LzhHuffChild.reset();
}
