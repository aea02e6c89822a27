// libFuzzer target of the LZH compressor: any input that the compressor accepts must survive the
// round trip; an input that cannot be compressed must raise EUnableToCompress and nothing else.
#include "fuzz/RoundTripCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckRoundTrip(data, size, miLZH);
    return 0;
}
