// The setup programs' codec table: the expanders of every method and no compressors. A setup only
// expands, and the compressors (the LH5 one with its match finder and worker threads above all)
// would make up a sixth of the program. Linked as one of the programs' own objects, this
// definition of FindCodec is the one the archive component calls; the archive library's full
// table is then never linked in (were it pulled in, the two definitions would clash at link time).
#include "compress/CodecTable.h"

#include "compress/CodecTableEntries.h"

namespace {
constexpr TCodecEntry Entries[4] = {
    {nullptr, StoredExpandMember}, {nullptr, RleExpandMember}, {nullptr, LzhExpand}, {nullptr, Lh5Expand}};
} // namespace

const TCodecEntry* FindCodec(uint8_t method) {
    return CodecEntryIn(Entries, method);
}
