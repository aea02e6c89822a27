// Expansion of an archive into files: for each member the application's OnCheckFile hook may
// approve, redirect, skip or end; then the space check, directory creation, the codec run with
// checksum and key verification, and the stored date and attributes. Each member is expanded into
// a temporary file beside its target that replaces the target in one step only once it is
// complete (TPendingFile). What survives a failure: files already written stay complete; the
// failing member's target stays exactly as it was (or absent), with its date and attributes.
// A file that cannot be created or replaced goes to OnFileError when it is set (which may have it
// tried again, or keep the complete file for a later replacement); without it,
// ExceptionOnFileError decides between an exception and skipping the member without a word.
#include "compress/Archiver.h"

#include "compress/archive/FileNames.h"
#include "compress/archive/output/BackgroundWriter.h"
#include "compress/archive/output/PendingFile.h"
#include "platform/files/FileSystem.h"
#include "platform/process/Spans.h"

#include <memory>
#include <optional>

namespace {
bool Contains(const TStringList& names, const std::string& name) {
    for (const auto& entry : names)
        if (SameFileName(entry, name)) return true;
    return false;
}

// Whether the bytes at the stream's position, once the header's total size is reached, hold one
// more member that can only be an empty file: a readable header with no data and a usable name.
// Anything else there (padding, an appended block) is not part of the archive. The position is
// left unchanged.
bool TrailingEmptyMember(TArchiver& archiver, TStream& stream) {
    const int64_t start = stream.Position();
    TMemberHeader next;
    std::string name;
    bool empty = false;
    try {
        empty = archiver.ReadMemberHeader(stream, next, name) && next.ExpandedSize == 0 &&
                next.CompressedSize == 0 && !name.empty();
    } catch (const EDamagedArchive&) {
        empty = false;
    }
    stream.Seek(start, TSeekOrigin::Begin);
    return empty;
}
} // namespace

void TArchiver::ExpandMember(TStream& dest, TStream& source, int32_t compressedSize, int32_t expandedSize,
                             uint32_t checksum, uint8_t method, const std::string& methodID, int32_t lock) {
    if (lock > 0 && Key == 0) throw EInvalidKey();
    const int64_t dataEnd = source.Position() + compressedSize;
    uint32_t computed = 0;
    if (method == miCustom) {
        if (OnExpand) OnExpand(dest, source, compressedSize, expandedSize, methodID, computed);
    } else {
        try {
            RunCodec(dest, source, compressedSize, expandedSize, method, computed, pmExpand, lock == 2);
        } catch (const EStreamError&) {
            throw;
        } catch (const Exception&) {
            // A decoder that rejects a locked member's data (a bad LH5 decode table, ...) most
            // likely saw data unscrambled with the wrong key.
            if (lock > 0) throw EInvalidKey();
            throw;
        }
    }
    // The next member header follows this member's data, wherever the codec stopped reading
    // (methods without a codec, a custom member without a handler, a cancelled run).
    if (source.Position() != dataEnd) source.Seek(dataEnd, TSeekOrigin::Begin);

    if (computed == checksum) return;
    if (checksum == 0 && method == miStored) return;
    if (lock <= 0) throw EBadChecksum();
    if (static_cast<uint32_t>(Key) + computed == checksum) return;
    throw EInvalidKey();
}

