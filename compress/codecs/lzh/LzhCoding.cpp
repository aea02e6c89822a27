// Symbol and position coding over the bit I/O and the model. A symbol's code can outgrow 16 bits
// once the model has aged; it is gathered in 32 bits (a Huffman tree whose root weighs at most
// 0x8000 is less than 25 levels deep) and sent in two pieces.
#include "compress/codecs/lzh/LzhCoding.h"

#include "compress/codecs/lzh/LzhBits.h"
#include "compress/codecs/lzh/LzhModel.h"
#include "compress/codecs/lzh/LzhPositionCode.h"

void LzhEncodeSymbol(TCodecState& s, TLzhStorage& z, int symbol) {
    const int16_t* parent = z.LzhHuffParent.get();
    uint32_t code = 0;
    int length = 0;
    int n = parent[symbol + LzhLeafBase];
    do {
        code = (code >> 1) | (static_cast<uint32_t>(n & 1) << 31);
        ++length;
        n = parent[n];
    } while (n != LzhHuffRoot);
    if (length > 16) {
        LzhPutCode(s, z, 16, static_cast<uint16_t>(code >> 16));
        LzhPutCode(s, z, length - 16, static_cast<uint16_t>(code));
    } else {
        LzhPutCode(s, z, length, static_cast<uint16_t>(code >> 16));
    }
    LzhUpdateModel(z, symbol);
}

void LzhEncodePosition(TCodecState& s, TLzhStorage& z, int position) {
    int u = position >> 6;
    LzhPutCode(s, z, LzhPositionCode.Length[u], static_cast<uint16_t>(LzhPositionCode.Code[u] << 8));
    LzhPutCode(s, z, 6, static_cast<uint16_t>((position & 63) << 10));
}

int LzhDecodeSymbol(TCodecState& s, TLzhStorage& z) {
    const int16_t* child = z.LzhHuffChild.get();
    int n = child[LzhHuffRoot];
    while (n < LzhLeafBase) n = child[n + LzhGetBit(s, z)];
    int symbol = n - LzhLeafBase;
    LzhUpdateModel(z, symbol);
    return symbol;
}

int LzhDecodePosition(TCodecState& s, TLzhStorage& z) {
    int b = LzhGetByte(s, z);
    int u = LzhPositionCode.DecodeClass[b];
    int extra = LzhPositionCode.DecodeLength[b] - 2;
    int x = LzhGetBits(s, z, extra);
    return (u << 6) | (((b << extra) | x) & 63);
}
