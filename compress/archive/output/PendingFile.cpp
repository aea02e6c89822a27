// Temporary files beside their targets, and the one-step replacement of the target.
#include "compress/archive/output/PendingFile.h"

#include "compress/archive/FileNames.h"
#include "platform/Exception.h"
#include "platform/digest/Crc32.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileTime.h"
#include "platform/process/ProcessSeed.h"
#include "platform/process/Spans.h"

#include <atomic>

namespace {
const char* const TemporaryPrefix = "~qdmx";
const char* const TemporarySuffix = ".tmp";
constexpr int TemporaryDigits = 12;
// Entries of the temporary shape that a folder may already hold before no free name is tried.
constexpr int Attempts = 64;

// splitmix64: spreads a counter over all bits, so consecutive names differ everywhere.
uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Passes writes on to the file and counts their size and CRC-32 on the way, in the blocks that
// the writer's thread hands on. A seek away from the end (no expansion does one)
// leaves the count unusable.
class TDigestingStream : public TStream {
public:
    explicit TDigestingStream(TStream& target) : Target(target) {}
    int64_t Size() const override { return Target.Size(); }
    int64_t Position() const override { return Target.Position(); }
    int32_t Read(void* buffer, int32_t count) override { return Target.Read(buffer, count); }
    void Write(const void* buffer, int32_t count) override {
        {
            const TSpan span("write file");
            Target.Write(buffer, count);
        }
        if (count <= 0) return;
        const TSpan span("digest");
        Crc = UpdateCrc32(Crc, static_cast<const uint8_t*>(buffer), static_cast<size_t>(count));
        Count += count;
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        const int64_t at = Target.Seek(offset, origin);
        if (at != Count) Straight = false;
        return at;
    }
    std::optional<TWrittenDigest> Digest() const {
        if (!Straight) return std::nullopt;
        return TWrittenDigest{Count, Crc};
    }

private:
    TStream& Target;
    uint32_t Crc = 0;
    int64_t Count = 0;
    bool Straight = true;
};

std::string NextTemporaryName() {
    // A start that differs between processes (and between runs of one program), so that names of
    // concurrent expansions seldom meet; when they do, exclusive creation decides.
    static const uint64_t start = ProcessSeed();
    static std::atomic<uint64_t> counter{0};
    const uint64_t value = Mix(start + counter++);
    static const char digits[] = "0123456789abcdef";
    std::string name = TemporaryPrefix;
    for (int i = TemporaryDigits - 1; i >= 0; --i) name += digits[(value >> (4 * i)) & 0xF];
    return name + TemporarySuffix;
}

// A candidate beside target that is not the target itself (a member may carry a temporary name).
std::string CandidateBeside(const std::string& target) {
    for (;;) {
        std::string candidate = FolderOf(target) + NextTemporaryName();
        if (!SameFileName(candidate, target)) return candidate;
    }
}
} // namespace

std::string TPendingFile::FreeNameBeside(const std::string& target) {
    for (int i = 0;; ++i) {
        std::string candidate = CandidateBeside(target);
        if (i + 1 >= Attempts || GetAttributes(candidate) == -1) return candidate;
    }
}

bool TPendingFile::IsTemporaryName(const std::string& fileName) {
    const std::string prefix = TemporaryPrefix, suffix = TemporarySuffix;
    if (fileName.size() != prefix.size() + TemporaryDigits + suffix.size()) return false;
    if (!SameFileName(fileName.substr(0, prefix.size()), prefix) ||
        !SameFileName(fileName.substr(fileName.size() - suffix.size()), suffix))
        return false;
    for (size_t i = prefix.size(); i < prefix.size() + TemporaryDigits; ++i) {
        const char c = fileName[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

TPendingFile::TPendingFile(const std::string& target, TBackgroundWriter& background,
                           const std::string& firstChoice, bool digest)
    : Target(target), Background(background) {
    auto makeWriter = [&] {
        TStream* sink = File.get();
        if (digest) {
            Counter = std::make_unique<TDigestingStream>(*File);
            sink = Counter.get();
        }
        Writer = std::make_unique<TBackgroundWriteStream>(Background, *sink);
    };
    if (IsDevice(target)) {
        File = TFileStream::Create(target);
        TempPath = target;
        InPlace = true;
        makeWriter();
        return;
    }
    std::string candidate = firstChoice.empty() ? CandidateBeside(target) : firstChoice;
    for (int i = 0; i < Attempts; ++i, candidate = CandidateBeside(target)) {
        try {
            File = TFileStream::CreateNew(candidate);
        } catch (const EFCreateError& e) {
            // The message names the target; the reason is the system's, after the temporary path.
            const size_t reason = e.Message.find("\". ");
            throw EFCreateError("Cannot create file \"" + target + "\". " +
                                (reason == std::string::npos ? e.Message : e.Message.substr(reason + 3)));
        }
        if (File) {
            TempPath = candidate;
            makeWriter();
            return;
        }
    }
    throw EFCreateError("Cannot create file \"" + target + "\". No free temporary name in its folder");
}

TPendingFile::~TPendingFile() {
    if (!Done) Discard();
}

void TPendingFile::Discard() {
    Done = true;
    // The writes handed to the thread are waited for: the file goes only after them.
    Writer.reset();
    Counter.reset();
    File.reset();
    if (InPlace) return;
    // A read-only file cannot be deleted on Windows.
    if (!DeleteFileAt(TempPath)) {
        SetAttributes(TempPath, faArchive);
        DeleteFileAt(TempPath);
    }
}

void TPendingFile::Complete(int32_t dateTime, int32_t attributes) {
    if (Completed) return;
    Writer->Flush();
    Completed = true;
    // A failure to set the date or the attributes does not keep the file from being installed.
    if (InPlace)
        SetFileDateTime(*File, dateTime);
    else
        SetFileDateTimeAndAttributes(*File, dateTime, attributes);
}

bool TPendingFile::Replace() {
    if (Done) return true;
    if (InPlace) {
        File->Close();
        return Done = true;
    }
    // The first try moves the file while open, which spares opening it again by name; a later one
    // moves it by name (a failed move has closed it).
    const bool moved = Tried ? MoveFileReplacing(TempPath, Target) : MoveOpenFileReplacing(*File, Target);
    Tried = true;
    // The reason of the failed move, not of the clean-up, is the one the caller reports.
    if (!moved) {
        Held = LastErrorIsHeld();
        FailureReason = SystemErrorText();
    }
    Done = moved;
    if (!moved) {
        File->Close();
        return false;
    }
    // Nothing writes to the file any more: Complete flushed it.
    Writer.reset();
    Background.CloseLater(std::move(File));
    return true;
}

const std::string& TPendingFile::Keep() {
    Writer.reset();
    Counter.reset();
    File.reset();
    Done = true;
    return TempPath;
}

std::optional<TWrittenDigest> TPendingFile::Digest() const {
    if (!Counter) return std::nullopt;
    return static_cast<const TDigestingStream&>(*Counter).Digest();
}
