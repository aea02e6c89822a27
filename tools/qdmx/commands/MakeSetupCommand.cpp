// qdmx make-setup: one executable that installs a dictionary, made without a compiler. Every
// input is checked before anything is written; the folders are packed as create packs them (with
// -m METHOD, zstd by default); the uninstaller is signed by the publisher's command when one is
// given; the setup template gets the record, the archives and their digests as resources (with the
// SHA-256 of a Vellumor archive that the publisher ships beside the setup instead); and the
// result is written under a temporary name that becomes OUT only once it is complete, so a failure
// leaves no OUT behind (and an OUT that existed before is kept).
#include "tools/qdmx/ArchiveCommands.h"
#include "tools/qdmx/CommandSupport.h"
#include "tools/qdmx/Console.h"
#include "tools/qdmx/PackMethod.h"
#include "tools/qdmx/Utf8Path.h"
#include "tools/qdmx/commands/SetupInputs.h"

#include "platform/digest/Crc32.h"
#include "platform/digest/Sha256.h"
#include "platform/files/FileStream.h"
#include "platform/files/FileSystem.h"
#include "setup/integrity/SetupDigests.h"
#include "tools/pe/PeImage.h"
#include "tools/pe/SetupTemplate.h"
#include "tools/qdmx/commands/UninstallerSigning.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace qdmx {
namespace {

const char* const TemplateFileName = "setup-template.exe";

// The template beside qdmx, or where an installation under a prefix puts it.
std::string DefaultTemplate() {
    const fs::path self = PathOfUtf8(OwnExecutablePath());
    if (self.empty())
        throw Exception("cannot tell where qdmx is installed; name the template with --template");
    const fs::path candidates[] = {self.parent_path() / TemplateFileName, self.parent_path().parent_path() /
                                                                              "share" / "parlavox-setup" /
                                                                              TemplateFileName};
    for (const fs::path& candidate : candidates)
        if (FileExists(Utf8OfPath(candidate))) return Utf8OfPath(candidate);
    throw Exception(std::string("no ") + TemplateFileName + " beside qdmx (looked for " +
                    Utf8OfPath(candidates[0]) + " and " + Utf8OfPath(candidates[1]) +
                    "); name the template with --template");
}

TResource ArchiveResource(const std::string& name, const std::string& folder, const TPackMethod& method,
                          bool quiet) {
    TMemoryStream archive;
    PackFolder(folder, method, archive, quiet);
    return {TResourceId::Named("ARCHIVE"), TResourceId::Named(name), 0, 0, std::move(archive.Bytes)};
}

// The name of a named resource as the setup looks it up; empty for a numbered one, which no
// digest covers.
std::string AsciiName(const TResourceId& id) {
    std::string name;
    for (char16_t unit : id.Name) name += unit < 0x80 ? static_cast<char>(unit) : '?';
    return name;
}

const TResource* FindResource(const std::vector<TResource>& resources, const char* type, const char* name) {
    for (const TResource& r : resources)
        if (r.Type == TResourceId::Named(type) && r.Name == TResourceId::Named(name)) return &r;
    return nullptr;
}

// The digest of the Vellumor archive shipped beside the setup, read in pieces.
TResourceDigest LooseArchiveDigest(const std::string& path) {
    TResourceDigest digest{LooseFileType, "VELLUMOR", 0, 0, {}};
    auto file = TFileStream::OpenRead(path);
    digest.Sha256 = Sha256Hex(*file);
    file->Seek(0, TSeekOrigin::Begin);
    std::vector<uint8_t> buffer(1 << 20);
    for (int32_t n; (n = file->Read(buffer.data(), static_cast<int32_t>(buffer.size()))) > 0;) {
        digest.Size += static_cast<uint64_t>(n);
        digest.Crc = UpdateCrc32(digest.Crc, buffer.data(), static_cast<size_t>(n));
    }
    return digest;
}

// The digests of every archive and the support record the made setup will carry: the template's
// own (as replaced) and the added ones; then those of the files beside it.
TResource DigestsResource(const std::vector<TResource>& templateResources,
                          const std::vector<TResource>& replaced, const std::vector<TResource>& added,
                          std::vector<TResourceDigest> loose) {
    std::vector<TResourceDigest> digests;
    auto take = [&digests](const TResource& r) {
        const std::string type = AsciiName(r.Type), name = AsciiName(r.Name);
        if (IsDigestedResource(type, name))
            digests.push_back(DigestOf(type, name, r.Data.data(), r.Data.size()));
    };
    for (const TResource& r : templateResources) {
        const TResource* replacement = nullptr;
        for (const TResource& s : replaced)
            if (s.Type == r.Type && s.Name == r.Name) replacement = &s;
        take(replacement ? *replacement : r);
    }
    for (const TResource& r : added) take(r);
    digests.insert(digests.end(), loose.begin(), loose.end());
    const std::string text = DigestsText(digests);
    return {TResourceId::Named(DigestsResourceType),
            TResourceId::Named(DigestsResourceName),
            0,
            0,
            {text.begin(), text.end()}};
}

void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temporary = path + ".part";
    try {
        auto out = TFileStream::Create(temporary);
        for (size_t done = 0; done < bytes.size();) {
            const size_t chunk = std::min<size_t>(bytes.size() - done, 1 << 20);
            out->Write(bytes.data() + done, static_cast<int32_t>(chunk));
            done += chunk;
        }
        out->Close();
        // A program on POSIX too, where a Windows executable may be started through Wine.
        std::error_code ignored;
        fs::permissions(PathOfUtf8(NativePath(temporary)),
                        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::add, ignored);
        if (!MoveFileReplacing(temporary, path)) throw Exception(path + ": " + SystemErrorText());
    } catch (...) {
        DeleteFileAt(temporary);
        throw;
    }
}

} // namespace

