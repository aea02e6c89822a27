// Start, update and rebuild of the adaptive Huffman model. Nodes 0..626 are stored in
// non-decreasing frequency order, the two children of a node sit at adjacent indices (the first
// even), and node 626 is the root. Entry 627 of the frequencies is a 0xFFFF sentinel that ends the
// search for the exchange partner. Frequencies never pass 0x8000: the root is rebuilt there.
#include "compress/codecs/lzh/LzhModel.h"

#include <cstring>

void LzhStartModel(TLzhStorage& z) {
    uint16_t* freq = z.LzhHuffFreq.get();
    int16_t* parent = z.LzhHuffParent.get();
    int16_t* child = z.LzhHuffChild.get();
    for (int s = 0; s < LzhSymbols; ++s) {
        freq[s] = 1;
        child[s] = static_cast<int16_t>(s + LzhLeafBase);
        parent[s + LzhLeafBase] = static_cast<int16_t>(s);
    }
    for (int i = LzhSymbols, j = 0; i < LzhHuffNodes; ++i, j += 2) {
        freq[i] = static_cast<uint16_t>(freq[j] + freq[j + 1]);
        child[i] = static_cast<int16_t>(j);
        parent[j] = parent[j + 1] = static_cast<int16_t>(i);
    }
    freq[LzhHuffNodes] = 0xFFFF;
    parent[LzhHuffRoot] = 0;
    z.LzhOutBits = 0;
    z.LzhOutCount = 0;
    z.LzhInBits = 0;
    z.LzhInCount = 0;
}

void LzhRebuildModel(TLzhStorage& z) {
    uint16_t* freq = z.LzhHuffFreq.get();
    int16_t* parent = z.LzhHuffParent.get();
    int16_t* child = z.LzhHuffChild.get();

    // Leaves to the front, in their current order, at half their frequency (rounded up).
    int j = 0;
    for (int i = 0; i < LzhHuffNodes; ++i) {
        if (child[i] >= LzhLeafBase) {
            freq[j] = static_cast<uint16_t>((freq[i] + 1) / 2);
            child[j] = child[i];
            ++j;
        }
    }
    // Internal nodes from pairs of the lowest nodes, each placed after all nodes of equal frequency.
    // The scan stops at node i + 1 at the latest, since f exceeds both of its parts.
    for (int i = 0, n = LzhSymbols; n < LzhHuffNodes; i += 2, ++n) {
        auto f = static_cast<uint16_t>(freq[i] + freq[i + 1]);
        int k = n - 1;
        while (f < freq[k]) --k;
        ++k;
        size_t moved = static_cast<size_t>(n - k);
        std::memmove(&freq[k + 1], &freq[k], moved * sizeof freq[0]);
        std::memmove(&child[k + 1], &child[k], moved * sizeof child[0]);
        freq[k] = f;
        child[k] = static_cast<int16_t>(i);
    }
    for (int i = 0; i < LzhHuffNodes; ++i) {
        int k = child[i];
        if (k >= LzhLeafBase)
            parent[k] = static_cast<int16_t>(i);
        else
            parent[k] = parent[k + 1] = static_cast<int16_t>(i);
    }
}

void LzhUpdateModel(TLzhStorage& z, int s) {
    uint16_t* freq = z.LzhHuffFreq.get();
    int16_t* parent = z.LzhHuffParent.get();
    int16_t* child = z.LzhHuffChild.get();
    if (freq[LzhHuffRoot] == LzhRebuildLimit) LzhRebuildModel(z);

    int n = parent[s + LzhLeafBase];
    do {
        uint16_t k = ++freq[n];
        if (k > freq[n + 1]) {
            // l: the last node of the run after n whose frequency is below k. The sentinel at 627
            // ends the scan; the root never gets here, as nothing follows it but the sentinel.
            int l = n + 2;
            while (k > freq[l]) ++l;
            --l;
            freq[n] = freq[l];
            freq[l] = k;

            int i = child[n];
            parent[i] = static_cast<int16_t>(l);
            if (i < LzhLeafBase) parent[i + 1] = static_cast<int16_t>(l);
            int j = child[l];
            child[l] = static_cast<int16_t>(i);
            parent[j] = static_cast<int16_t>(n);
            if (j < LzhLeafBase) parent[j + 1] = static_cast<int16_t>(n);
            child[n] = static_cast<int16_t>(j);
            n = l;
        }
        n = parent[n];
    } while (n != 0);
}
