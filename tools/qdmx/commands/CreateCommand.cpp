// qdmx create: packs files and directory trees into a new archive. Directories are walked
// recursively in the order of their names' UTF-8 bytes (the same on every system); member names
// are the paths as given (relative to -C DIR), with backslashes, without a leading root, in UTF-8
// (the writer marks those beyond ASCII). The archive is removed again when anything fails, so a
// failed run leaves no half-written archive behind.
#include "tools/qdmx/ArchiveCommands.h"
#include "tools/qdmx/CommandSupport.h"
#include "tools/qdmx/Console.h"
#include "tools/qdmx/MemberNames.h"
#include "tools/qdmx/PackMethod.h"
#include "tools/qdmx/Utf8Path.h"
#include "tools/qdmx/commands/Progress.h"

#include "platform/files/FileSystem.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace qdmx {
namespace {

struct TInputFile {
    std::string Name;
    fs::path Path;
};

// Adds the regular files below directory, in name order, depth first.
void WalkDirectory(const fs::path& directory, const std::string& prefix, std::vector<TInputFile>& files) {
    std::vector<std::pair<std::string, fs::directory_entry>> entries;
    for (const auto& entry : fs::directory_iterator(directory))
        entries.emplace_back(Utf8OfPath(entry.path().filename()), entry);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [fileName, entry] : entries) {
        std::string name = (prefix.empty() ? "" : prefix + "\\") + fileName;
        if (entry.is_directory() && !entry.is_symlink())
            WalkDirectory(entry.path(), name, files);
        else if (entry.is_regular_file())
            files.push_back({name, entry.path()});
        else
            PrintText(stderr, "qdmx: %s: not a regular file, skipped\n", Utf8OfPath(entry.path()).c_str());
    }
}

std::vector<TInputFile> CollectFiles(const TCreateOptions& options) {
    std::vector<TInputFile> files;
    bool warnedRoot = false;
    for (const auto& given : options.Paths) {
        bool rootStripped = false;
        auto name = MemberNameOfPath(given, rootStripped);
        if (!name)
            throw EUsageError{given + ": a '..' component would make an unsafe member name (use -C DIR)"};
        if (rootStripped && !warnedRoot) {
            WriteText(stderr, "qdmx: removing leading root from member names\n");
            warnedRoot = true;
        }
        fs::path path =
            options.Directory.empty() ? PathOfUtf8(given) : PathOfUtf8(options.Directory) / PathOfUtf8(given);
        std::error_code error;
        auto status = fs::status(path, error);
        if (fs::is_directory(status))
            WalkDirectory(path, *name, files);
        else if (fs::is_regular_file(status) && !name->empty())
            files.push_back({*name, path});
        else
            throw Exception(given + ": no such file or directory");
    }
    return files;
}

// The bytes of all input files (what the dense method's window never needs to exceed).
int64_t TotalSize(const std::vector<TInputFile>& files) {
    int64_t total = 0;
    std::error_code error;
    for (const auto& file : files) {
        const auto size = fs::file_size(file.Path, error);
        if (!error) total += static_cast<int64_t>(size);
    }
    return total;
}

} // namespace

void PackFolder(const std::string& folder, const TPackMethod& method, TStream& dest, bool quiet) {
    TCreateOptions options;
    options.Directory = folder;
    options.Paths = {"."};
    TProgressDisplay progress(!quiet && TProgressDisplay::StandardErrorIsTerminal());
    const std::vector<TInputFile> files = CollectFiles(options);
    TPackWriter writer(dest, WindowForInput(method, TotalSize(files)));
    writer.SetProgress(progress.Handler());
    for (const auto& file : files) {
        progress.Begin(file.Name);
        writer.AddFile(file.Name, Utf8OfPath(file.Path));
    }
    writer.Finish();
}

int Create(const TCreateOptions& options) {
    const TPackMethod method = PackMethodFromOptions(options.Method, options.Level, options.WindowLog);
    int32_t key = KeyFromOption(options.Key);
    if (options.Lock != 0 && key == 0) throw EUsageError{"--lock needs a key (-k KEY)"};
    if (method.Dense && key != 0 && options.Lock == 2)
        throw EUsageError{"-m zstd locks with --lock 1 only (its data cannot be scrambled)"};
    std::vector<TInputFile> files = CollectFiles(options);

    auto archive = TFileStream::Create(options.Archive);
    TProgressDisplay progress(!options.Quiet && TProgressDisplay::StandardErrorIsTerminal());
    try {
        TPackWriter writer(*archive, WindowForInput(method, TotalSize(files)), key, options.Lock);
        writer.SetProgress(progress.Handler());
        for (const auto& file : files) {
            std::error_code error;
            if (fs::equivalent(file.Path, PathOfUtf8(NativePath(options.Archive)), error)) {
                PrintText(stderr, "qdmx: %s: the archive itself, skipped\n", file.Name.c_str());
                continue;
            }
            progress.Begin(file.Name);
            writer.AddFile(file.Name, Utf8OfPath(file.Path));
        }
        writer.Finish();
    } catch (...) {
        progress.Finish();
        archive->Close();
        DeleteFileAt(options.Archive);
        throw;
    }
    return ExitOk;
}

} // namespace qdmx
