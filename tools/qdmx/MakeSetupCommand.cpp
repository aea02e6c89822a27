// qdmx make-setup: one executable that installs a dictionary, made without a compiler. Every
// input is checked before anything is written; the folders are packed as create packs them (with
// -m METHOD, zstd by default); the setup template gets the record and the archives as resources; and the
// result is written under a temporary name that becomes OUT only once it is complete, so a failure leaves no
// OUT behind (and an OUT that existed before is kept).
#include "tools/qdmx/ArchiveCommands.h"
#include "tools/qdmx/CommandSupport.h"
#include "tools/qdmx/PackMethod.h"
#include "tools/qdmx/SetupInputs.h"

#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "tools/pe/SetupTemplate.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace qdmx {
namespace {

const char* const TemplateFileName = "setup-template.exe";

// The template beside qdmx, or where an installation under a prefix puts it.
std::string DefaultTemplate() {
    const fs::path self = OwnExecutablePath();
    if (self.empty())
        throw Exception("cannot tell where qdmx is installed; name the template with --template");
    const fs::path candidates[] = {self.parent_path() / TemplateFileName, self.parent_path().parent_path() /
                                                                              "share" / "parlavox-setup" /
                                                                              TemplateFileName};
    for (const fs::path& candidate : candidates)
        if (FileExists(candidate.string())) return candidate.string();
    throw Exception(std::string("no ") + TemplateFileName + " beside qdmx (looked for " +
                    candidates[0].string() + " and " + candidates[1].string() +
                    "); name the template with --template");
}

TResource ArchiveResource(const std::string& name, const std::string& folder, const TPackMethod& method,
                          bool quiet) {
    TMemoryStream archive;
    PackFolder(folder, method, archive, quiet);
    return {TResourceId::Named("ARCHIVE"), TResourceId::Named(name), 0, 0, std::move(archive.Bytes)};
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
        fs::permissions(NativePath(temporary),
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
    const std::string record = CheckedSupportRecord(options.Record);
    CheckPayloadFolder(options.Dictionary, "--dictionary", 1);
    if (!options.Vellumor.empty()) CheckPayloadFolder(options.Vellumor, "--vellumor", 0);
    const std::string templatePath = options.Template.empty() ? DefaultTemplate() : options.Template;
    std::vector<uint8_t> templateBytes = ReadAll(*TFileStream::OpenRead(templatePath));
    try {
        // A first pass without the archives refuses an unusable template before any packing.
        MakeSetupImage(templateBytes, {});
    } catch (const ESetupTemplate& e) {
        throw Exception(templatePath + ": " + e.what());
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
    WriteFileAtomically(options.Output, MakeSetupImage(std::move(templateBytes), std::move(resources)));
    if (options.Vellumor.empty())
        std::fprintf(stderr,
                     "qdmx: note: no --vellumor folder given, so %s installs Vellumor from the archive "
                     "NAME.vl3 beside it\n",
                     options.Output.c_str());
    return ExitOk;
}

} // namespace qdmx
