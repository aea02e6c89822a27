// Temporary files beside their targets, and the one-step replacement of the target.
#include "compress/archive/PendingFile.h"

#include "compress/archive/FileNames.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/ProcessSeed.h"

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

TPendingFile::TPendingFile(const std::string& target, const std::string& firstChoice, uint8_t* writeBlock)
    : Target(target) {
    if (IsDevice(target)) {
        File = TFileStream::Create(target);
        TempPath = target;
        InPlace = true;
        Writer = std::make_unique<TWriteGatheringStream>(*File, writeBlock);
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
            Writer = std::make_unique<TWriteGatheringStream>(*File, writeBlock);
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
    Writer.reset();
    File.reset();
    if (InPlace) return;
    // A read-only file cannot be deleted on Windows.
    if (!DeleteFileAt(TempPath)) {
        SetAttributes(TempPath, faArchive);
        DeleteFileAt(TempPath);
    }
}

bool TPendingFile::Commit(int32_t dateTime, int32_t attributes) {
    Writer->Flush();
    // A failure to set the date or the attributes does not keep the file from being installed.
    SetFileDateTime(*File, dateTime);
    if (InPlace) {
        File->Close();
        return Done = true;
    }
    SetAttributes(*File, attributes);
    const bool moved = MoveOpenFileReplacing(*File, Target);
    // The reason of the failed move, not of the clean-up, is the one the caller reports.
    if (!moved) FailureReason = SystemErrorText();
    // Closed only now: the file is moved while open, which spares opening it again by name.
    File->Close();
    if (!moved) {
        Discard();
        return false;
    }
    Done = true;
    return true;
}
