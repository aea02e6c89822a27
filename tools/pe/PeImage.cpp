// Checking and extending a PE file. Offsets are added in 64 bits and compared with the file's
// size before anything is read, so no field value can lead a read or write out of the buffer.
#include "tools/pe/PeImage.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t SectionHeaderSize = 40;
constexpr uint32_t MaxSections = 96; // the limit the Windows loader sets

bool IsPowerOfTwo(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}
uint64_t AlignUp(uint64_t value, uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

} // namespace

TPeImage::TPeImage(std::vector<uint8_t> bytes) : FileBytes(std::move(bytes)) {
    const uint64_t size = FileBytes.size();
    const uint8_t* b = FileBytes.data();
    auto need = [&](uint64_t offset, uint64_t count, const char* what) {
        if (offset + count > size) throw EPeFormat(std::string("truncated executable: ") + what + " missing");
    };
    if (size < 2 || b[0] != 'M' || b[1] != 'Z') throw EPeFormat("not an executable (no MZ header)");
    need(0, 0x40, "DOS header");
    const uint32_t pe = Get32(b + 0x3C);
    need(pe, 24, "PE header");
    if (Get32(b + pe) != 0x00004550) throw EPeFormat("not a Windows executable (no PE header)");
    const uint32_t coff = pe + 4;
    const uint32_t sectionCount = Get16(b + coff + 2);
    const uint32_t optionalSize = Get16(b + coff + 16);
    if (sectionCount == 0 || sectionCount > MaxSections) throw EPeFormat("implausible number of sections");
    OptionalHeader = coff + 20;
    need(OptionalHeader, optionalSize, "optional header");
    if (optionalSize < 2) throw EPeFormat("optional header too short");
    const uint16_t magic = Get16(b + OptionalHeader);
    uint32_t directoryStart;
    if (magic == 0x10B)
        directoryStart = 96;
    else if (magic == 0x20B)
        directoryStart = 112;
    else
        throw EPeFormat("unknown optional header kind");
    if (optionalSize < directoryStart) throw EPeFormat("optional header too short");
    DirectoryCount = std::min<uint32_t>(Get32(b + OptionalHeader + directoryStart - 4), 16);
    if (directoryStart + uint64_t{DirectoryCount} * 8 > optionalSize)
        throw EPeFormat("data directories overrun the optional header");
    DirectoryTable = OptionalHeader + directoryStart;

    SectionAlignment = Get32(b + OptionalHeader + 32);
    FileAlignment = Get32(b + OptionalHeader + 36);
    SizeOfHeaders = Get32(b + OptionalHeader + 60);
    if (!IsPowerOfTwo(FileAlignment) || FileAlignment > 0x10000 || !IsPowerOfTwo(SectionAlignment) ||
        SectionAlignment < FileAlignment)
        throw EPeFormat("implausible section or file alignment");
    SectionHeaders = OptionalHeader + optionalSize;
    const uint64_t tableEnd = SectionHeaders + uint64_t{sectionCount} * SectionHeaderSize;
    need(SectionHeaders, tableEnd - SectionHeaders, "section table");
    if (tableEnd > SizeOfHeaders || SizeOfHeaders > size)
        throw EPeFormat("section table outside the headers");

    uint64_t previousEnd = 0;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint8_t* h = b + SectionHeaders + i * SectionHeaderSize;
        TPeSection section;
        section.Name.assign(reinterpret_cast<const char*>(h), strnlen(reinterpret_cast<const char*>(h), 8));
        section.VirtualSize = Get32(h + 8);
        section.VirtualAddress = Get32(h + 12);
        section.SizeOfRawData = Get32(h + 16);
        section.PointerToRawData = Get32(h + 20);
        section.Characteristics = Get32(h + 36);
        if (section.SizeOfRawData != 0) {
            need(section.PointerToRawData, section.SizeOfRawData, "section data");
            if (section.PointerToRawData < SizeOfHeaders)
                throw EPeFormat("section data overlaps the headers");
        }
        const uint64_t span = std::max(section.VirtualSize, section.SizeOfRawData);
        if (section.VirtualAddress < previousEnd || section.VirtualAddress + span > 0xFFFFFFFFu)
            throw EPeFormat("sections overlap or are out of order");
        previousEnd = AlignUp(section.VirtualAddress + span, SectionAlignment);
        SectionTable.push_back(section);
    }
}

