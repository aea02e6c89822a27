#include "setup/integrity/SetupDigests.h"

#include "platform/digest/Crc32.h"
#include "platform/text/NumberText.h"
#include "setup/FormPorts.h"

#include <memory>

namespace {

const char* const Signature = "Parlavox setup digests 1";
// The resources a setup reads; each must be covered when present.
struct TResourceName {
    const char* Type;
    const char* Name;
};
const TResourceName DigestedResources[] = {
    {"PARLAVOX", "SUPPORT"}, {"ARCHIVE", "DICTIONARY"}, {"ARCHIVE", "VELLUMOR"}, {"ARCHIVE", "UNINSTALL"}};
constexpr size_t FieldCount = 4;
constexpr size_t FieldCountWithSha256 = 5;
constexpr size_t Sha256Digits = 64;
constexpr size_t ReadPiece = 256 * 1024;

uint64_t ParseNumber(const std::string& text, int base) {
    if (const std::optional<uint64_t> value = ParsePaddedNumber(text, base)) return *value;
    throw EDigestsFormat("bad number in the digests");
}

// The digest of the resource as the running setup holds it; nothing when it has no such resource.
std::optional<TResourceDigest> DigestOfOwnResource(TModule& module, TArchiver& archiver,
                                                   const std::string& type, const std::string& name) {
    if (type != "ARCHIVE") {
        const std::optional<std::string> bytes = module.LoadResource(type, name);
        if (!bytes) return std::nullopt;
        return DigestOf(type, name, reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
    }
    std::unique_ptr<TStream> stream;
    try {
        stream = module.OpenArchiveResource(archiver, name);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (!stream) return std::nullopt;
    TResourceDigest digest{type, name, 0, 0, {}};
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
    return {type, name, size, UpdateCrc32(0, bytes, size), {}};
}

std::string DigestsText(const std::vector<TResourceDigest>& digests) {
    std::string text = std::string(Signature) + "\r\n";
    for (const TResourceDigest& d : digests)
        text += d.Type + "\t" + d.Name + "\t" + std::to_string(d.Size) + "\t" + ZeroPaddedHex(d.Crc, 8) +
                (d.Sha256.empty() ? "" : "\t" + d.Sha256) + "\r\n";
    return text;
}

std::vector<TResourceDigest> ParseDigests(const std::string& text) {
    std::vector<TResourceDigest> digests;
    const std::string signature = std::string(Signature) + "\r\n";
    if (text.compare(0, signature.size(), signature) != 0) throw EDigestsFormat("not a digests list");
    for (size_t start = signature.size(); start < text.size();) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        // Type, name, size, CRC-32 and, for a file beside the setup, SHA-256, separated by TAB.
        std::string fields[FieldCountWithSha256];
        size_t field = 0;
        for (size_t at = start; at < end; ++at) {
            if (text[at] != '\t')
                fields[field] += text[at];
            else if (++field == FieldCountWithSha256)
                break;
        }
        const bool loose = fields[0] == LooseFileType;
        if (field != (loose ? FieldCountWithSha256 : FieldCount) - 1 || fields[0].empty() ||
            fields[1].empty())
            throw EDigestsFormat("bad line in the digests");
        if (loose && (fields[4].size() != Sha256Digits ||
                      fields[4].find_first_not_of("0123456789abcdef") != std::string::npos))
            throw EDigestsFormat("bad SHA-256 in the digests");
        digests.push_back({fields[0], fields[1], ParseNumber(fields[2], 10),
                           static_cast<uint32_t>(ParseNumber(fields[3], 16)), fields[4]});
        start = end + 2;
    }
    return digests;
}

bool IsDigestedResource(const std::string& type, const std::string& name) {
    for (const auto& resource : DigestedResources)
        if (type == resource.Type && name == resource.Name) return true;
    return type == "ARCHIVE";
}

std::optional<std::vector<TResourceDigest>> LoadSetupDigests(TModule& module) {
    const std::optional<std::string> text = module.LoadResource(DigestsResourceType, DigestsResourceName);
    if (!text) return std::nullopt;
    return ParseDigests(*text);
}

std::optional<std::string> FindSetupDamage(TModule& module, TArchiver& archiver) {
    std::vector<TResourceDigest> expected;
    try {
        const std::optional<std::vector<TResourceDigest>> digests = LoadSetupDigests(module);
        if (!digests) return std::nullopt;
        expected = *digests;
    } catch (const EDigestsFormat& e) {
        return std::string("the digests: ") + e.what();
    }
    for (const TResourceDigest& want : expected) {
        // Files beside the setup are checked when they are opened (LooseArchives.h).
        if (want.Type == LooseFileType) continue;
        const std::optional<TResourceDigest> have =
            DigestOfOwnResource(module, archiver, want.Type, want.Name);
        if (!have || have->Size != want.Size || have->Crc != want.Crc)
            return "resource " + want.Type + "/" + want.Name + (have ? " is damaged" : " is missing");
    }
    // Data the setup reads must not escape the check by losing its line.
    for (const auto& [type, name] : DigestedResources) {
        bool covered = false;
        for (const TResourceDigest& want : expected)
            covered = covered || (want.Type == type && want.Name == name);
        if (!covered && DigestOfOwnResource(module, archiver, type, name))
            return std::string("resource ") + type + "/" + name + " has no digest";
    }
    return std::nullopt;
}
