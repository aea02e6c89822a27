// TArchiver, the archive component: reads archive and member headers, recognises method
// identifiers and runs a member's bytes through its codec. It owns the one codec state object
// that all of its operations share, so one component runs one operation at a time.
#pragma once

#include "compress/archive/ArchiveFormat.h"
#include "compress/codecs/CodecState.h"
#include "platform/text/TextEncoding.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Approves (unchanged), redirects (another path), skips (empty) or ends ("*") each target file.
using TFilenameCheckEvent = std::function<void(std::string& filepath, TProcessMode mode)>;
// Expands a custom member; must read exactly Sourcesize bytes and set checksum.
using TExpandEvent = std::function<void(TStream& dest, TStream& source, int32_t Sourcesize, int32_t Destsize,
                                        const std::string& CompressID, uint32_t& checksum)>;
// Compresses a custom member and reports identifier, output size and checksum.
using TCompressEvent = std::function<void(TStream& dest, TStream& source, std::string& CompressID,
                                          int32_t& Outputsize, uint32_t& checksum)>;
// Accepts a method identifier outside the method table by setting recognized.
using TRecognizeEvent = std::function<void(const std::string& CompressID, bool& recognized)>;

// A member's file that cannot be created (Replacing false) or, complete beside its target, cannot
// replace it (Replacing true).
struct TFileError {
    std::string Target;
    std::string Reason; // the system's words
    // Another program holds the file (a sharing violation, access denied): it may let go.
    bool InUse = false;
    bool Replacing = false;
    // When replacing: the complete file beside the target, and what it holds (Size -1: not known).
    std::string Pending;
    int64_t Size = -1;
    uint32_t Crc32 = 0;
};
// What becomes of the member: skipped (its file left as it was), tried again, kept complete under
// its temporary name Pending (only when replacing; the caller moves it later), or an EFCreateError.
enum class TFileErrorAction { Skip, Retry, Keep, Raise };
using TFileErrorEvent = std::function<TFileErrorAction(const TFileError& error)>;
// A member's file replaced its target: the size and CRC-32 of the bytes written (size -1 when not
// known).
using TFileWrittenEvent = std::function<void(const std::string& target, int64_t size, uint32_t crc32)>;

// Free space (when checked) is below a member's expanded size.
class EInsufficientDiskSpace : public Exception {
public:
    explicit EInsufficientDiskSpace(const std::string& target)
        : Exception("Not enough disk space to expand " + target) {}
};

// An open member whose computed checksum differs from the stored one.
class EBadChecksum : public Exception {
public:
    EBadChecksum() : Exception("Bad checksum during expansion -- data may be invalid") {}
};

// A locked member met without a key, or with a key that does not open it.
class EInvalidKey : public Exception {
public:
    EInvalidKey() : Exception("File locked -- valid key required") {}
};

// One entry of a directory list: a member name with its directory entry.
struct TDirectoryEntry {
    std::string Name;
    std::unique_ptr<TMemberInfo> Info;
};
using TDirectoryList = std::vector<TDirectoryEntry>;
using TStringList = std::vector<std::string>;

class TArchiver {
public:
    TArchiver();
    virtual ~TArchiver();
    TArchiver(const TArchiver&) = delete;
    TArchiver& operator=(const TArchiver&) = delete;

    // Published properties and events; all but NamesCodePage start with the zero values of their
    // types.
    TCompressEvent OnCompress;
    TExpandEvent OnExpand;
    TFilenameCheckEvent OnCheckFile;
    TRecognizeEvent OnRecognize;
    TShowProgressEvent OnShowProgress;
    // When set, decides about every file error of an expansion in place of ExceptionOnFileError.
    TFileErrorEvent OnFileError;
    // When set, told of every file written, with its digest counted as it was written (counted
    // when either event is set).
    TFileWrittenEvent OnFileWritten;
    bool MakeDirectories = false;
    bool ExceptionOnFileError = false;
    int32_t Key = 0;
    bool CheckSpaceBeforeExpand = false;
    // The Windows code page of member names without the UTF-8 mark: names are read as the
    // original tools wrote them, in the ANSI code page of the machine that expands them, and
    // converted to UTF-8 as they are read.
    unsigned NamesCodePage = AnsiCodePage();

