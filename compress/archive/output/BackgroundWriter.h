// The file work of an expansion on a thread of its own, beside the decoding: a member's bytes go
// to the thread in blocks, in their order, and the expansion waits for them only once the member
// is complete; the thread closes the files the expansion is done with (whatever the system does
// when a new file is closed, a virus scanner's read, no longer holds up the next member). (Making
// the next member's temporary file ahead on the thread was tried and dropped: marking it for
// deletion until it is used, and unmarking it, cost more system calls than the creation they
// moved off the expansion's thread: under Wine the installations ran slower with it.)
//
// One stream at a time writes through the thread (an expansion writes one member after another);
// the memory is BlockCount blocks of BlockSize bytes, whatever the size of the members.
#pragma once

#include "platform/files/FileStream.h"
#include "platform/process/Thread.h"

#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <string>
#include <vector>

class TBackgroundWriter {
public:
    static constexpr int32_t BlockSize = 64 * 1024;
    static constexpr int BlockCount = 4;

    TBackgroundWriter();
    // Waits for every write and close handed over, then ends the thread.
    ~TBackgroundWriter();
    TBackgroundWriter(const TBackgroundWriter&) = delete;
    TBackgroundWriter& operator=(const TBackgroundWriter&) = delete;

    // Closes the file on the writer's thread, after what was handed over before it.
    void CloseLater(std::unique_ptr<TFileStream> file);

private:
    friend class TBackgroundWriteStream;
    struct TJob {
        TStream* Target = nullptr;
        uint8_t* Block = nullptr;
        int32_t Count = 0;
        std::unique_ptr<TFileStream> Closing;
    };

    uint8_t* TakeBlock();
    void ReturnBlock(uint8_t* block);
    void Submit(TJob job);
    // Drains; raises the first failure of the writes since the last call (and forgets it) when
    // raise is set, else forgets it.
    void Settle(bool raise);
    void Run();

    std::vector<std::unique_ptr<uint8_t[]>> Blocks;
    std::vector<uint8_t*> FreeBlocks;
    std::deque<TJob> Jobs;
    bool Busy = false;
    bool Ending = false;
    std::exception_ptr Failure;
    TLockedCondition Changed;
    std::unique_ptr<TThread> Thread; // last: it ends first
};

// Passes writes to target on the writer's thread. Position counts what was written through it;
// every other request (and Flush) first waits for the writes to reach the target, and raises the
// target's failure, as a write straight to it would have (at the latest at Flush). Bytes not
// flushed when the stream is destroyed are dropped, but what reached the thread is written first.
class TBackgroundWriteStream : public TStream {
public:
    TBackgroundWriteStream(TBackgroundWriter& writer, TStream& target);
    ~TBackgroundWriteStream() override;

    int64_t Size() const override;
    int64_t Position() const override { return Start + Handed + Gathered; }
    int32_t Read(void* buffer, int32_t count) override;
    void Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void Flush();

private:
    void HandOver();

    TBackgroundWriter& Writer;
    TStream& Target;
    int64_t Start;
    int64_t Handed = 0;
    uint8_t* Block = nullptr;
    int32_t Gathered = 0;
};
