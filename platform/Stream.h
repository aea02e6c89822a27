// The byte-stream abstraction that sources and destinations share: size, position, a read that
// returns the count actually delivered, a write that completes or raises, and seeking.
// Codecs touch a stream once per 8 KB, so virtual calls here cost nothing measurable.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

enum class TSeekOrigin { Begin, Current, End };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    virtual int64_t Size() const = 0;
    virtual int64_t Position() const = 0;
    // Reads up to count bytes; returns how many were delivered (fewer only at the end of the data).
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    // Writes all count bytes or raises EStreamError.
    virtual void Write(const void* buffer, int32_t count) = 0;
    // Moves the position; returns the new position. Raises EStreamError when it cannot.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Remaining() const { return Size() - Position(); }
};

// A growable read-write stream held in memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : Bytes(std::move(bytes)) {}

    int64_t Size() const override { return static_cast<int64_t>(Bytes.size()); }
    int64_t Position() const override { return Pos; }
    int32_t Read(void* buffer, int32_t count) override;
    void Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    std::vector<uint8_t> Bytes;

private:
    int64_t Pos = 0;
};

// Something kept for as long as its owner lives (a loaded module, an open folder) and released by
// the one call given with it. Moved, never shared: no reference count, no type information.
using TKeepAlive = std::unique_ptr<void, void (*)(void*)>;

// A read-only view over bytes that someone else owns; KeepAlive (for example a loaded module)
// is released only when the stream is destroyed.
class TReadOnlyMemoryStream : public TStream {
public:
    TReadOnlyMemoryStream(const uint8_t* data, int64_t size, TKeepAlive keepAlive = {nullptr, nullptr})
        : Data(data), DataSize(size), KeepAlive(std::move(keepAlive)) {}

    int64_t Size() const override { return DataSize; }
    int64_t Position() const override { return Pos; }
    int32_t Read(void* buffer, int32_t count) override;
    void Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

private:
    const uint8_t* Data;
    int64_t DataSize;
    int64_t Pos = 0;
    TKeepAlive KeepAlive;
};

// A destination that keeps nothing and only counts the bytes written to it (for verifying and
// measuring expansions without storing their output).
class TCountingStream : public TStream {
public:
    int64_t Size() const override { return Count; }
    int64_t Position() const override { return Count; }
    int32_t Read(void*, int32_t) override { return 0; }
    void Write(const void*, int32_t count) override { Count += count; }
    int64_t Seek(int64_t, TSeekOrigin) override { return Count; }

private:
    int64_t Count = 0;
};

// Resolves a seek request against a stream of the given size; raises EStreamError for a
// position before the start.
int64_t ResolveSeek(int64_t current, int64_t size, int64_t offset, TSeekOrigin origin);
