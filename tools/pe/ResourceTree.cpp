// Reading and laying out resource directories. A directory is 16 bytes (the entry counts at 12
// and 14) followed by 8-byte entries: an id or, with the high bit set, the offset of a counted
// UTF-16 name; and the offset of a subdirectory (high bit set) or of a 16-byte data entry that
// holds the data's address (an RVA), its size and code page. Offsets are relative to the start
// of the resource directory, data addresses to the image.
#include "tools/pe/ResourceTree.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <map>

namespace {

constexpr uint32_t HighBit = 0x80000000u;
constexpr uint32_t DirectorySize = 16;
constexpr uint32_t EntrySize = 8;
constexpr uint32_t DataEntrySize = 16;
constexpr uint32_t EntryBudget = 65536;

class TResourceReader {
public:
    explicit TResourceReader(const TPeImage& image)
        : Image(image), Base(image.Directory(ResourceDirectory).Rva), DataBudget(image.Bytes().size()) {}

    std::vector<TResource> Read() {
        TResource path;
        ReadDirectory(0, 0, path);
        return std::move(Found);
    }

private:
    const uint8_t* At(uint32_t offset, uint32_t count) const {
        if (offset >= HighBit) throw EPeFormat("resource offset out of range");
        return Image.At(Base + offset, count);
    }

    TResourceId ReadId(uint32_t field) const {
        if (!(field & HighBit)) {
            if (field > 0xFFFF) throw EPeFormat("resource id out of range");
            return TResourceId::Numbered(static_cast<uint16_t>(field));
        }
        const uint32_t offset = field & ~HighBit;
        const uint16_t length = Get16(At(offset, 2));
        const uint8_t* units = At(offset + 2, 2u * length);
        TResourceId id;
        for (uint16_t i = 0; i < length; ++i) id.Name.push_back(static_cast<char16_t>(Get16(units + 2 * i)));
        if (id.Name.empty()) throw EPeFormat("empty resource name");
        return id;
    }

    // level 0: types, 1: names, 2: languages, whose entries point at data.
    void ReadDirectory(uint32_t offset, int level, TResource& path) {
        const uint8_t* header = At(offset, DirectorySize);
        const uint32_t count = uint32_t{Get16(header + 12)} + Get16(header + 14);
        if (count > EntryBudget - Visited) throw EPeFormat("too many resource entries");
        Visited += count;
        const uint8_t* entries = At(offset + DirectorySize, count * EntrySize);
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t idField = Get32(entries + i * EntrySize);
            const uint32_t target = Get32(entries + i * EntrySize + 4);
            const bool isDirectory = (target & HighBit) != 0;
            if (isDirectory != (level < 2)) throw EPeFormat("resource directory is not three levels deep");
            if (level == 0) path.Type = ReadId(idField);
            if (level == 1) path.Name = ReadId(idField);
            if (level < 2) {
                ReadDirectory(target & ~HighBit, level + 1, path);
                continue;
            }
            if (idField > 0xFFFF) throw EPeFormat("resource language out of range");
            path.Language = static_cast<uint16_t>(idField);
            const uint8_t* data = At(target, DataEntrySize);
            const uint32_t size = Get32(data + 4);
            if (size > DataBudget) throw EPeFormat("resource data larger than the executable");
            DataBudget -= size;
            const uint8_t* bytes = Image.At(Get32(data), size);
            path.CodePage = Get32(data + 8);
            path.Data.assign(bytes, bytes + size);
            Found.push_back(path);
        }
    }

    const TPeImage& Image;
    uint32_t Base;
    uint64_t DataBudget;
    uint32_t Visited = 0;
    std::vector<TResource> Found;
};

// The loader searches names by binary search over their upper-cased units; numbers follow names.
struct TIdOrder {
    bool operator()(const TResourceId& a, const TResourceId& b) const {
        if (a.Name.empty() != b.Name.empty()) return !a.Name.empty();
        if (a.Name.empty()) return a.Id < b.Id;
        return std::lexicographical_compare(a.Name.begin(), a.Name.end(), b.Name.begin(), b.Name.end(),
                                            [](char16_t x, char16_t y) { return Upper(x) < Upper(y); });
    }
    static char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }
};

uint32_t Align(uint32_t value, uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

} // namespace

TResourceId TResourceId::Named(const std::string& name) {
    TResourceId id;
    for (char c : name) id.Name.push_back(TIdOrder::Upper(static_cast<unsigned char>(c)));
    return id;
}

std::vector<TResource> ReadResources(const TPeImage& image) {
    if (image.Directory(ResourceDirectory).Rva == 0) return {};
    return TResourceReader(image).Read();
}

