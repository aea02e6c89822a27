#include "setup/integrity/SetupDigests.h"

#include "platform/Crc32.h"
#include "platform/NumberText.h"
#include "setup/FormPorts.h"

#include <memory>

namespace {

const char* const Signature = "Parlavox setup digests 1";
// The resources a setup reads; each must be covered when present.
const char* const DigestedResources[][2] = {
    {"PARLAVOX", "SUPPORT"}, {"ARCHIVE", "DICTIONARY"}, {"ARCHIVE", "VELLUMOR"}, {"ARCHIVE", "UNINSTALL"}};
constexpr size_t FieldCount = 4;
constexpr size_t ReadPiece = 256 * 1024;

uint64_t ParseNumber(const std::string& text, int base) {
    if (text.empty() || text.size() > 16) throw EDigestsFormat("bad number in the digests: " + text);
    uint64_t value = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0 || digit >= base) throw EDigestsFormat("bad number in the digests: " + text);
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    return value;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

// The digest of the resource as the running setup holds it; nothing when it has no such resource.
std::optional<TResourceDigest> DigestOfOwnResource(TDesktop& desktop, TArchiver& archiver,
                                                   const std::string& type, const std::string& name) {
    if (type != "ARCHIVE") {
        const std::optional<std::string> bytes = desktop.LoadResource(type, name);
        if (!bytes) return std::nullopt;
        return DigestOf(type, name, reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
    }
    std::unique_ptr<TStream> stream;
    try {
        stream = desktop.OpenArchiveResource(archiver, name);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (!stream) return std::nullopt;
    TResourceDigest digest{type, name};
    std::vector<uint8_t> buffer(ReadPiece);
    for (int32_t n; (n = stream->Read(buffer.data(), static_cast<int32_t>(buffer.size()))) > 0;) {
        digest.Size += static_cast<uint64_t>(n);
        digest.Crc = UpdateCrc32(digest.Crc, buffer.data(), static_cast<size_t>(n));
    }
    return digest;
}

} // namespace

TResourceDigest DigestOf(const std::string& type, const std::string& name, const uint8_t* bytes,
                         size_t size) {
    return {type, name, size, UpdateCrc32(0, bytes, size)};
}

std::string DigestsText(const std::vector<TResourceDigest>& digests) {
    std::string text = std::string(Signature) + "\r\n";
    for (const TResourceDigest& d : digests)
        text +=
            d.Type + "\t" + d.Name + "\t" + std::to_string(d.Size) + "\t" + ZeroPaddedHex(d.Crc, 8) + "\r\n";
    return text;
}

std::vector<TResourceDigest> ParseDigests(const std::string& text) {
    std::vector<TResourceDigest> digests;
    bool signedText = false;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!signedText) {
            if (line != Signature) throw EDigestsFormat("not a digests list");
            signedText = true;
            continue;
        }
        if (line.empty()) continue;
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() != FieldCount || f[0].empty() || f[1].empty())
            throw EDigestsFormat("bad line in the digests: " + line);
        digests.push_back({f[0], f[1], ParseNumber(f[2], 10), static_cast<uint32_t>(ParseNumber(f[3], 16))});
    }
    if (!signedText) throw EDigestsFormat("not a digests list");
    return digests;
}

bool IsDigestedResource(const std::string& type, const std::string& name) {
    for (const auto& resource : DigestedResources)
        if (type == resource[0] && name == resource[1]) return true;
    return type == "ARCHIVE";
}

std::optional<std::string> FindSetupDamage(TDesktop& desktop, TArchiver& archiver) {
    const std::optional<std::string> text = desktop.LoadResource(DigestsResourceType, DigestsResourceName);
    if (!text) return std::nullopt;
    std::vector<TResourceDigest> expected;
    try {
        expected = ParseDigests(*text);
    } catch (const EDigestsFormat& e) {
        return std::string("the setup's digests are damaged: ") + e.what();
    }
    for (const TResourceDigest& want : expected) {
        const std::optional<TResourceDigest> have =
            DigestOfOwnResource(desktop, archiver, want.Type, want.Name);
        if (!have) return "resource " + want.Type + "/" + want.Name + " is missing";
        if (have->Size != want.Size || have->Crc != want.Crc)
            return "resource " + want.Type + "/" + want.Name + " is damaged (" + std::to_string(have->Size) +
                   " bytes, CRC-32 " + ZeroPaddedHex(have->Crc, 8) + "; expected " +
                   std::to_string(want.Size) + " bytes, CRC-32 " + ZeroPaddedHex(want.Crc, 8) + ")";
    }
    // Data the setup reads must not escape the check by losing its line.
    for (const auto& resource : DigestedResources) {
        bool covered = false;
        for (const TResourceDigest& want : expected)
            covered = covered || (want.Type == resource[0] && want.Name == resource[1]);
        if (!covered && DigestOfOwnResource(desktop, archiver, resource[0], resource[1]))
            return std::string("resource ") + resource[0] + "/" + resource[1] + " has no digest";
    }
    return std::nullopt;
}
