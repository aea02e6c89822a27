// The codec table of programs that only expand (the setup programs): the expanders of every method
// and no compressors, which would make up a sixth of such a program. The build links it instead of
// the full table for a program that sets PARLAVOX_CODECS_EXPAND_ONLY (compress/CMakeLists.txt).
#include "compress/CodecTable.h"

#include "compress/CodecTableEntries.h"

namespace {
constexpr TCodecEntry Entries[4] = {
    {nullptr, StoredExpandMember}, {nullptr, RleExpandMember}, {nullptr, LzhExpand}, {nullptr, Lh5Expand}};
} // namespace

const TCodecEntry* FindCodec(uint8_t method) {
    return CodecEntryIn(Entries, method);
}
