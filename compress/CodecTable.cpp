// The archive component's codec table: every method with its compressor and its expander.
#include "compress/CodecTable.h"

#include "compress/CodecTableEntries.h"
#include "compress/codecs/lh5/Lh5Compress.h"

namespace {
constexpr TCodecEntry Entries[4] = {{StoredCopy, StoredExpandMember},
                                    {RleCompress, RleExpandMember},
                                    {LzhCompress, LzhExpand},
                                    {Lh5Compress, Lh5Expand}};
} // namespace

const TCodecEntry* FindCodec(uint8_t method) {
    return CodecEntryIn(Entries, method);
}
