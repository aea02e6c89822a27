// The setup's start (SetupSession.h), in the order of the wizard's FormCreate: the executable's
// folder and name, the digests (before anything else is read, so that a damaged download is
// refused whole instead of failing halfway through the installation), then the support record.
#include "setup/SetupSession.h"

#include "platform/process/Spans.h"
#include "setup/PathText.h"
#include "setup/integrity/LooseArchives.h"
#include "setup/integrity/SetupDigests.h"
#include "setup/unattended/InstallLog.h"

namespace {
const char* const SetupDamagedMessage =
    "The setup file is damaged (an incomplete download or a faulty disk) and cannot install anything. "
    "Please obtain a new copy of it.";
const char* const LooseArchiveMessage =
    "A file beside the setup is not the one its publisher shipped with it (it is missing, damaged or "
    "was put there by someone else), so the setup installs nothing. Please obtain the setup and its "
    "files again from the publisher.";

bool HasArchiveResource(TModule& module, TArchiver& archiver, const std::string& name) {
    try {
        return module.OpenArchiveResource(archiver, name) != nullptr;
    } catch (const std::exception&) {
        return false;
    }
}
} // namespace

TStartOutcome TSetupSession::Start(TArchiver& archiver) {
    const TSpan span("session start");
    const std::string modulePath = Module.ModulePath();
    FPackage.SetupDirectory = ExtractFileDir(modulePath);
    FPackage.SetupBaseName = ExtractFileBaseName(modulePath);
    if (const std::optional<std::string> damage = FindSetupDamage(Module, archiver)) {
        Note("Setup damaged: " + *damage);
        return {TStartStatus::Damaged, SetupDamagedMessage};
    }
    if (const std::optional<std::string> refusal = CheckLooseArchives(archiver)) {
        Note("Setup damaged: " + *refusal);
        return {TStartStatus::Damaged, LooseArchiveMessage};
    }
    const std::optional<std::string> record = LoadSupportRecord();
    if (!record) return {TStartStatus::RecordMissing, GetFallbackFileName(1) + " file is missing!"};
    FSupport = ParseSupportRecord(*record);
    FPackage.DictionaryName = FSupport.DictionaryName;
    FPackage.Description = FSupport.Description;
    FPackage.Author = FSupport.Author;
    if (!FSupport.Created) return {TStartStatus::RecordInvalid, "Invalid support data!"};
    FPackage.Created = *FSupport.Created;
    return {};
}

std::optional<std::string> TSetupSession::CheckLooseArchives(TArchiver& archiver) {
    const std::optional<std::vector<TResourceDigest>> digests = LoadSetupDigests(Module);
    FPackage.MadeSetup = digests.has_value();
    FPackage.LooseFiles.clear();
    if (!digests) return std::nullopt;
    for (const TResourceDigest& digest : *digests)
        if (digest.Type == LooseFileType) FPackage.LooseFiles.push_back(digest);
    for (const char* name : {"DICTIONARY", "VELLUMOR"}) {
        if (HasArchiveResource(Module, archiver, name)) continue;
        try {
            // Checked through a handle of its own: the installation checks again through the one
            // it expands from.
            OpenLooseArchive(Files, GetFallbackFileName(FallbackNumberOf(name)), true,
                             FPackage.LooseFile(name));
        } catch (const ELooseArchive& e) {
            return e.Message;
        }
    }
    return std::nullopt;
}

std::optional<std::string> TSetupSession::LoadSupportRecord() {
    if (std::optional<std::string> resource = Module.LoadResource("PARLAVOX", "SUPPORT")) {
        const size_t nul = resource->find('\0');
        if (nul != std::string::npos) resource->resize(nul);
        return resource;
    }
    const std::string path = GetFallbackFileName(1);
    if (!Files.FileExists(path)) return std::nullopt;
    return Files.ReadFirstLine(path);
}

std::string TSetupSession::ExtractFileBaseName(const std::string& path) {
    const std::string name = ExtractFileName(path);
    return name.substr(0, name.size() - ExtractFileExt(name).size());
}