int MakeSetup(const TMakeSetupOptions& options) {
    const TPackMethod method = PackMethodFromOptions(options.Method);
    const std::string record =
        CheckedSupportRecord(options.Record, CodePageFromOption(options.RecordCodePage, "--record-codepage"));
    CheckPayloadFolder(options.Dictionary, "--dictionary", 1);
    if (!options.Vellumor.empty()) CheckPayloadFolder(options.Vellumor, "--vellumor", 0);
    // A made setup takes no file from beside itself that it was not made with.
    if (options.Vellumor.empty() == options.VellumorArchive.empty())
        throw Exception("give either --vellumor FOLDER, to embed Vellumor, or --vellumor-archive FILE, the "
                        "archive you ship beside the setup");
    std::vector<TResourceDigest> loose;
    if (!options.VellumorArchive.empty()) {
        CheckVellumorArchive(options.VellumorArchive, "--vellumor-archive");
        loose.push_back(LooseArchiveDigest(options.VellumorArchive));
    }
    const std::string templatePath = options.Template.empty() ? DefaultTemplate() : options.Template;
    std::vector<uint8_t> templateBytes = ReadAll(*TFileStream::OpenRead(templatePath));
    std::vector<TResource> templateResources;
    try {
        // A first pass without the archives refuses an unusable template before any packing.
        templateResources = ReadResources(TPeImage(MakeSetupImage(templateBytes, {})));
    } catch (const ESetupTemplate& e) {
        throw Exception(templatePath + ": " + e.what());
    }

    std::vector<TResource> replaced;
    if (!options.SignUninstaller.empty()) {
        const TResource* uninstaller = FindResource(templateResources, "ARCHIVE", "UNINSTALL");
        if (!uninstaller) throw Exception(templatePath + ": the template carries no uninstaller to sign");
        replaced.push_back(
            {uninstaller->Type, uninstaller->Name, 0, 0,
             SignPackedUninstaller(uninstaller->Data, options.SignUninstaller, options.SigningCa)});
    }

    std::vector<TResource> resources;
    resources.push_back({TResourceId::Named("PARLAVOX"),
                         TResourceId::Named("SUPPORT"),
                         0,
                         0,
                         {record.begin(), record.end()}});
    resources.push_back(ArchiveResource("DICTIONARY", options.Dictionary, method, options.Quiet));
    if (!options.Vellumor.empty())
        resources.push_back(ArchiveResource("VELLUMOR", options.Vellumor, method, options.Quiet));
    resources.push_back(DigestsResource(templateResources, replaced, resources, loose));
    WriteFileAtomically(options.Output,
                        MakeSetupImage(std::move(templateBytes), std::move(resources), replaced));
    if (!options.VellumorArchive.empty()) {
        const fs::path output = PathOfUtf8(options.Output);
        const std::string besideName = Utf8OfPath(output.stem()) + ".vl3";
        PrintText(stderr,
                  "qdmx: note: ship %s beside %s as %s, unchanged: the setup installs Vellumor only from "
                  "a file of SHA-256 %s\n",
                  options.VellumorArchive.c_str(), options.Output.c_str(), besideName.c_str(),
                  loose.front().Sha256.c_str());
    }
    return ExitOk;
}

} // namespace qdmx
