// Memory streams, write gathering and the seek arithmetic shared by all stream kinds.
#include "platform/Stream.h"

#include "platform/Exception.h"

#include <algorithm>
#include <cstring>

int64_t ResolveSeek(int64_t current, int64_t size, int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::Begin ? 0 : origin == TSeekOrigin::Current ? current : size;
    int64_t target = base + offset;
    if (target < 0) throw EStreamError("Stream seek error");
    return target;
}

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || Pos >= Size()) return 0;
    auto n = static_cast<int32_t>(std::min<int64_t>(count, Size() - Pos));
    std::memcpy(buffer, Bytes.data() + Pos, static_cast<size_t>(n));
    Pos += n;
    return n;
}

void TMemoryStream::Write(const void* buffer, int32_t count) {
    if (count <= 0) return;
    auto end = static_cast<size_t>(Pos) + static_cast<size_t>(count);
    if (end > Bytes.size()) Bytes.resize(end);
    std::memcpy(Bytes.data() + Pos, buffer, static_cast<size_t>(count));
    Pos = static_cast<int64_t>(end);
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    Pos = ResolveSeek(Pos, Size(), offset, origin);
    return Pos;
}

int32_t TReadOnlyMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || Pos >= DataSize) return 0;
    auto n = static_cast<int32_t>(std::min<int64_t>(count, DataSize - Pos));
    std::memcpy(buffer, Data + Pos, static_cast<size_t>(n));
    Pos += n;
    return n;
}

void TReadOnlyMemoryStream::Write(const void*, int32_t) {
    throw EStreamError("Stream write error: read-only stream");
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    Pos = ResolveSeek(Pos, DataSize, offset, origin);
    return Pos;
}
