// Bit output of the LH5 compressor, most significant bit first. Bits gather in a 64-bit word and
// leave as whole bytes through WriteByte once 32 have collected; Finish writes every complete
// byte and keeps the rest in the storage's PendingByte (left-aligned) and PendingBits (free bit
// places, 8 = empty), the state between blocks. A block is coded without reading input, so
// writing its bytes a few codes later than one by one changes nothing that can be observed: the
// same bytes reach WriteByte in the same order, and the budget runs out within the same block.
#pragma once

#include "compress/codecs/CodecState.h"
#include "compress/codecs/lh5/Lh5Storage.h"

class TLh5BitWriter {
public:
    TLh5BitWriter(TCodecState& s, TLh5EncoderStorage& z)
        : State(s), Storage(z), Count(8u - z.PendingBits),
          Word(static_cast<uint64_t>(z.PendingByte >> z.PendingBits)) {}

    // Appends the n (0..32) low bits of value; value has no bits above them.
    void Put(unsigned n, uint32_t value) {
        Word = (Word << n) | value;
        Count += n;
        if (Count >= 32) Drain();
    }
    // n bits (0..16) of a code that is left-aligned in 16 bits.
    void PutCode(unsigned n, uint16_t v) {
        if (n) Put(n, static_cast<uint32_t>(v >> (16 - n)));
    }
    // The n (0..16) low bits of x.
    void PutBits(unsigned n, uint32_t x) {
        if (n) Put(n, x & ((1u << n) - 1));
    }
    // Writes the complete bytes and leaves the remaining bits pending in the storage.
    void Finish() {
        while (Count >= 8) WriteNextByte();
        Storage.PendingBits = static_cast<uint8_t>(8 - Count);
        Storage.PendingByte = static_cast<uint8_t>(Word << (8 - Count));
    }

private:
    void WriteNextByte() {
        Count -= 8;
        WriteByte(State, static_cast<uint8_t>(Word >> Count));
    }
    void Drain() {
        WriteNextByte();
        WriteNextByte();
        WriteNextByte();
        WriteNextByte();
    }

    TCodecState& State;
    TLh5EncoderStorage& Storage;
    unsigned Count; // bits in Word not yet written
    uint64_t Word;
};