void TArchiver::ExpandArchive(TStream& stream, TStringList* names) {
    TStringList written;
    std::string methodID;
    TArchiveHeader header = ReadArchiveHeader(stream, methodID);
    int64_t total = 0;
    TMemberHeader member;
    std::string name;
    // One thread for every member's file work (ended, with all of it done, on every way out of
    // here), made at the first file.
    std::optional<TBackgroundWriter> background;
    for (;;) {
        // Once the header's total is reached, whatever follows ends the expansion before it is
        // trusted (bytes after the last member need not be a member header at all); only an empty
        // member cannot overrun the total, so empty files at the end are still written.
        if (total >= header.TotalSize && !TrailingEmptyMember(*this, stream)) break;
        if (!ReadMemberHeader(stream, member, name)) break;
        total += member.ExpandedSize;
        const int64_t dataStart = stream.Position();
        auto skipData = [&] { stream.Seek(dataStart + member.CompressedSize, TSeekOrigin::Begin); };

        if (names && !Contains(*names, name)) {
            skipData();
            continue;
        }
        std::string target = !name.empty() && name[0] == '\\' ? name : FTargetPath + name;
        if (OnCheckFile) {
            OnCheckFile(target, pmExpand);
            if (target.empty()) {
                skipData();
                continue;
            }
            if (target == "*") break;
        }
        // The old file stays until its replacement is complete, so the new one needs all of its
        // size beside it: the space is that of the temporary file, which does not exist yet.
        // (Without the check no name is looked for in advance: the temporary file is created
        // under a name found free by its exclusive creation.)
        std::string pending;
        if (CheckSpaceBeforeExpand) {
            pending = TPendingFile::FreeNameBeside(target);
            if (SpaceForFile(pending) < member.ExpandedSize) throw EInsufficientDiskSpace(target);
        }
        if (MakeDirectories) {
            const TSpan span("make member folder");
            MakeDirectoryPath(FolderOf(target));
        }

        std::optional<TPendingFile> file;
        bool skip = false;
        while (!file && !skip) {
            const bool directory = DirectoryExists(target);
            try {
                if (directory)
                    throw EFCreateError("Cannot create file \"" + target + "\". It is a directory");
                if (!background) background.emplace();
                const TSpan span("create file");
                file.emplace(target, *background, pending, OnFileWritten || OnFileError);
            } catch (const EFCreateError& e) {
                const bool held = !directory && LastErrorIsHeld();
                if (!OnFileError && ExceptionOnFileError) throw;
                TFileError error;
                error.Target = target;
                error.Reason = e.Message;
                error.InUse = held;
                const TFileErrorAction action = OnFileError ? OnFileError(error) : TFileErrorAction::Skip;
                if (action == TFileErrorAction::Retry) continue;
                if (action != TFileErrorAction::Skip) throw;
                skip = true;
            }
        }
        if (skip) {
            skipData();
            continue;
        }
        // Any failure from here on removes the temporary file and leaves the target alone.
        {
            const TSpan span("expand member");
            ExpandMember(file->Stream(), stream, member.CompressedSize, member.ExpandedSize, member.Checksum,
                         member.Method, methodID, member.Lock);
        }
        {
            const TSpan span("complete file");
            file->Complete(member.DateTime, static_cast<uint16_t>(member.Attributes));
        }
        const std::optional<TWrittenDigest> digest = file->Digest();
        bool replaced = [&] {
            const TSpan span("replace file");
            return file->Replace();
        }();
        while (!replaced && OnFileError) {
            TFileError error;
            error.Target = target;
            error.Reason = file->ReplaceError();
            error.InUse = file->ReplaceHeld();
            error.Replacing = true;
            error.Pending = file->Path();
            if (digest) {
                error.Size = digest->Size;
                error.Crc32 = digest->Crc32;
            }
            const TFileErrorAction action = OnFileError(error);
            if (action == TFileErrorAction::Retry) {
                replaced = file->Replace();
                continue;
            }
            if (action == TFileErrorAction::Keep) file->Keep();
            if (action == TFileErrorAction::Raise)
                throw EFCreateError("Cannot create file \"" + target + "\". " + file->ReplaceError());
            break;
        }
        if (!replaced) {
            if (!OnFileError && ExceptionOnFileError)
                throw EFCreateError("Cannot create file \"" + target + "\". " + file->ReplaceError());
            continue;
        }
        if (OnFileWritten) OnFileWritten(target, digest ? digest->Size : -1, digest ? digest->Crc32 : 0);
        written.push_back(target);
    }
    if (names) *names = std::move(written);
}
