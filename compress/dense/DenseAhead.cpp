#include "compress/dense/DenseAhead.h"

#include <algorithm>
#include <exception>
#include <utility>

// The output of a member decoded ahead, held until it is taken: the decoder writes into its memory
// directly (a member of no bytes has none).
class TDenseAhead::TOutput final : public TStream {
public:
    int64_t Size() const override { return static_cast<int64_t>(Bytes.Size); }
    int64_t Position() const override { return Size(); }
    int32_t Read(void*, int32_t) override { return 0; }
    void Write(const void* buffer, int32_t count) override {
        // The decoder's pieces are already in place; anything else would not be.
        if (count > 0 && buffer != Bytes.Data() + Bytes.Size) throw Exception("decoded output out of place");
        Bytes.Size += static_cast<size_t>(std::max(count, 0));
    }
    int64_t Seek(int64_t, TSeekOrigin) override { return Size(); }

    TAheadBytes Bytes;
};

struct TDenseAhead::TJob {
    TAheadMember Member;
    bool BranchFilter = false;
    uint64_t Generation = 0;
    // Written by the thread, read by the expansion once Done is set (under Changed):
    TOutput Output;
    // Each progress report of the decoding, with the output's size when it was made.
    std::vector<std::pair<int32_t, size_t>> Reports;
    std::exception_ptr Error; // what the decoding raised
    uint32_t Sum = 0;
    bool Done = false;
};

TDenseAhead::TDenseAhead() : Thread(std::make_unique<TThread>([this] { Run(); })) {}

TDenseAhead::~TDenseAhead() {
    {
        TLockHeld held(Changed);
        Ending = true;
        Changed.WakeAll();
    }
    Thread.reset();
}

void TDenseAhead::Restart(const TStream* source, bool branchFilter) {
    TLockHeld held(Changed);
    ++Generation;
    while (Decoding) Changed.Wait();
    Jobs.clear();
    Taken = Started = 0;
    Buffered = QueuedStored = 0;
    Broken = false;
    ArchiveStream = source;
    BranchFilter = branchFilter;
}

bool TDenseAhead::Add(TStream& source, const TMemberHeader& header, std::string name) {
    auto job = std::make_unique<TJob>();
    TAheadMember& member = job->Member;
    member.DataStart = source.Position();
    member.Name = std::move(name);
    member.Header = header;
    {
        TLockHeld held(Changed);
        member.Stored = SpareBytes(static_cast<size_t>(header.CompressedSize));
    }
    member.Stored.Size = static_cast<size_t>(header.CompressedSize);
    if (source.Read(member.Stored.Data(), header.CompressedSize) != header.CompressedSize) {
        TLockHeld held(Changed);
        KeepSpare(std::move(member.Stored));
        return false;
    }
    QueuedStored += header.CompressedSize;
    job->BranchFilter = BranchFilter;
    job->Generation = Generation;
    TLockHeld held(Changed);
    Jobs.push_back(std::move(job));
    Changed.WakeAll();
    return true;
}

const TAheadMember* TDenseAhead::Front() const {
    return Taken < Jobs.size() ? &Jobs[Taken]->Member : nullptr;
}

bool TDenseAhead::Take(TStream* dest, const TShowProgressEvent& progress, uint32_t& sum) {
    TJob& job = *Jobs[Taken];
    {
        TLockHeld held(Changed);
        while (!job.Done) Changed.Wait();
    }
    const TAheadBytes& output = job.Output.Bytes;
    size_t written = 0;
    auto pass = [&](size_t end) {
        if (dest && end > written) dest->Write(output.Data() + written, static_cast<int32_t>(end - written));
        written = end;
    };
    for (size_t k = 0; k < job.Reports.size(); ++k) {
        pass(job.Reports[k].second);
        int32_t percent = job.Reports[k].first;
        if (progress) progress(percent);
        if (k == 0 && percent == -1) return false;
    }
    pass(output.Size);
    std::unique_ptr<TJob> taken;
    {
        TLockHeld held(Changed);
        taken = std::move(Jobs[Taken++]);
        KeepSpare(std::move(taken->Output.Bytes));
        KeepSpare(std::move(taken->Member.Stored));
        Buffered -= taken->Member.Header.ExpandedSize;
        // The queue starts again at its first entry once the thread has caught up with it.
        if (Taken == Jobs.size() && Started == Taken) {
            Jobs.clear();
            Taken = Started = 0;
        }
        Changed.WakeAll();
    }
    QueuedStored -= taken->Member.Header.CompressedSize;
    if (taken->Error) std::rethrow_exception(taken->Error);
    sum = taken->Sum;
    return true;
}

bool TDenseAhead::DecodeHere(TStream* dest, TStream& source, int32_t sourceSize, int32_t destSize,
                             const TShowProgressEvent& progress, uint32_t& sum) {
    {
        TLockHeld held(Changed);
        while (Decoding) Changed.Wait();
    }
    return DecoderFor(Generation).Decode(dest, source, sourceSize, destSize, progress, BranchFilter, sum);
}

TDenseDecoder& TDenseAhead::DecoderFor(uint64_t generation) {
    if (DecoderGeneration != generation) {
        Decoder.Reset();
        DecoderGeneration = generation;
    }
    return Decoder;
}

void TDenseAhead::Run() {
    for (;;) {
        TJob* job;
        {
            TLockHeld held(Changed);
            // The next member waits while what is held and its output would pass the budget.
            while (!Ending &&
                   (Broken || Started >= Jobs.size() ||
                    (Buffered > 0 && Buffered + Jobs[Started]->Member.Header.ExpandedSize > OutputBudget)))
                Changed.Wait();
            if (Ending) return;
            job = Jobs[Started++].get();
            Buffered += job->Member.Header.ExpandedSize;
            Decoding = true;
        }
        DecodeJob(*job);
        TLockHeld held(Changed);
        Decoding = false;
        job->Done = true;
        if (job->Error) Broken = true;
        Changed.WakeAll();
    }
}

void TDenseAhead::DecodeJob(TJob& job) {
    const auto storedSize = static_cast<int32_t>(job.Member.Stored.Size);
    TReadOnlyMemoryStream stored(job.Member.Stored.Data(), storedSize);
    const TShowProgressEvent report = [&](int32_t& percent) {
        job.Reports.emplace_back(percent, job.Output.Bytes.Size);
    };
    try {
        {
            TLockHeld held(Changed);
            job.Output.Bytes = SpareBytes(static_cast<size_t>(job.Member.Header.ExpandedSize));
        }
        DecoderFor(job.Generation)
            .Decode(&job.Output, stored, storedSize, job.Member.Header.ExpandedSize, report, job.BranchFilter,
                    job.Sum, job.Output.Bytes.Data());
    } catch (...) {
        job.Error = std::current_exception();
    }
}

TAheadBytes TDenseAhead::SpareBytes(size_t count) {
    TAheadBytes* best = nullptr;
    for (TAheadBytes& spare : Spares)
        if (spare.Capacity() >= count && (!best || spare.Capacity() < best->Capacity())) best = &spare;
    TAheadBytes bytes;
    if (best) {
        SpareBytesHeld -= best->Capacity();
        bytes = std::move(*best);
    }
    bytes.Reserve(count);
    bytes.Size = 0;
    return bytes;
}

void TDenseAhead::KeepSpare(TAheadBytes bytes) {
    if (SpareBytesHeld + bytes.Capacity() > SpareBudget) return;
    for (TAheadBytes& spare : Spares)
        if (spare.Capacity() == 0) {
            SpareBytesHeld += bytes.Capacity();
            spare = std::move(bytes);
            return;
        }
}
