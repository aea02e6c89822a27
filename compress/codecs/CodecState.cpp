// The rare paths of the codec state: refilling the input chunk with its progress report and
// flushing the output buffer.
#include "compress/codecs/CodecState.h"

#include "platform/process/Yield.h"

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

int32_t ProgressPercent(int32_t done, int32_t total) {
    if (total <= 100000) return done * 100 / total;
    return done / (total / 100);
}

bool TCodecState::RefillInput() {
    EndOfInput = true;
    if (InRemaining == 0) return false;
    if (InRemaining < ChunkSize) ChunkSize = InRemaining;
    int32_t n = Source->Read(InBuffer, ChunkSize);
    InRemaining -= n;
    if (n == 0) return false;
    InEnd = InBuffer + n;
    InPos = InBuffer;
    if (OnProgress) {
        InFetched += n;
        int32_t percent = ProgressPercent(InFetched, InFetched + InRemaining);
        OnProgress(percent);
        if (percent == -1) {
            // Cancelled: the chunk is dropped and nothing more is fetched, so even a caller that
            // read on would only see the end of the input.
            InPos = InEnd;
            InRemaining = 0;
            return false;
        }
    }
    YieldToOtherThreads();
    EndOfInput = false;
    return true;
}

void TCodecState::FlushFullBuffer() {
    YieldToOtherThreads();
    Dest->Write(OutBuffer, CodecChunkSize);
    OutPos = OutBuffer;
}

void ThrowUnableToCompress() {
    throw EUnableToCompress();
}

void FlushOutput(TCodecState& s) {
    if (s.OutPos != s.OutBuffer) s.Dest->Write(s.OutBuffer, static_cast<int32_t>(s.OutPos - s.OutBuffer));
}

uint32_t ByteSum(const uint8_t* p, size_t n) {
    uint64_t total = 0;
    size_t i = 0;
#if defined(__SSE2__) && defined(__x86_64__)
    const __m128i zero = _mm_setzero_si128();
    __m128i acc = zero;
    for (; i + 16 <= n; i += 16)
        acc =
            _mm_add_epi64(acc, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), zero));
    total = static_cast<uint64_t>(_mm_cvtsi128_si64(acc)) +
            static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(acc, acc)));
#endif
    for (; i < n; ++i) total += p[i];
    return static_cast<uint32_t>(total);
}
