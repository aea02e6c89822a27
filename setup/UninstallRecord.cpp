// Writing and reading the uninstall record, merging an earlier one, and file digests.
#include "setup/UninstallRecord.h"

#include "platform/text/NumberText.h"
#include "setup/FormPorts.h"
#include "setup/InstalledPaths.h"
#include "setup/PathText.h"

#include <algorithm>
#include <iterator>

namespace {

const char* const Signature = "Parlavox uninstall record 1";

const char* PartText(TRecordPart part) {
    return part == TRecordPart::Vellumor ? "vellumor" : "dictionary";
}

TRecordPart ParsePart(const std::string& text) {
    if (text == "dictionary") return TRecordPart::Dictionary;
    if (text == "vellumor") return TRecordPart::Vellumor;
    throw ERecordError("Unknown part in uninstall record: " + text);
}

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

uint64_t ParseNumber(const std::string& text, int base) {
    if (const std::optional<uint64_t> value = ParsePaddedNumber(text, base)) return *value;
    throw ERecordError("Bad number in uninstall record: " + text);
}

// The record's lines that hold one value, in the order they are written; an optional one is left
// out when empty.
struct TValueLine {
    const char* Kind;
    std::string TUninstallRecord::*Field;
    bool Optional;
};
const TValueLine ValueLines[] = {{"key", &TUninstallRecord::KeyName, false},
                                 {"name", &TUninstallRecord::DisplayName, false},
                                 {"dictionary", &TUninstallRecord::DictionaryDirectory, false},
                                 {"vellumor", &TUninstallRecord::VellumorDirectory, false},
                                 {"group", &TUninstallRecord::ProgramGroup, true}};

// Entries of earlier whose path (pathOf) none of mine has, appended to mine.
template <typename TEntry, typename TPathOf>
void AppendMissing(std::vector<TEntry>& mine, const std::vector<TEntry>& earlier, TPathOf pathOf) {
    for (const TEntry& entry : earlier) {
        bool present = false;
        for (const TEntry& have : mine)
            present =
                present || SameText(pathOf(have), pathOf(entry)) || IsSamePath(pathOf(have), pathOf(entry));
        if (!present) mine.push_back(entry);
    }
}

} // namespace

std::string TUninstallRecord::Text() const {
    std::string text = std::string(Signature) + "\r\n";
    auto line = [&text](std::initializer_list<std::string> fields) {
        bool first = true;
        for (const std::string& field : fields) {
            if (!first) text += '\t';
            text += field;
            first = false;
        }
        text += "\r\n";
    };
    for (const TValueLine& value : ValueLines)
        if (!value.Optional || !(this->*value.Field).empty()) line({value.Kind, this->*value.Field});
    for (const TRecordedFile& file : Files) {
        line({"file", PartText(file.Part), std::to_string(file.Size), ZeroPaddedHex(file.Checksum, 8),
              file.Path});
    }
    for (const TRecordedFolder& folder : Folders) line({"folder", PartText(folder.Part), folder.Path});
    for (const std::string& shortcut : Shortcuts) line({"shortcut", shortcut});
    for (const TRecordedValue& value : Values) line({"value", value.Key, value.Name, value.Data});
    return text;
}

TUninstallRecord TUninstallRecord::Parse(const std::string& text) {
    TUninstallRecord record;
    size_t start = 0;
    bool signed_ = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!signed_) {
            if (line != Signature) throw ERecordError("Not an uninstall record");
            signed_ = true;
            continue;
        }
        if (line.empty()) continue;
        const std::vector<std::string> f = SplitFields(line);
        const std::string& kind = f[0];
        auto need = [&](size_t count) {
            if (f.size() != count) throw ERecordError("Bad line in uninstall record: " + line);
        };
        const auto value = std::find_if(std::begin(ValueLines), std::end(ValueLines),
                                        [&](const TValueLine& v) { return kind == v.Kind; });
        if (value != std::end(ValueLines)) {
            need(2);
            record.*(value->Field) = f[1];
        } else if (kind == "file") {
            need(5);
            record.Files.push_back({ParsePart(f[1]), f[4], static_cast<int64_t>(ParseNumber(f[2], 10)),
                                    static_cast<uint32_t>(ParseNumber(f[3], 16))});
        } else if (kind == "folder") {
            need(3);
            record.Folders.push_back({ParsePart(f[1]), f[2]});
        } else if (kind == "shortcut") {
            need(2);
            record.Shortcuts.push_back(f[1]);
        } else if (kind == "value") {
            need(4);
            record.Values.push_back({f[1], f[2], f[3]});
        } else {
            throw ERecordError("Bad line in uninstall record: " + line);
        }
    }
    if (!signed_ || record.KeyName.empty() || record.DictionaryDirectory.empty())
        throw ERecordError("Not an uninstall record");
    return record;
}

void TUninstallRecord::Merge(const TUninstallRecord& earlier) {
    AppendMissing(Files, earlier.Files,
                  [](const TRecordedFile& file) -> const std::string& { return file.Path; });
    AppendMissing(Folders, earlier.Folders,
                  [](const TRecordedFolder& folder) -> const std::string& { return folder.Path; });
    AppendMissing(Shortcuts, earlier.Shortcuts,
                  [](const std::string& shortcut) -> const std::string& { return shortcut; });
    if (ProgramGroup.empty()) ProgramGroup = earlier.ProgramGroup;
}

std::string DigestText(const TFileDigest& digest) {
    return std::to_string(digest.Size) + " " + ZeroPaddedHex(digest.Checksum, 8);
}

std::optional<TFileDigest> ParseDigestText(const std::string& text) {
    const size_t blank = text.find(' ');
    if (blank == std::string::npos) return std::nullopt;
    try {
        return TFileDigest{static_cast<int64_t>(ParseNumber(text.substr(0, blank), 10)),
                           static_cast<uint32_t>(ParseNumber(text.substr(blank + 1), 16))};
    } catch (const ERecordError&) {
        return std::nullopt;
    }
}

TFileDigest DigestStream(TStream& stream, std::vector<uint8_t>& buffer) {
    TFileDigest digest;
    if (buffer.size() < 256 * 1024) buffer.resize(256 * 1024);
    for (;;) {
        const int32_t n = stream.Read(buffer.data(), static_cast<int32_t>(buffer.size()));
        if (n <= 0) break;
        digest.Size += n;
        digest.Checksum = UpdateCrc32(digest.Checksum, buffer.data(), static_cast<size_t>(n));
    }
    return digest;
}

std::optional<TFileDigest> DigestFile(TUninstallFiles& files, const std::string& path,
                                      std::vector<uint8_t>& buffer) {
    try {
        std::unique_ptr<TStream> stream = files.OpenFileRead(path);
        return DigestStream(*stream, buffer);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
