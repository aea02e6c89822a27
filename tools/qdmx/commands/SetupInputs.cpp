// Record and folder checks of make-setup. The record is decoded, split and its date converted by
// the wizard's own code, so whatever passes here is what the wizard shows.
#include "tools/qdmx/commands/SetupInputs.h"

#include "compress/Archiver.h"
#include "compress/archive/MemberNameRules.h"
#include "compress/dense/DenseMethod.h"
#include "platform/Exception.h"
#include "platform/files/FileStream.h"
#include "platform/text/AsciiCase.h"
#include "platform/text/TextEncoding.h"
#include "setup/record/DateTimeText.h"
#include "setup/record/KoParser.h"
#include "setup/record/RecordText.h"
#include "tools/qdmx/CommandSupport.h"
#include "tools/qdmx/Utf8Path.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace qdmx {
namespace {

const char* const RecordFormat = "one line of five TAB-separated fields: reserved, dictionary name, "
                                 "description, author, creation date";

bool IsProjectFile(const fs::path& path) {
    std::string extension = Utf8OfPath(path.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(), ToLowerAscii);
    return extension == ".vlp";
}

bool HasProjectSection(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        line.erase(std::remove_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == ' '; }),
                   line.end());
        std::transform(line.begin(), line.end(), line.begin(), ToLowerAscii);
        if (line == "[project]") return true;
    }
    return false;
}

} // namespace

std::string CheckedSupportRecord(const std::string& path, unsigned ansiCodePage) {
    auto stream = TFileStream::OpenRead(path);
    if (stream->Size() > 65536)
        throw Exception(path + ": too long for a support record (" + RecordFormat + ")");
    std::vector<uint8_t> bytes = ReadAll(*stream);
    std::string given(bytes.begin(), bytes.end());
    if (given.starts_with("\xFF\xFE") || given.starts_with("\xFE\xFF"))
        throw Exception(path + ": the support record is saved as UTF-16; save it as UTF-8 (or ANSI)");
    if (given.ends_with("\r\n"))
        given.resize(given.size() - 2);
    else if (given.ends_with("\n"))
        given.pop_back();
    if (given.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        throw Exception(path + ": the support record must be " + RecordFormat +
                        " (it has a line break or NUL byte inside)");
    if (RecordEncodingOf(given) == TRecordEncoding::Utf8WithMark && !IsValidUtf8(given))
        throw Exception(path + ": the support record starts with the UTF-8 byte-order mark but is not UTF-8");
    // Stored as UTF-8 without a mark: read on the publisher's machine, in the code page it was
    // written in, rather than on each user's, whose code page may be another.
    const std::string record = RecordTextToUtf8(given, ansiCodePage);

    TKoAnsiParser parser(record, '\t');
    parser.NextString();
    const std::string name = parser.NextString();
    parser.NextString();
    parser.NextString();
    const auto fields = std::count(record.begin(), record.end(), '\t') + 1;
    if (fields < 5)
        throw Exception(path + ": the support record must be " + RecordFormat + " (it has " +
                        std::to_string(fields) + (fields == 1 ? " field)" : " fields)"));
    if (name.empty() || name.find_first_of("\\/:*?\"<>|") != std::string::npos || name == "." || name == "..")
        throw Exception(path + ": the dictionary name (field 2) \"" + name +
                        "\" cannot be a folder name (empty, or has one of \\ / : * ? \" < > |)");
    TKoAnsiParser dateField = parser;
    const std::string dateText = dateField.NextString();
    try {
        DecodeDateTime(parser.NextFloat());
    } catch (const EConvertError&) {
        throw Exception(path + ": the creation date (field 5) \"" + dateText +
                        "\" is not a date: write the days since 30 December 1899 with a point, "
                        "such as 36211.466317 for 20 February 1999, 11:11:29");
    }
    return record;
}

void CheckVellumorArchive(const std::string& path, const char* option) {
    TDirectoryList members;
    try {
        auto archive = OpenArchiveFile(path);
        TArchiver archiver;
        TDenseExpander dense(archiver);
        archiver.ReadDirectory(*archive, members);
    } catch (const Exception& e) {
        throw Exception(std::string(option) + " " + path + ": not an archive the setup can expand (" +
                        e.Message + ")");
    }
    for (const TDirectoryEntry& member : members) {
        if (IsEscapingMemberName(member.Name, TNameRules::Windows))
            throw Exception(std::string(option) + " " + path + ": the member name \"" + member.Name +
                            "\" would be written outside the Vellumor folder");
        if (IsProjectFile(PathOfUtf8(member.Name)))
            throw Exception(std::string(option) + " " + path +
                            ": must not hold a project file (*.vlp), found " + member.Name);
    }
}

void CheckPayloadFolder(const std::string& path, const char* option, int projectFiles) {
    std::error_code error;
    const fs::path folder = PathOfUtf8(path);
    if (!fs::is_directory(folder, error))
        throw Exception(std::string(option) + " " + path + ": not a folder");
    std::vector<fs::path> found;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file() && IsProjectFile(it->path())) found.push_back(it->path());
    if (error) throw Exception(std::string(option) + " " + path + ": " + error.message());
    if (static_cast<int>(found.size()) != projectFiles) {
        std::string message = std::string(option) + " " + path + ": " +
                              (projectFiles == 1 ? "must hold exactly one project file (*.vlp)"
                                                 : "must not hold a project file (*.vlp)") +
                              ", found " + std::to_string(found.size());
        for (size_t i = 0; i < found.size(); ++i)
            message.append(i == 0 ? ": " : ", ").append(Utf8OfPath(fs::relative(found[i], folder)));
        throw Exception(message);
    }
    if (projectFiles == 1 && !HasProjectSection(found.front()))
        throw Exception(std::string(option) + " " + path + ": the project file " +
                        Utf8OfPath(fs::relative(found.front(), folder)) + " has no [Project] section");
}

} // namespace qdmx
