// Lh5Expand, the codec entry of method 4 in the expand direction. It alternates between the
// word-wise fast loop and single bit-wise steps (DecodeSymbol/DecodeDistance): the fast loop
// runs while the current block has symbols left and eight input bytes lie ahead in the chunk;
// block heads and the last bytes of each chunk go bit by bit through ReadByte, so refills,
// progress reports and the final stream position happen exactly as the byte-wise definition
// has them. Keyed runs take Lh5ExpandByteWise.
//
// The window is linear: output is decoded into Window after 8192 bytes of history and copied to
// OutBuffer in bulk (with the sums, counts and budget kept as WriteByte keeps them) before every
// bit-wise step and before the history slides back to the start of Window. Flushes of the full
// output buffer therefore fall between the same reads as with one WriteByte per byte.
#include "compress/codecs/lh5/expand/Lh5Expand.h"
#include "compress/codecs/lh5/expand/Lh5FastLoop.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {
// Stands in for the input once it has ended: the bit-wise reader then reads zero bits only. Any
// size from Lh5FastMinInput on works; a longer one lets the fast loop run further per call.
constexpr int EndedInputBytes = 256;
static_assert(EndedInputBytes >= Lh5FastMinInput);
constexpr uint8_t EndedInput[EndedInputBytes] = {};

// Moves the bytes the bit-wise reader has now read past InPos, adding them to InSum.
void ConsumeInput(TCodecState& s, const uint8_t* to) {
    s.InSum += ByteSum(s.InPos, static_cast<size_t>(to - s.InPos));
    s.InPos = const_cast<uint8_t*>(to);
}

// Writes n bytes as n WriteByte calls would, a buffer at a time.
void WriteBytes(TCodecState& s, const uint8_t* bytes, uint32_t n) {
    if (static_cast<int64_t>(s.OutBudget) < n) {
        // The budget ends inside: let WriteByte raise at the exact byte.
        for (uint32_t i = 0; i < n; ++i) WriteByte(s, bytes[i]);
        return;
    }
    while (n > 0) {
        if (s.OutPos == s.OutEnd) s.FlushFullBuffer();
        const auto chunk = static_cast<uint32_t>(std::min<ptrdiff_t>(n, s.OutEnd - s.OutPos));
        std::memcpy(s.OutPos, bytes, chunk);
        s.OutPos += chunk;
        s.OutSum += ByteSum(bytes, chunk);
        s.OutCount += chunk;
        s.OutBudget -= static_cast<int32_t>(chunk);
        bytes += chunk;
        n -= chunk;
    }
}

class TLinearWindow {
public:
    explicit TLinearWindow(TCodecState& s, uint8_t* window) : State(s), Bytes(window) {
        std::fill(Bytes, Bytes + Lh5DictSize, Lh5WindowFill);
    }
    // Hands every byte decoded so far to the output.
    void Emit() {
        WriteBytes(State, Bytes + Emitted, Next - Emitted);
        Emitted = Next;
    }
    // Keeps the write index below Lh5FastWriteLimit by moving the history back to the start.
    void MakeRoom() {
        if (Next < Lh5FastWriteLimit) return;
        Emit();
        std::memmove(Bytes, Bytes + Next - Lh5DictSize, Lh5DictSize);
        Next = Emitted = Lh5DictSize;
    }
    // Bytes decoded but not yet handed to the output.
    uint32_t Pending() const { return Next - Emitted; }
    void Literal(uint8_t b) { Bytes[Next++] = b; }
    void Match(uint32_t distance, uint32_t length) {
        const uint8_t* from = Bytes + Next - distance - 1;
        uint8_t* to = Bytes + Next;
        for (uint32_t k = 0; k < length; ++k) to[k] = from[k];
        Next += length;
    }

    uint32_t Next = Lh5DictSize;

private:
    TCodecState& State;
    uint8_t* Bytes;
    uint32_t Emitted = Lh5DictSize;
};
} // namespace

void Lh5Expand(TCodecState& s, int32_t destSize) {
    if (destSize == 0) return;
    if (s.KeyIn || s.KeyOut) {
        Lh5ExpandByteWise(s, destSize);
        return;
    }
    TLh5ExpandStorage z;
    Lh5AllocStorage(z);
    auto fast = std::make_unique<TLh5FastTables>();
    bool fastUsable = false;
    FetchBits(s, z, 16);
    TLinearWindow window(s, z.Window);
    int64_t produced = 0;

    while (produced < destSize) {
        window.MakeRoom();
        const auto wStop = static_cast<uint32_t>(
            std::min<int64_t>(Lh5FastWriteLimit, window.Next + (static_cast<int64_t>(destSize) - produced)));
        // The fast loop runs only where the output budget cannot run out inside it, so that it
        // never decodes beyond the symbol at which WriteByte would have raised.
        if (fastUsable && z.BlockRemaining != 0 &&
            s.OutBudget >= static_cast<int64_t>(window.Pending()) + (wStop - window.Next) + Lh5MaxMatch) {
            const uint32_t before = window.Next;
            if (s.EndOfInput) {
                RunFastLoop(z, *fast, EndedInput, EndedInput + sizeof EndedInput, window.Next, wStop);
            } else {
                ConsumeInput(s, RunFastLoop(z, *fast, s.InPos, s.InEnd, window.Next, wStop));
            }
            produced += window.Next - before;
            if (window.Next != before) continue;
        }
        // A bit-wise step may refill the input: everything decoded before it is written first.
        window.Emit();
        const bool blockHead = z.BlockRemaining == 0;
        const uint16_t sym = DecodeSymbol(s, z);
        if (blockHead) fastUsable = BuildFastTables(z, *fast);
        if (sym < Lh5FirstMatchSymbol) {
            window.Literal(static_cast<uint8_t>(sym));
            ++produced;
        } else {
            const uint32_t length = sym - Lh5MatchLengthBias;
            window.Match(DecodeDistance(s, z), length);
            produced += length;
        }
    }
    window.Emit();
}
