// A Windows executable (PE32 or PE32+) held in memory. Nothing in the file is trusted: the
// constructor checks the headers, the section table and the data directories against the file's
// size before any of them is used, and every later read goes through At(), which hands out bytes
// only from inside one section's file data. A section followed only by sections that nothing
// refers to by address (base relocations, debugging sections) can be rebuilt where it is, moving
// those; otherwise a new section is appended after the last one, so nothing referred to moves.
#pragma once

#include "platform/Exception.h"

#include <cstdint>
#include <string>
#include <vector>

// An executable that is malformed, or built in a way this reader does not handle.
class EPeFormat : public Exception {
    using Exception::Exception;
};

struct TPeSection {
    std::string Name;
    uint32_t VirtualSize = 0;
    uint32_t VirtualAddress = 0;
    uint32_t SizeOfRawData = 0;
    uint32_t PointerToRawData = 0;
    uint32_t Characteristics = 0;
};

struct TDataDirectory {
    uint32_t Rva = 0;
    uint32_t Size = 0;
};

// Indices into the optional header's data directories.
constexpr int ResourceDirectory = 2;
constexpr int SecurityDirectory = 4;
constexpr int BaseRelocationDirectory = 5;

class TPeImage {
public:
    // Raises EPeFormat when the bytes are not a well-formed executable.
    explicit TPeImage(std::vector<uint8_t> bytes);

    const std::vector<uint8_t>& Bytes() const { return FileBytes; }
    const std::vector<TPeSection>& Sections() const { return SectionTable; }
    // An all-zero entry for directories the image does not have.
    TDataDirectory Directory(int index) const;
    // count bytes starting at rva, from the file data of the one section that holds all of them;
    // raises EPeFormat when no section does.
    const uint8_t* At(uint32_t rva, uint32_t count) const;

    // The index of the section that starts at data directory `directory` when it can be rebuilt in
    // place: only discardable sections (base relocations, debugging sections) follow it, in memory
    // and in the file, and no directory but the relocations' points into them; -1 otherwise.
    int ReplaceableSection(int directory) const;
    // A copy of the file with section `index` (see ReplaceableSection) holding data, the sections
    // after it moved behind it, and data directory `directory` pointing to it.
    std::vector<uint8_t> WithReplacedSection(int index, const std::vector<uint8_t>& data,
                                             int directory) const;

    // The file as it was before an Authenticode signature was added: without the certificate table
    // (which a signature appends at the file's end), its directory entry and the checksum zeroed,
    // and without the zero bytes a signing tool pads the file with up to the table's alignment of
    // eight. Raises EPeFormat when the certificate table is not at the end of the file.
    std::vector<uint8_t> WithoutSignature() const;
    // The address a section appended now would get.
    uint32_t NextSectionRva() const;
    // A copy of the file with data appended as a new section (at NextSectionRva()) that data
    // directory `directory` points to; the sections named `retiredName` are renamed `retiredAs`
    // so that no tool mistakes them for the live one. The checksum is computed afresh. Raises
    // EPeFormat when the header area has no room for another section header.
    std::vector<uint8_t> WithAppendedSection(const std::string& name, const std::vector<uint8_t>& data,
                                             uint32_t characteristics, int directory,
                                             const std::string& retiredName,
                                             const std::string& retiredAs) const;

private:
    // The end of the last section data in the file; a symbol table or appended data may follow.
    uint64_t SectionsEnd() const;
    // Moves the symbol table pointer by the bytes inserted before it and writes the checksum.
    void FinishHeaders(std::vector<uint8_t>& out, uint64_t oldEnd, uint64_t newEnd) const;

    std::vector<uint8_t> FileBytes;
    std::vector<TPeSection> SectionTable;
    uint32_t OptionalHeader = 0; // file offset of the optional header
    uint32_t DirectoryTable = 0; // file offset of the first data directory
    uint32_t DirectoryCount = 0; // data directories present (at most 16)
    uint32_t SectionHeaders = 0; // file offset of the section table
    uint32_t SectionAlignment = 0;
    uint32_t FileAlignment = 0;
    uint32_t SizeOfHeaders = 0;
};

// The checksum the optional header carries: 16-bit words summed with end-around carry, the
// checksum field itself counted as zero, plus the file's length.
uint32_t PeChecksum(const std::vector<uint8_t>& bytes, size_t checksumOffset);