TDataDirectory TPeImage::Directory(int index) const {
    if (index < 0 || static_cast<uint32_t>(index) >= DirectoryCount) return {};
    const uint8_t* entry = FileBytes.data() + DirectoryTable + 8 * index;
    return {Get32(entry), Get32(entry + 4)};
}

std::vector<uint8_t> TPeImage::WithoutSignature() const {
    const TDataDirectory certificates = Directory(SecurityDirectory);
    std::vector<uint8_t> out = FileBytes;
    if (certificates.Size != 0) {
        // The table's "address" is a file offset, and it comes last.
        if (uint64_t{certificates.Rva} + certificates.Size != out.size() || certificates.Rva < SectionsEnd())
            throw EPeFormat("the certificate table is not at the end of the file");
        out.resize(certificates.Rva);
        for (int padding = 0; padding < 7 && out.size() > SectionsEnd() && out.back() == 0; ++padding)
            out.pop_back();
    }
    if (SecurityDirectory < static_cast<int>(DirectoryCount)) {
        Put32(out.data() + DirectoryTable + 8 * SecurityDirectory, 0);
        Put32(out.data() + DirectoryTable + 8 * SecurityDirectory + 4, 0);
    }
    Put32(out.data() + OptionalHeader + 64, 0);
    return out;
}

const uint8_t* TPeImage::At(uint32_t rva, uint32_t count) const {
    for (const TPeSection& section : SectionTable) {
        // Bytes past the virtual size are not mapped, bytes past the raw size are not in the file.
        uint32_t available = section.SizeOfRawData;
        if (section.VirtualSize != 0) available = std::min(available, section.VirtualSize);
        if (rva >= section.VirtualAddress &&
            uint64_t{rva} + count <= uint64_t{section.VirtualAddress} + available)
            return FileBytes.data() + section.PointerToRawData + (rva - section.VirtualAddress);
    }
    throw EPeFormat("data outside the sections' file data");
}

uint32_t TPeImage::NextSectionRva() const {
    const TPeSection& last = SectionTable.back();
    const uint64_t rva = AlignUp(
        uint64_t{last.VirtualAddress} + std::max(last.VirtualSize, last.SizeOfRawData), SectionAlignment);
    if (rva > 0x7FFFFFFFu) throw EPeFormat("no address space left for another section");
    return static_cast<uint32_t>(rva);
}

