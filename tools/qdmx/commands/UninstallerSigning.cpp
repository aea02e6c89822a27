#include "tools/qdmx/commands/UninstallerSigning.h"

#include "compress/Archiver.h"
#include "compress/archive/ArchiveWriter.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/ProcessSeed.h"
#include "tools/pe/PeImage.h"
#include "tools/qdmx/Console.h"
#include "tools/qdmx/PackMethod.h"
#include "tools/qdmx/Utf8Path.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace qdmx {
namespace {

const char* const UninstallerMember = "uninstall.exe";

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// A new folder of its own for the signing, removed on every way out.
class TScratchFolder {
public:
    TScratchFolder() {
        for (int attempt = 0; attempt < 100 && Path.empty(); ++attempt) {
            const fs::path candidate =
                fs::temp_directory_path() /
                ("qdmx-sign-" + std::to_string(ProcessSeed() + static_cast<uint64_t>(attempt)));
            std::error_code error;
            if (fs::create_directory(candidate, error)) Path = candidate;
        }
        if (Path.empty()) throw Exception("cannot create a folder for signing the uninstaller");
    }
    ~TScratchFolder() {
        std::error_code ignored;
        fs::remove_all(Path, ignored);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    fs::path Path;
};

} // namespace

std::string SigningCommandLine(const std::string& command, const std::string& in, const std::string& out) {
    std::string line = ReplaceAll(command, "{out}", Quoted(out));
    if (line.find("{in}") == std::string::npos) return line + " " + Quoted(in);
    return ReplaceAll(line, "{in}", Quoted(in));
}

std::vector<uint8_t> SignPackedUninstaller(const std::vector<uint8_t>& packed, const std::string& command) {
    TScratchFolder scratch;
    const std::string unsignedPath = Utf8OfPath(scratch.Path / UninstallerMember);
    const std::string signedPath = Utf8OfPath(scratch.Path / "signed.exe");

    TArchiver archiver;
    TDenseExpander dense(archiver); // the build packs it with the dense method; older templates with lh5
    archiver.ExceptionOnFileError = true;
    archiver.SetTargetPath(Utf8OfPath(scratch.Path));
    TStringList written{UninstallerMember};
    TMemoryStream source(packed);
    archiver.ExpandArchive(source, &written);
    if (written.empty())
        throw Exception(std::string("the template's uninstaller holds no ") + UninstallerMember);

    const bool inPlace = command.find("{out}") == std::string::npos;
    const std::string line = SigningCommandLine(command, unsignedPath, signedPath);
    const int status = RunCommandLine(line);
    if (status != 0)
        throw Exception("the signing command failed (status " + std::to_string(status) + "): " + line);
    const std::string result = inPlace ? unsignedPath : signedPath;
    std::vector<uint8_t> signedBytes;
    try {
        signedBytes = ReadAll(*TFileStream::OpenRead(result));
    } catch (const Exception& e) {
        throw Exception(std::string("the signing command left no signed uninstaller: ") + e.what());
    }
    bool isSigned = false;
    try {
        isSigned = TPeImage(signedBytes).Directory(SecurityDirectory).Size != 0;
    } catch (const EPeFormat& e) {
        throw Exception(std::string("the signing command did not leave a program: ") + e.what());
    }
    if (!isSigned) throw Exception("the signing command left the uninstaller unsigned: " + line);

    // Packed again exactly as the build packs it: with the dense method, its window cut to the file.
    const std::string repacked = Utf8OfPath(scratch.Path / "repacked");
    fs::create_directory(PathOfUtf8(repacked));
    {
        auto out = TFileStream::Create(repacked + "/" + UninstallerMember);
        out->Write(signedBytes.data(), static_cast<int32_t>(signedBytes.size()));
        out->Close();
    }
    TMemoryStream archive;
    TPackWriter writer(
        archive, WindowForInput(PackMethodFromOptions("zstd"), static_cast<int64_t>(signedBytes.size())));
    writer.AddFile(UninstallerMember, repacked + "/" + UninstallerMember);
    writer.Finish();
    return std::move(archive.Bytes);
}

} // namespace qdmx
