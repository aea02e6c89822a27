// The setup's start (SetupSession.h), in the order of the wizard's FormCreate: the executable's
// folder and name, the digests (before anything else is read, so that a damaged download is
// refused whole instead of failing halfway through the installation), then the support record.
#include "setup/SetupSession.h"

#include "setup/PathText.h"
#include "setup/integrity/SetupDigests.h"
#include "setup/unattended/InstallLog.h"

namespace {
const char* const SetupDamagedMessage =
    "The setup file is damaged (an incomplete download or a faulty disk) and cannot install anything. "
    "Please obtain a new copy of it.";
} // namespace

TStartOutcome TSetupSession::Start(TArchiver& archiver) {
    const std::string modulePath = Module.ModulePath();
    FPackage.SetupDirectory = ExtractFileDir(modulePath);
    FPackage.SetupBaseName = ExtractFileBaseName(modulePath);
    if (const std::optional<std::string> damage = FindSetupDamage(Module, archiver)) {
        Note("Setup damaged: " + *damage);
        return {TStartStatus::Damaged, SetupDamagedMessage};
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
