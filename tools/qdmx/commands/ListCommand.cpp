// qdmx list: the members of an archive, one name a line, or with -v a table of sizes, ratio,
// method, date, attributes, checksum and lock, followed by the totals.
#include "tools/qdmx/ArchiveCommands.h"
#include "tools/qdmx/CommandSupport.h"
#include "tools/qdmx/Console.h"
#include "tools/qdmx/Methods.h"

#include "compress/Archiver.h"
#include "compress/dense/DenseMethod.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileTime.h"

#include <cstdio>

namespace qdmx {
namespace {

std::string FormatDate(int32_t packed) {
    auto f = UnpackDateTime(packed);
    if (!f) return "(invalid date)     ";
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f->Year, f->Month, f->Day, f->Hour,
                  f->Minute, f->Second);
    return text;
}

// Read-only, hidden, system and archive bits as letters, '-' where a bit is clear.
std::string FormatAttributes(int16_t attributes) {
    std::string text = "----";
    if (attributes & faReadOnly) text[0] = 'R';
    if (attributes & faHidden) text[1] = 'H';
    if (attributes & faSysFile) text[2] = 'S';
    if (attributes & faArchive) text[3] = 'A';
    return text;
}

// Stored size as a percentage of the expanded size.
std::string FormatRatio(int64_t stored, int64_t expanded) {
    if (expanded <= 0) return "    -";
    char text[16];
    std::snprintf(text, sizeof text, "%5.1f%%",
                  100.0 * static_cast<double>(stored) / static_cast<double>(expanded));
    return text;
}

// Custom members of a dense archive are shown as zstd, the method that codes them.
void PrintTable(const TDirectoryList& list, bool dense) {
    WriteText(stdout, "  Expanded     Stored  Ratio Method Date                Attr Checksum Locked Name\n");
    int64_t expanded = 0, stored = 0;
    for (const auto& entry : list) {
        const TMemberInfo& m = *entry.Info;
        PrintText(stdout, "%10d %10d %6s %-6s %s %s %08x %-6s %s\n", m.ExpandedSize, m.CompressedSize,
                  FormatRatio(m.CompressedSize, m.ExpandedSize).c_str(),
                  dense && m.Method == miCustom ? "zstd" : MethodNameOfIndex(m.Method),
                  FormatDate(m.DateTime).c_str(), FormatAttributes(m.Attributes).c_str(), m.Checksum,
                  m.Locked ? "yes" : "no", entry.Name.c_str());
        expanded += m.ExpandedSize;
        stored += m.CompressedSize;
    }
    PrintText(stdout, "---------- ---------- ------\n%10lld %10lld %6s %zu member%s\n",
              static_cast<long long>(expanded), static_cast<long long>(stored),
              FormatRatio(stored, expanded).c_str(), list.size(), list.size() == 1 ? "" : "s");
}

} // namespace

int List(const TListOptions& options) {
    TDirectoryList list;
    std::string methodID;
    const unsigned namesCodePage = CodePageFromOption(options.NamesCodePage, "--names-codepage");
    try {
        auto archive = OpenArchiveFile(options.Archive);
        TArchiver archiver;
        TDenseExpander dense(archiver);
        archiver.NamesCodePage = namesCodePage;
        // Validates the header even when the archive holds no member.
        archiver.ReadArchiveHeader(*archive, methodID);
        archive->Seek(0, TSeekOrigin::Begin);
        archiver.ReadDirectory(*archive, list);
    } catch (const Exception& e) {
        ReportError(options.Archive, e.Message);
        return ExitFailure;
    }
    if (options.Verbose) {
        PrintTable(list, IsDenseMethodID(methodID));
    } else {
        for (const auto& entry : list) PrintText(stdout, "%s\n", entry.Name.c_str());
    }
    return ExitOk;
}

} // namespace qdmx
