// The full codec table: every method with its compressor and its expander. The build links it
// into every program that does not ask for the expand-only table (compress/CMakeLists.txt).
#include "compress/CodecTable.h"

#include "compress/CodecTableEntries.h"
#include "compress/codecs/lh5/compress/Lh5Compress.h"

namespace {
constexpr TCodecEntry Entries[4] = {{StoredCopy, StoredExpandMember},
                                    {RleCompress, RleExpandMember},
                                    {LzhCompress, LzhExpand},
                                    {Lh5Compress, Lh5Expand}};
} // namespace

const TCodecEntry* FindCodec(uint8_t method) {
    return CodecEntryIn(Entries, method);
}