std::vector<uint8_t> TPeImage::WithAppendedSection(const std::string& name, const std::vector<uint8_t>& data,
                                                   uint32_t characteristics, int directory,
                                                   const std::string& retiredName,
                                                   const std::string& retiredAs) const {
    if (directory < 0 || static_cast<uint32_t>(directory) >= DirectoryCount)
        throw EPeFormat("the executable has no such data directory");
    const uint32_t slot = SectionHeaders + static_cast<uint32_t>(SectionTable.size()) * SectionHeaderSize;
    uint64_t firstData = SizeOfHeaders;
    for (const TPeSection& section : SectionTable)
        if (section.SizeOfRawData != 0) firstData = std::min<uint64_t>(firstData, section.PointerToRawData);
    if (SectionTable.size() >= MaxSections || slot + SectionHeaderSize > firstData ||
        !std::all_of(FileBytes.begin() + slot, FileBytes.begin() + slot + SectionHeaderSize,
                     [](uint8_t byte) { return byte == 0; }))
        throw EPeFormat("no room for another section header");

    // The new data goes right after the sections' data; whatever follows them in the file (a
    // symbol table, appended data) moves behind it.
    const uint64_t sectionsEnd = SectionsEnd();
    const uint32_t rva = NextSectionRva();
    const uint64_t rawPointer = AlignUp(sectionsEnd, FileAlignment);
    const uint64_t rawSize = AlignUp(data.size(), FileAlignment);
    const uint64_t imageSize = AlignUp(uint64_t{rva} + data.size(), SectionAlignment);
    if (rawPointer + rawSize + (FileBytes.size() - sectionsEnd) > 0x7FFFFFFFu || imageSize > 0x7FFFFFFFu)
        throw EPeFormat("executable too large");

    std::vector<uint8_t> out(FileBytes.begin(), FileBytes.begin() + static_cast<ptrdiff_t>(sectionsEnd));
    out.resize(static_cast<size_t>(rawPointer), 0);
    out.insert(out.end(), data.begin(), data.end());
    out.resize(static_cast<size_t>(rawPointer + rawSize), 0);
    out.insert(out.end(), FileBytes.begin() + static_cast<ptrdiff_t>(sectionsEnd), FileBytes.end());

    uint8_t* h = out.data() + slot;
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 8), h);
    Put32(h + 8, static_cast<uint32_t>(data.size()));
    Put32(h + 12, rva);
    Put32(h + 16, static_cast<uint32_t>(rawSize));
    Put32(h + 20, static_cast<uint32_t>(rawPointer));
    Put32(h + 36, characteristics);
    for (size_t i = 0; i < SectionTable.size(); ++i) {
        if (SectionTable[i].Name != retiredName) continue;
        uint8_t* old = out.data() + SectionHeaders + i * SectionHeaderSize;
        std::fill_n(old, 8, 0);
        std::copy_n(retiredAs.begin(), std::min<size_t>(retiredAs.size(), 8), old);
    }

    const uint32_t coff = OptionalHeader - 20;
    Put16(out.data() + coff + 2, static_cast<uint16_t>(SectionTable.size() + 1));
    uint8_t* optional = out.data() + OptionalHeader;
    Put32(optional + 8, Get32(optional + 8) + static_cast<uint32_t>(rawSize)); // SizeOfInitializedData
    Put32(optional + 56, static_cast<uint32_t>(imageSize));
    Put32(out.data() + DirectoryTable + 8 * directory, rva);
    Put32(out.data() + DirectoryTable + 8 * directory + 4, static_cast<uint32_t>(data.size()));
    FinishHeaders(out, sectionsEnd, rawPointer + rawSize);
    return out;
}

uint64_t TPeImage::SectionsEnd() const {
    uint64_t end = SizeOfHeaders;
    for (const TPeSection& section : SectionTable)
        if (section.SizeOfRawData != 0)
            end = std::max<uint64_t>(end, uint64_t{section.PointerToRawData} + section.SizeOfRawData);
    return end;
}

void TPeImage::FinishHeaders(std::vector<uint8_t>& out, uint64_t oldEnd, uint64_t newEnd) const {
    uint8_t* symbolTable = out.data() + OptionalHeader - 20 + 8;
    if (Get32(symbolTable) >= oldEnd)
        Put32(symbolTable, static_cast<uint32_t>(Get32(symbolTable) - oldEnd + newEnd));
    Put32(out.data() + OptionalHeader + 64, PeChecksum(out, OptionalHeader + 64));
}

int TPeImage::ReplaceableSection(int directory) const {
    const TDataDirectory target = Directory(directory);
    const int count = static_cast<int>(SectionTable.size());
    int index = 0;
    while (index < count && SectionTable[index].VirtualAddress != target.Rva) ++index;
    if (target.Rva == 0 || index == count || SectionTable[index].SizeOfRawData == 0) return -1;
    const TPeSection& section = SectionTable[index];
    const uint64_t rawEnd = uint64_t{section.PointerToRawData} + section.SizeOfRawData;
    // Behind it only sections that nothing refers to by address once the program runs: discardable
    // ones, such as the base relocations (their directory is updated) and debugging sections.
    for (int i = index + 1; i < count; ++i) {
        const TPeSection& after = SectionTable[i];
        if (!(after.Characteristics & 0x02000000) ||
            (after.SizeOfRawData != 0 && after.PointerToRawData < rawEnd))
            return -1;
    }
    for (int i = 0; i < index; ++i)
        if (SectionTable[i].SizeOfRawData != 0 &&
            uint64_t{SectionTable[i].PointerToRawData} + SectionTable[i].SizeOfRawData >
                section.PointerToRawData)
            return -1;
    for (int d = 0; d < static_cast<int>(DirectoryCount); ++d)
        if (d != directory && d != BaseRelocationDirectory && d != SecurityDirectory &&
            Directory(d).Rva >= section.VirtualAddress)
            return -1;
    const uint32_t symbols = Get32(FileBytes.data() + OptionalHeader - 20 + 8);
    if (symbols != 0 && symbols >= section.PointerToRawData && symbols < SectionsEnd()) return -1;
    return index;
}

