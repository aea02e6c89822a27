// The resources of an executable as a flat list (type, name, language, data), read from the
// resource directory of a TPeImage and laid out again as the contents of a resource section.
// Reading follows the three levels that every executable's resources have and never more, counts
// the entries it visits and the data it copies, so a directory that points back into itself or
// at the same data over and over ends with EPeFormat instead of a hang or a flood of memory.
#pragma once

#include "tools/pe/PeImage.h"

#include <cstdint>
#include <string>
#include <vector>

// A resource type or name: a string (held as the UTF-16 units the file stores) or a number.
struct TResourceId {
    std::u16string Name; // not empty for a named id
    uint16_t Id = 0;

    // The id of an ASCII name, upper-cased as resource compilers and FindResource store names.
    static TResourceId Named(const std::string& name);
    static TResourceId Numbered(uint16_t id) { return {{}, id}; }
    bool operator==(const TResourceId&) const = default;
};

// Standard resource types.
constexpr uint16_t RtIcon = 3;
constexpr uint16_t RtGroupIcon = 14;
constexpr uint16_t RtVersion = 16;

struct TResource {
    TResourceId Type;
    TResourceId Name;
    uint16_t Language = 0;
    uint32_t CodePage = 0;
    std::vector<uint8_t> Data;
};

// Every resource of the image, in directory order; empty when the image has no resources.
std::vector<TResource> ReadResources(const TPeImage& image);
// The bytes of a resource section at sectionRva that holds the resources: the directory tree
// with its entries in the order the loader's binary search expects (names before numbers, names
// by their upper-cased units), the names, the data entries and the data, each 8-byte aligned.
std::vector<uint8_t> BuildResourceSection(std::vector<TResource> resources, uint32_t sectionRva);
