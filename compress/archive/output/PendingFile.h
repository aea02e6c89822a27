// A member's file while it is being expanded: a new file beside its target, under a temporary
// name of its own, that replaces the target in one step once it is complete and verified, and is
// removed on every other way out. So a member that fails, for whatever reason, leaves the file
// it would have replaced exactly as it was; a killed process leaves at most a temporary file.
//
// Temporary names are "~qdmx" followed by twelve hexadecimal digits and ".tmp". The digits come
// from a per-process random start and a counter, and the file is created only if no entry of that
// name exists, so two expansions never share one, and a name left behind by a killed run is
// passed over, never reused or taken for a member.
//
// A target that is a device (or a pipe) is written in place: there is no file to keep.
#pragma once

#include "compress/archive/output/BackgroundWriter.h"
#include "platform/FileStream.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The size and CRC-32 of the bytes a member's file received, counted as they were written.
struct TWrittenDigest {
    int64_t Size = 0;
    uint32_t Crc32 = 0;
};

class TPendingFile {
public:
    // A path beside target, in target's folder, under a temporary name that no entry has now.
    static std::string FreeNameBeside(const std::string& target);
    // Whether a file name (without folder) has the shape of a temporary name.
    static bool IsTemporaryName(const std::string& fileName);
    // A new, empty file beside target under a free temporary name; nothing when none can be made.
    static std::unique_ptr<TFileStream> CreateTemporaryBeside(const std::string& target);

    // Creates the temporary file beside target, under firstChoice when that is still free, else
    // under another free name. Raises EFCreateError naming the target when none can be created.
    // digest: count the size and CRC-32 of what is written (Digest()). background: write (and
    // count) on that writer's thread, take the temporary file it made ahead when there is one,
    // have it make the next, and close the file there once it has replaced its target; without
    // one, Stream() gathers the writes into large blocks itself.
    explicit TPendingFile(const std::string& target, const std::string& firstChoice = {}, bool digest = false,
                          TBackgroundWriter* background = nullptr);
    // Removes the temporary file unless it has replaced the target.
    ~TPendingFile();
    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;

    // The stream to write the member to; its writes reach the file in large blocks.
    TStream& Stream() { return BackgroundStream ? static_cast<TStream&>(*BackgroundStream) : *Writer; }
    const std::string& Path() const { return TempPath; }

    // Writes out what Stream() still gathers (raising EStreamError like any write), gives the
    // complete file its last-write time and attributes and moves it over the target. False when
    // the target cannot be replaced: the temporary file is then removed and the target left as it
    // was, and ReplaceError() tells why.
    bool Commit(int32_t dateTime, int32_t attributes);
    const std::string& ReplaceError() const { return FailureReason; }

    // Commit in two steps, for a caller that may try the replacement again or keep the file:
    // Complete writes out what is gathered and sets the date and attributes; Replace moves the
    // file over the target, and when it cannot, leaves the complete file (closed) under its
    // temporary name, with ReplaceError() and ReplaceHeld() telling why. Replace may be called
    // again; the destructor still removes a file that never replaced its target.
    void Complete(int32_t dateTime, int32_t attributes);
    bool Replace();
    // The last failed replacement was refused because another program holds the target.
    bool ReplaceHeld() const { return Held; }
    // Keeps the complete file under its temporary name (for replacement at the next restart):
    // the destructor leaves it. Its path.
    const std::string& Keep();
    // What the file received, when asked for at construction and the writes ran straight through.
    std::optional<TWrittenDigest> Digest() const;

private:
    void Discard();

    std::string Target;
    std::string TempPath;
    std::unique_ptr<TFileStream> File;
    std::unique_ptr<TStream> Counter; // between Writer and File, when digesting
    std::unique_ptr<TWriteGatheringStream> Writer;
    TBackgroundWriter* Background = nullptr;
    std::unique_ptr<TBackgroundWriteStream> BackgroundStream;
    std::string FailureReason;
    bool Done = false;
    bool InPlace = false;
    bool Held = false;
    bool Completed = false;
    bool Tried = false; // a replacement was tried (and the file closed)
};
