// The record of what one installation of a dictionary wrote, kept beside its uninstaller as
// "uninstall.dat": the files with their size and checksum as installed, the folders it created,
// the shortcuts and the registry values. Each file and folder belongs to the dictionary's part or
// to Vellumor's part; Vellumor's part is shared by every dictionary installed over it and goes
// only with the last of them. The text is one entry per line, fields separated by TAB.
#pragma once

#include "platform/Exception.h"
#include "platform/digest/Crc32.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TUninstallFiles;
class TStream;

// The record cannot be read or makes no sense.
class ERecordError : public Exception {
    using Exception::Exception;
};

enum class TRecordPart { Dictionary, Vellumor };

struct TRecordedFile {
    TRecordPart Part;
    std::string Path;
    int64_t Size = 0;
    uint32_t Checksum = 0; // CRC-32 of the contents
};

struct TRecordedFolder {
    TRecordPart Part;
    std::string Path;
};

struct TRecordedValue {
    std::string Key, Name, Data; // below HKEY_LOCAL_MACHINE
};

struct TUninstallRecord {
    std::string KeyName;     // the installation's key below the Uninstall key
    std::string DisplayName; // as Apps & Features shows it
    std::string DictionaryDirectory;
    std::string VellumorDirectory;
    std::string ProgramGroup; // empty when no group was made
    std::vector<TRecordedFile> Files;
    std::vector<TRecordedFolder> Folders;
    std::vector<std::string> Shortcuts;
    std::vector<TRecordedValue> Values;

    std::string Text() const;
    // Raises ERecordError when the text is not a record.
    static TUninstallRecord Parse(const std::string& text);
    // Takes over the entries of an earlier installation into the same place that this one did not
    // write again (files it kept, folders that existed by then), so that they still go on uninstall.
    void Merge(const TUninstallRecord& earlier);
};

// Size and CRC-32 of a file read through the desktop's files; nothing when it cannot be read.
struct TFileDigest {
    int64_t Size = 0;
    uint32_t Checksum = 0;
};
// buffer: where the file is read, kept by the caller for the next file (a fresh 256 KB for every
// file cost more than reading it); made large enough here.
// The size and CRC-32 of what is left to read in stream (buffer: room to read in, grown as needed).
TFileDigest DigestStream(TStream& stream, std::vector<uint8_t>& buffer);
std::optional<TFileDigest> DigestFile(TUninstallFiles& files, const std::string& path,
                                      std::vector<uint8_t>& buffer);
// A digest as "SIZE CRC" (decimal, eight hexadecimal digits), the way the record writes them, and
// back; nothing when the text is not one.
std::string DigestText(const TFileDigest& digest);
std::optional<TFileDigest> ParseDigestText(const std::string& text);

// Each installation's key for Apps & Features is this + its KeyName, below HKEY_LOCAL_MACHINE.
inline const char* const UninstallKeyRoot = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// Values of that key besides Windows' own: the outermost folder above the dictionary's and above
// Vellumor's folder that the installation created (absent when it created none), so that its
// uninstall knows which folders above its own it may remove.
inline const char* const CreatedAboveDictionaryValue = "CreatedAboveDictionary";
inline const char* const CreatedAboveVellumorValue = "CreatedAboveVellumor";

// Where the installation records Vellumor's directory, and the set of dictionaries that use it:
// one value per dictionary, named by its Uninstall key, holding its Vellumor directory.
inline const char* const VellumorRegistryKey = "Software\\Parlavox\\Vellumor\\4.0";
inline const char* const VellumorRegistryValue = "RootDir";
inline const char* const VellumorUsersKey = "Software\\Parlavox\\Vellumor\\4.0\\Dictionaries";
// Folders that an installation created and its uninstall could not remove while other
// dictionaries still used them; the next uninstall tries them again.
inline const char* const LeftFoldersKey = "Software\\Parlavox\\Vellumor\\4.0\\Folders";
// The same for the files an installation wrote into a Vellumor folder that other dictionaries
// still used (name: the file's path, data: its size and CRC-32 as the record has them), so that the
// last uninstall of that folder removes them even when its own Vellumor archive did not have them.
inline const char* const LeftFilesKey = "Software\\Parlavox\\Vellumor\\4.0\\Files";

// The file names beside the uninstaller.
inline const char* const UninstallerName = "uninstall.exe";
inline const char* const RecordName = "uninstall.dat";
