// qdmx test: expands every member into a counting sink and verifies it as extraction would
// (checksum, key lock), plus the expanded size and the header's TotalSize. Stops at the first
// failure with the member's name and the component's message.
#include "tools/qdmx/ArchiveCommands.h"
#include "tools/qdmx/CommandSupport.h"
#include "tools/qdmx/Console.h"
#include "tools/qdmx/commands/Progress.h"

#include "compress/Archiver.h"
#include "compress/dense/DenseMethod.h"

#include <cstdio>

namespace qdmx {
int Test(const TTestOptions& options) {
    int32_t key = KeyFromOption(options.Key);
    std::unique_ptr<TFileStream> archive;
    TArchiver archiver;
    // Verifying only: nothing to do beside the decoding, so nothing to gain from decoding ahead.
    TDenseExpander dense(archiver, false);
    archiver.Key = key;
    archiver.NamesCodePage = CodePageFromOption(options.NamesCodePage, "--names-codepage");
    std::string methodID;
    TArchiveHeader header;
    try {
        archive = OpenArchiveFile(options.Archive);
        header = archiver.ReadArchiveHeader(*archive, methodID);
    } catch (const Exception& e) {
        ReportError(options.Archive, e.Message);
        return ExitFailure;
    }
    TProgressDisplay progress(!options.Quiet && TProgressDisplay::StandardErrorIsTerminal());
    archiver.OnShowProgress = progress.Handler();
    int64_t total = 0, members = 0;
    for (;;) {
        TMemberHeader member;
        std::string name;
        try {
            if (!archiver.ReadMemberHeader(*archive, member, name)) break;
        } catch (const Exception& e) {
            progress.Finish();
            ReportError(options.Archive, e.Message);
            return ExitFailure;
        }
        progress.Begin(name);
        TCountingStream sink;
        try {
            archiver.ExpandMember(sink, *archive, member.CompressedSize, member.ExpandedSize, member.Checksum,
                                  member.Method, methodID, member.Lock);
        } catch (const Exception& e) {
            progress.Finish();
            ReportError(name, e.Message);
            return ExitFailure;
        }
        progress.Finish();
        if (sink.Size() != member.ExpandedSize) {
            ReportError(name, "expanded to " + std::to_string(sink.Size()) + " bytes instead of " +
                                  std::to_string(member.ExpandedSize));
            return ExitFailure;
        }
        total += member.ExpandedSize;
        ++members;
    }
    if (total != header.TotalSize) {
        ReportError(options.Archive, "the header's total size " + std::to_string(header.TotalSize) +
                                         " differs from the members' sum " + std::to_string(total));
        return ExitFailure;
    }
    PrintText(stdout, "%s: %lld member%s OK\n", options.Archive.c_str(), static_cast<long long>(members),
              members == 1 ? "" : "s");
    return ExitOk;
}

} // namespace qdmx
