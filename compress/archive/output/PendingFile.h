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
#include "platform/files/FileStream.h"

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

    // Creates the temporary file beside target, under firstChoice when that is still free, else
    // under another free name. Raises EFCreateError naming the target when none can be created.
    // The writes (and their count, with digest: Digest()) go through background's thread, which
    // also closes the file once it has replaced its target.
    TPendingFile(const std::string& target, TBackgroundWriter& background,
                 const std::string& firstChoice = {}, bool digest = false);
    // Removes the temporary file unless it has replaced the target.
    ~TPendingFile();
    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;

    // The stream to write the member to; its writes reach the file in blocks, on the writer's thread.
    TStream& Stream() { return *Writer; }
    const std::string& Path() const { return TempPath; }

    // Complete waits for what Stream() still holds to be written (raising EStreamError like any
    // write) and sets the date and attributes; Replace moves the file over the target, and when
    // it cannot, leaves the complete file (closed) under its temporary name, with ReplaceError()
    // and ReplaceHeld() telling why. Replace may be called again; the destructor still removes a
    // file that never replaced its target.
    void Complete(int32_t dateTime, int32_t attributes);
    bool Replace();
    // The last failed replacement was refused because another program holds the target.
    bool ReplaceHeld() const { return Held; }
    const std::string& ReplaceError() const { return FailureReason; }
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
    TBackgroundWriter& Background;
    std::unique_ptr<TBackgroundWriteStream> Writer;
    std::string FailureReason;
    bool Done = false;
    bool InPlace = false;
    bool Held = false;
    bool Completed = false;
    bool Tried = false; // a replacement was tried (and the file closed)
};
