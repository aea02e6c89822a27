#include "compress/archive/output/BackgroundWriter.h"

#include <algorithm>
#include <cstring>

TBackgroundWriter::TBackgroundWriter() {
    for (int i = 0; i < BlockCount; ++i) {
        Blocks.emplace_back(new uint8_t[BlockSize]);
        FreeBlocks.push_back(Blocks.back().get());
    }
    Thread = std::make_unique<TThread>([this] { Run(); });
}

TBackgroundWriter::~TBackgroundWriter() {
    {
        const TLockHeld held(Changed);
        Ending = true;
        Changed.WakeAll();
    }
    Thread.reset();
}

void TBackgroundWriter::Run() {
    const TLockHeld held(Changed);
    for (;;) {
        while (!Ending && Jobs.empty()) Changed.Wait();
        if (Jobs.empty()) return; // ending, and nothing left to do
        TJob job = std::move(Jobs.front());
        Jobs.pop_front();
        Busy = true;
        const bool failed = Failure != nullptr;
        Changed.Unlock();
        std::exception_ptr failure;
        // After a failed write the stream's later bytes are not written: its file is given up.
        if (job.Target && !failed) {
            try {
                job.Target->Write(job.Block, job.Count);
            } catch (...) {
                failure = std::current_exception();
            }
        }
        job.Closing.reset();
        Changed.Lock();
        if (failure && !Failure) Failure = failure;
        if (job.Block) FreeBlocks.push_back(job.Block);
        Busy = false;
        Changed.WakeAll();
    }
}

uint8_t* TBackgroundWriter::TakeBlock() {
    const TLockHeld held(Changed);
    while (FreeBlocks.empty()) Changed.Wait();
    uint8_t* block = FreeBlocks.back();
    FreeBlocks.pop_back();
    return block;
}

void TBackgroundWriter::ReturnBlock(uint8_t* block) {
    const TLockHeld held(Changed);
    FreeBlocks.push_back(block);
    Changed.WakeAll();
}

void TBackgroundWriter::Submit(TJob job) {
    const TLockHeld held(Changed);
    Jobs.push_back(std::move(job));
    Changed.WakeAll();
}

void TBackgroundWriter::CloseLater(std::unique_ptr<TFileStream> file) {
    TJob job;
    job.Closing = std::move(file);
    Submit(std::move(job));
}

void TBackgroundWriter::Settle(bool raise) {
    std::exception_ptr failure;
    {
        const TLockHeld held(Changed);
        while (Busy || !Jobs.empty()) Changed.Wait();
        std::swap(failure, Failure);
    }
    if (failure && raise) std::rethrow_exception(failure);
}

TBackgroundWriteStream::TBackgroundWriteStream(TBackgroundWriter& writer, TStream& target)
    : Writer(writer), Target(target), Start(target.Position()) {}

TBackgroundWriteStream::~TBackgroundWriteStream() {
    // The target must outlive every write handed over for it; a failure no longer matters.
    if (Block) Writer.ReturnBlock(Block);
    Writer.Settle(false);
}

void TBackgroundWriteStream::Write(const void* buffer, int32_t count) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        if (!Block) Block = Writer.TakeBlock();
        const int32_t n = std::min(count, TBackgroundWriter::BlockSize - Gathered);
        std::memcpy(Block + Gathered, bytes, static_cast<size_t>(n));
        Gathered += n;
        bytes += n;
        count -= n;
        if (Gathered == TBackgroundWriter::BlockSize) HandOver();
    }
}

void TBackgroundWriteStream::HandOver() {
    if (Gathered == 0) return;
    TBackgroundWriter::TJob job;
    job.Target = &Target;
    job.Block = Block;
    job.Count = Gathered;
    Handed += Gathered;
    Block = nullptr;
    Gathered = 0;
    Writer.Submit(std::move(job));
}

void TBackgroundWriteStream::Flush() {
    HandOver();
    Writer.Settle(true);
}

int64_t TBackgroundWriteStream::Size() const {
    Writer.Settle(true);
    return std::max(Target.Size(), Position());
}

int32_t TBackgroundWriteStream::Read(void* buffer, int32_t count) {
    Flush();
    return Target.Read(buffer, count);
}

int64_t TBackgroundWriteStream::Seek(int64_t offset, TSeekOrigin origin) {
    Flush();
    const int64_t at = Target.Seek(offset, origin);
    Start = at;
    Handed = 0;
    return at;
}