    // Reads and validates the archive header at the stream's position. With fewer than 21 bytes
    // left nothing is read and a default header (TotalSize 0) comes back; methodID is then kept.
    TArchiveHeader ReadArchiveHeader(TStream& stream, std::string& methodID);
    // The method index of an identifier (0..4), asking OnRecognize about unknown ones (then 3).
    uint8_t RecognizeMethod(const std::string& methodID);
    // Reads the next member header and name (as UTF-8); false at the end of the archive.
    bool ReadMemberHeader(TStream& stream, TMemberHeader& header, std::string& name);

    // Runs sourceSize bytes of source through the codec of the method index in the given
    // direction into dest, with progress 0, per input chunk, and 100. Sets checksum to the byte
    // sum of the uncompressed data and returns the number of bytes the codec wrote.
    int64_t RunCodec(TStream& dest, TStream& source, int32_t sourceSize, int32_t destSize, uint8_t method,
                     uint32_t& checksum, TProcessMode mode, bool scramble);

    // Directory under which member names are placed; stored with a trailing backslash unless empty.
    const std::string& TargetPath() const { return FTargetPath; }
    void SetTargetPath(const std::string& path);

    // A new read-only stream over the resource of type "ARCHIVE" with the given name, in the
    // program's own executable or (libraryName not empty) in that library.
    std::unique_ptr<TStream> OpenArchiveResource(const std::string& resourceName,
                                                 const std::string& libraryName);
    // Appends one entry per member of the archive at the stream's position.
    void ReadDirectory(TStream& stream, TDirectoryList& list);
    // Expands the members (only those named in names, when given) into files; names then holds
    // the paths of the written files. Each member replaces its file only once it is complete and
    // verified (TPendingFile): a member that fails leaves the file it would replace as it was.
    void ExpandArchive(TStream& stream, TStringList* names);
    // Frees every entry's directory entry and empties the list.
    void FreeDirectory(TDirectoryList* list);

    // Expands one member whose stored data starts at source's position into dest and verifies
    // its checksum and key lock (EBadChecksum, EInvalidKey). Leaves source at the end of the
    // member's stored data, whatever the codec read.
    void ExpandMember(TStream& dest, TStream& source, int32_t compressedSize, int32_t expandedSize,
                      uint32_t checksum, uint8_t method, const std::string& methodID, int32_t lock);
    // Bytes available for writing target: 2,147,483,647 when CheckSpaceBeforeExpand is false,
    // else the free space of its volume plus the size of an existing file that it replaces.
    // Expansion asks about the member's temporary file, which never exists yet: the old file
    // stays until its replacement is complete, so its size is not free.
    int32_t SpaceForFile(const std::string& target);
    // Free bytes of a drive (0: the current drive, 1: A, 2: B, ...), or -1 when it cannot be asked.
    virtual float DriveFreeSpace(uint8_t drive);
    // Creates the directory and its missing parents; paths shorter than 3 characters (a drive or a
    // root) are never created. Raises EInOutError when a directory cannot be created, and before
    // creating any when more than MaxNewDirectoryLevels of them are missing.
    void MakeDirectoryPath(const std::string& path);
    static constexpr size_t MaxNewDirectoryLevels = 256;
    // The drive number that a path names: the letter before a colon in its second character
    // (A = 1, ...), else 0 for the current drive.
    static uint8_t DriveNumberOf(const std::string& path);

    TCodecState& CodecState() { return *State; }

protected:
    // Free bytes of the volume that will hold target: on Win32 the drive its letter names
    // (DriveFreeSpace), on POSIX the file system of its nearest existing directory.
    virtual float TargetFreeSpace(const std::string& target);

private:
    std::unique_ptr<TCodecState> State;
    std::string FTargetPath;
};
