#include "tools/qdmx/commands/UninstallerSigning.h"

#include "compress/Archiver.h"
#include "compress/archive/ArchiveWriter.h"
#include "platform/files/FileStream.h"
#include "platform/files/FileSystem.h"
#include "platform/process/ProcessSeed.h"
#include "tools/pe/PeImage.h"
#include "tools/qdmx/ChildProcess.h"
#include "tools/qdmx/PackMethod.h"
#include "tools/qdmx/SignatureCheck.h"
#include "tools/qdmx/Utf8Path.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace qdmx {
namespace {

const char* const UninstallerMember = "uninstall.exe";

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

std::vector<std::string> SigningArguments(const std::string& command, const std::string& in,
                                          const std::string& out) {
    std::vector<std::string> arguments;
    std::string argument;
    bool quoted = false, started = false, hasIn = false;
    for (const char c : command) {
        if (c == '"') {
            quoted = !quoted;
            started = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (started) arguments.push_back(argument);
            argument.clear();
            started = false;
        } else {
            argument += c;
            started = true;
        }
    }
    if (quoted) throw Exception("the signing command has an unmatched double quote: " + command);
    if (started) arguments.push_back(argument);
    if (arguments.empty()) throw Exception("the signing command names no program");
    for (std::string& a : arguments) {
        hasIn = hasIn || a.find("{in}") != std::string::npos;
        a = ReplaceAll(ReplaceAll(a, "{in}", in), "{out}", out);
    }
    if (!hasIn) arguments.push_back(in);
    return arguments;
}

std::optional<std::string> FindChangeBesidesSignature(const std::vector<uint8_t>& unsignedImage,
                                                      const std::vector<uint8_t>& signedImage) {
    std::vector<uint8_t> before, after;
    try {
        before = TPeImage(unsignedImage).WithoutSignature();
        after = TPeImage(signedImage).WithoutSignature();
    } catch (const EPeFormat& e) {
        return std::string("not a program as signing leaves one: ") + e.what();
    }
    if (before.size() != after.size())
        return std::to_string(after.size()) + " bytes besides the signature instead of " +
               std::to_string(before.size());
    const auto differs = std::mismatch(before.begin(), before.end(), after.begin());
    if (differs.first != before.end())
        return "changed at offset " + std::to_string(differs.first - before.begin());
    return std::nullopt;
}

std::vector<uint8_t> SignPackedUninstaller(const std::vector<uint8_t>& packed, const std::string& command,
                                           const std::string& caFile) {
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
    const std::vector<uint8_t> unsignedBytes = ReadAll(*TFileStream::OpenRead(unsignedPath));

    const bool inPlace = command.find("{out}") == std::string::npos;
    const std::vector<std::string> arguments = SigningArguments(command, unsignedPath, signedPath);
    const int status = RunProgram(arguments);
    if (status != 0)
        throw Exception("the signing command failed (status " + std::to_string(status) + "): " + command);
    const std::string result = inPlace ? unsignedPath : signedPath;
    std::vector<uint8_t> signedBytes;
    try {
        signedBytes = ReadAll(*TFileStream::OpenRead(result));
    } catch (const Exception& e) {
        throw Exception(std::string("the signing command left no signed uninstaller: ") + e.what());
    }
    try {
        if (TPeImage(signedBytes).Directory(SecurityDirectory).Size == 0)
            throw Exception("the signing command left the uninstaller unsigned: " + command);
    } catch (const EPeFormat& e) {
        throw Exception(std::string("the signing command did not leave a program: ") + e.what());
    }
    // What is packed is what the check accepted: the bytes read above, checked as a file of their
    // own that the command can no longer touch.
    const std::string checkedPath = Utf8OfPath(scratch.Path / "checked.exe");
    {
        auto out = TFileStream::Create(checkedPath);
        out->Write(signedBytes.data(), static_cast<int32_t>(signedBytes.size()));
        out->Close();
    }
    if (const std::optional<std::string> refusal =
            RefuseSignature(checkedPath, caFile, Utf8OfPath(scratch.Path / "verify.log")))
        throw Exception("the signed uninstaller is not accepted: " + *refusal);
    if (const std::optional<std::string> change = FindChangeBesidesSignature(unsignedBytes, signedBytes))
        throw Exception("the signing command changed the uninstaller besides signing it: " + *change);

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
