// qdmx extract: expands an archive (or the named members) below a directory. The component's
// TargetPath stays empty so that OnCheckFile sees each member's own name: the handler refuses
// unsafe names (unless --unsafe-paths), places the others below -C DIR exactly as TargetPath
// would and keeps existing files with -n. The component replaces a file (a read-only one too)
// only once its member is complete, so a failing member leaves the old file as it was.
#include "tools/qdmx/ArchiveCommands.h"
#include "tools/qdmx/CommandSupport.h"
#include "tools/qdmx/Console.h"
#include "tools/qdmx/MemberNames.h"
#include "tools/qdmx/Utf8Path.h"
#include "tools/qdmx/commands/Progress.h"

#include "compress/Archiver.h"
#include "compress/dense/DenseMethod.h"
#include "platform/files/FileSystem.h"
#include "platform/text/AsciiCase.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace qdmx {

int Extract(const TExtractOptions& options) {
    int32_t key = KeyFromOption(options.Key);
    std::string directory = options.Directory;
    if (!directory.empty() && directory.back() != '\\' && directory.back() != '/') directory += '\\';

    TArchiver archiver;
    TDenseExpander dense(archiver);
    archiver.Key = key;
    archiver.MakeDirectories = true;
    archiver.ExceptionOnFileError = true;
    archiver.CheckSpaceBeforeExpand = true;
    archiver.NamesCodePage = CodePageFromOption(options.NamesCodePage, "--names-codepage");
    TProgressDisplay progress(!options.Quiet && TProgressDisplay::StandardErrorIsTerminal());
    archiver.OnShowProgress = progress.Handler();

    bool failed = false;
    std::string current = options.Archive;
    std::vector<std::string> seen;
    archiver.OnCheckFile = [&](std::string& filepath, TProcessMode) {
        const std::string name = filepath;
        seen.push_back(name);
        if (!options.UnsafePaths && IsUnsafeMemberName(name)) {
            progress.Finish();
            PrintText(stderr, "qdmx: refusing unsafe member name: %s\n", name.c_str());
            failed = true;
            filepath.clear();
            return;
        }
        if (name.empty() || name[0] != '\\') filepath = directory + name;
        if (options.KeepExisting && FileExists(filepath)) {
            filepath.clear();
            return;
        }
        current = name;
        progress.Begin(name);
    };

    TStringList selection;
    for (std::string name : options.Names) {
        std::replace(name.begin(), name.end(), '/', '\\');
        selection.push_back(name);
    }
    try {
        if (!options.Directory.empty())
            std::filesystem::create_directories(PathOfUtf8(NativePath(options.Directory)));
        auto archive = OpenArchiveFile(options.Archive);
        archiver.ExpandArchive(*archive, selection.empty() ? nullptr : &selection);
    } catch (const Exception& e) {
        progress.Finish();
        // Faults of the archive's structure concern the archive, not the member last written.
        bool structural = dynamic_cast<const EDamagedArchive*>(&e) ||
                          dynamic_cast<const EInvalidHeader*>(&e) ||
                          dynamic_cast<const EInvalidHeaderArchiveType*>(&e) ||
                          dynamic_cast<const EUnrecognizedCompressionMethod*>(&e);
        ReportError(structural ? options.Archive : current, e.Message);
        return ExitFailure;
    } catch (const std::filesystem::filesystem_error& e) {
        ReportError(options.Directory, e.code().message());
        return ExitFailure;
    }
    progress.Finish();
    for (const auto& wanted : options.Names) {
        std::string name = wanted;
        std::replace(name.begin(), name.end(), '/', '\\');
        if (std::none_of(seen.begin(), seen.end(),
                         [&](const std::string& s) { return EqualsIgnoringAsciiCase(s, name); })) {
            ReportError(wanted, "not found in archive");
            failed = true;
        }
    }
    return failed ? ExitFailure : ExitOk;
}

} // namespace qdmx
