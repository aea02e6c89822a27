// The archive component's codec table: every method with its compressor and its expander.
#include "compress/CodecTable.h"

#include "compress/CodecTableEntries.h"
#include "compress/codecs/lh5/Lh5Compress.h"

namespace {
constexpr TCodecEntry Entries[4] = {{CopyStored, ExpandStoredMember},
                                    {CompressRLE, ExpandRleMember},
                                    {LzhCompress, LzhExpand},
                                    {CompressLH5, ExpandLH5}};
} // namespace

const TCodecEntry* FindCodec(uint8_t method) {
    return CodecEntryIn(Entries, method);
}