std::vector<uint8_t> TPeImage::WithReplacedSection(int index, const std::vector<uint8_t>& data,
                                                   int directory) const {
    if (ReplaceableSection(directory) != index) throw EPeFormat("the section cannot be rebuilt in place");
    const TPeSection& section = SectionTable[index];
    const uint64_t sectionsEnd = SectionsEnd();
    const uint64_t rawSize = AlignUp(data.size(), FileAlignment);
    if (FileBytes.size() + rawSize + FileAlignment * SectionTable.size() > 0x7FFFFFFFu ||
        uint64_t{section.VirtualAddress} + data.size() > 0x7FFFFFFFu)
        throw EPeFormat("executable too large");

    std::vector<uint8_t> out(FileBytes.begin(), FileBytes.begin() + section.PointerToRawData);
    out.insert(out.end(), data.begin(), data.end());
    out.resize(static_cast<size_t>(section.PointerToRawData + rawSize), 0);
    uint8_t* header = out.data() + SectionHeaders + index * SectionHeaderSize;
    Put32(header + 8, static_cast<uint32_t>(data.size()));
    Put32(header + 16, static_cast<uint32_t>(rawSize));

    // The base relocations move to the next free address; their directory moves with them.
    uint64_t nextRva = AlignUp(uint64_t{section.VirtualAddress} + data.size(), SectionAlignment);
    const uint32_t relocationsRva = Directory(BaseRelocationDirectory).Rva;
    for (size_t i = static_cast<size_t>(index) + 1; i < SectionTable.size(); ++i) {
        const TPeSection& after = SectionTable[i];
        out.resize(static_cast<size_t>(AlignUp(out.size(), FileAlignment)), 0);
        uint8_t* afterHeader = out.data() + SectionHeaders + i * SectionHeaderSize;
        Put32(afterHeader + 12, static_cast<uint32_t>(nextRva));
        if (after.SizeOfRawData != 0) {
            Put32(afterHeader + 20, static_cast<uint32_t>(out.size()));
            out.insert(out.end(), FileBytes.begin() + after.PointerToRawData,
                       FileBytes.begin() + after.PointerToRawData + after.SizeOfRawData);
        }
        if (relocationsRva != 0 && relocationsRva == after.VirtualAddress)
            Put32(out.data() + DirectoryTable + 8 * BaseRelocationDirectory, static_cast<uint32_t>(nextRva));
        nextRva = AlignUp(nextRva + std::max(after.VirtualSize, after.SizeOfRawData), SectionAlignment);
    }
    if (nextRva > 0x7FFFFFFFu) throw EPeFormat("executable too large");
    const uint64_t newEnd = out.size();
    out.insert(out.end(), FileBytes.begin() + static_cast<ptrdiff_t>(sectionsEnd), FileBytes.end());

    uint8_t* optional = out.data() + OptionalHeader;
    Put32(optional + 8, static_cast<uint32_t>(Get32(optional + 8) - section.SizeOfRawData + rawSize));
    Put32(optional + 56, static_cast<uint32_t>(nextRva));
    Put32(out.data() + DirectoryTable + 8 * directory + 4, static_cast<uint32_t>(data.size()));
    FinishHeaders(out, sectionsEnd, newEnd);
    return out;
}

uint32_t PeChecksum(const std::vector<uint8_t>& bytes, size_t checksumOffset) {
    // The checksum field counts as zero, wherever it falls within the 16-bit words.
    auto byteAt = [&](size_t i) -> uint32_t {
        if (i >= bytes.size() || (i >= checksumOffset && i < checksumOffset + 4)) return 0;
        return bytes[i];
    };
    uint64_t sum = 0;
    for (size_t i = 0; i < bytes.size(); i += 2) {
        sum += byteAt(i) | byteAt(i + 1) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + bytes.size());
}