std::vector<uint8_t> BuildResourceSection(std::vector<TResource> resources, uint32_t sectionRva) {
    using TLanguages = std::map<uint16_t, const TResource*>;
    using TNames = std::map<TResourceId, TLanguages, TIdOrder>;
    std::map<TResourceId, TNames, TIdOrder> tree;
    for (const TResource& resource : resources) {
        const TResource*& slot = tree[resource.Type][resource.Name][resource.Language];
        if (slot) throw EPeFormat("the same resource twice");
        slot = &resource;
    }

    // Sizes first: all directories, then the data entries, the names, and the data.
    uint32_t directories = DirectorySize + EntrySize * static_cast<uint32_t>(tree.size());
    uint32_t leaves = 0;
    for (const auto& [type, names] : tree) {
        directories += DirectorySize + EntrySize * static_cast<uint32_t>(names.size());
        for (const auto& [name, languages] : names) {
            directories += DirectorySize + EntrySize * static_cast<uint32_t>(languages.size());
            leaves += static_cast<uint32_t>(languages.size());
        }
    }
    uint32_t namesAt = directories + DataEntrySize * leaves;
    uint32_t dataAt = namesAt;
    std::map<std::u16string, uint32_t> nameOffsets;
    for (const auto& [type, names] : tree) {
        if (!type.Name.empty()) nameOffsets.emplace(type.Name, 0);
        for (const auto& [name, languages] : names)
            if (!name.Name.empty()) nameOffsets.emplace(name.Name, 0);
    }
    for (auto& [text, offset] : nameOffsets) {
        offset = dataAt;
        dataAt += 2 + 2 * static_cast<uint32_t>(text.size());
    }
    dataAt = Align(dataAt, 8);
    uint64_t total = dataAt;
    // Each blob starts 8-byte aligned, so padding it to a multiple of 8 bounds the space it takes
    // whatever the order the tree lays the blobs out in.
    for (const TResource& resource : resources) total += (resource.Data.size() + 7) / 8 * 8;
    if (total > 0x7FFFFFFFu) throw EPeFormat("resources too large");
    std::vector<uint8_t> out(static_cast<size_t>(total), 0);

    for (const auto& [text, offset] : nameOffsets) {
        Put16(out.data() + offset, static_cast<uint16_t>(text.size()));
        for (size_t i = 0; i < text.size(); ++i) Put16(out.data() + offset + 2 + 2 * i, text[i]);
    }
    uint32_t nextDirectory = 0;
    uint32_t nextLeaf = directories;
    uint32_t nextData = dataAt;
    // Writes a directory header and returns the offset of its first entry.
    auto directory = [&](const auto& entries) {
        const uint32_t at = nextDirectory;
        uint16_t named = 0;
        for (const auto& entry : entries) named += !entry.first.Name.empty();
        Put16(out.data() + at + 12, named);
        Put16(out.data() + at + 14, static_cast<uint16_t>(entries.size() - named));
        nextDirectory += DirectorySize + EntrySize * static_cast<uint32_t>(entries.size());
        return at + DirectorySize;
    };
    auto idField = [&](const TResourceId& id) {
        return id.Name.empty() ? id.Id : HighBit | nameOffsets[id.Name];
    };

    uint32_t typeEntry = directory(tree);
    for (const auto& [type, names] : tree) {
        Put32(out.data() + typeEntry, idField(type));
        Put32(out.data() + typeEntry + 4, HighBit | nextDirectory);
        typeEntry += EntrySize;
        uint32_t nameEntry = directory(names);
        for (const auto& [name, languages] : names) {
            Put32(out.data() + nameEntry, idField(name));
            Put32(out.data() + nameEntry + 4, HighBit | nextDirectory);
            nameEntry += EntrySize;
            const uint32_t at = nextDirectory;
            Put16(out.data() + at + 14, static_cast<uint16_t>(languages.size()));
            nextDirectory += DirectorySize + EntrySize * static_cast<uint32_t>(languages.size());
            uint32_t languageEntry = at + DirectorySize;
            for (const auto& [language, resource] : languages) {
                Put32(out.data() + languageEntry, language);
                Put32(out.data() + languageEntry + 4, nextLeaf);
                languageEntry += EntrySize;
                nextData = Align(nextData, 8);
                Put32(out.data() + nextLeaf, sectionRva + nextData);
                Put32(out.data() + nextLeaf + 4, static_cast<uint32_t>(resource->Data.size()));
                Put32(out.data() + nextLeaf + 8, resource->CodePage);
                nextLeaf += DataEntrySize;
                std::copy(resource->Data.begin(), resource->Data.end(), out.begin() + nextData);
                nextData += static_cast<uint32_t>(resource->Data.size());
            }
        }
    }
    return out;
}
