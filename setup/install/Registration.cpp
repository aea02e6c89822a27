// Registering an installation (Registration.h).
//
// Vellumor's users are counted as a set, one value per installed dictionary below Vellumor's own
// key (name: the dictionary's Uninstall key, data: its Vellumor directory), rather than as the
// SharedDLLs reference counts: installing the same dictionary again rewrites its own value instead
// of counting twice, an uninstall that was interrupted cannot leave a count that never reaches
// zero, and dictionaries over two different Vellumor directories are told apart.
//
// A record found in the dictionary's folder before the installation (the user may have put it
// there) counts only when the registry, which only administrators change, showed an earlier
// installation of the same key in the same place, and then only with the entries that lie in this
// installation's folders: files while they still hold what the earlier installation wrote,
// folders and shortcuts where the uninstaller would accept them.
#include "setup/install/Registration.h"

#include "compress/Archiver.h"
#include "compress/dense/DenseMethod.h"
#include "platform/files/FileStream.h"
#include "platform/process/Spans.h"
#include "platform/text/AsciiCase.h"
#include "platform/text/NumberText.h"
#include "setup/FormPorts.h"
#include "setup/InstalledPaths.h"
#include "setup/PathText.h"
#include "setup/install/FolderProtection.h"
#include "setup/install/InstallJournal.h"
#include "setup/record/DateTimeText.h"
#include "setup/unattended/InstallLog.h"

namespace {

const char* const DisplayNamePrefix = "Parlavox Dictionary: ";

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string Upper(std::string text) {
    for (char& c : text) c = ToUpperAscii(c);
    return text;
}

} // namespace

void TRegistration::Clear() {
    Registered = false;
    EarlierInstallation.reset();
}

std::string TRegistration::DictionaryDirectory() const {
    return TrimTrailingBackslashes(Identity.DictionaryDirectory);
}

std::string TRegistration::UninstallKeyName() const {
    // The name keeps two dictionaries apart, and the same dictionary in two places too.
    std::string name = "Parlavox " + Identity.DictionaryName;
    for (char& c : name)
        if (c == '\\' || static_cast<unsigned char>(c) < 32) c = '_';
    const std::string where = Upper(DictionaryDirectory());
    return name + " " +
           ZeroPaddedHex(UpdateCrc32(0, reinterpret_cast<const uint8_t*>(where.data()), where.size()), 8);
}

void TRegistration::Register(TInstallationIdentity identity) {
    Identity = std::move(identity);
    // The uninstaller travels packed, as an archive of the one member UninstallerName; a setup
    // without it installs but cannot register.
    TArchiver unpacker;
    TDenseExpander dense(unpacker); // the build packs it with the dense method
    std::unique_ptr<TStream> uninstaller;
    try {
        uninstaller = Ports.Module.OpenArchiveResource(unpacker, "UNINSTALL");
    } catch (const EResNotFound&) {
    }
    if (!uninstaller) {
        Note("No uninstaller in this setup: not registered");
        return;
    }
    const std::string directory = DictionaryDirectory();
    EarlierInstallation = TInstallationFolders::Read(Ports.Registry, Ports.Shortcuts, UninstallKeyName());
    if (EarlierInstallation && !IsSamePath(EarlierInstallation->Dictionary, directory))
        EarlierInstallation.reset();
    // Without a dictionary archive nothing has made the dictionary folder yet.
    Journal.SetPart(TRecordPart::Dictionary);
    Journal.NoteMissingFolders(directory + "\\" + UninstallerName);
    MakeProtectedFolder(Ports.Files, directory, TFoldersMadeEarlier(), Note);
    const std::string exe = directory + "\\" + UninstallerName;
    // Its own unpacker: the form's asks about existing files and moves the progress bar, neither
    // of which concerns the uninstaller. Replaced only once complete and verified.
    unpacker.ExceptionOnFileError = true;
    unpacker.SetTargetPath(directory);
    TStringList written{UninstallerName};
    {
        const TSpan span("write uninstaller");
        unpacker.ExpandArchive(*uninstaller, &written);
    }
    if (written.empty()) throw EResNotFound("Resource UNINSTALL holds no " + std::string(UninstallerName));
    Note("Uninstaller: " + exe);

    const TDateTimeParts created = DecodeDateTime(Identity.Created);
    const std::string version = ZeroPaddedDecimal(created.Year, 4) + "." +
                                ZeroPaddedDecimal(created.Month, 2) + "." + ZeroPaddedDecimal(created.Day, 2);
    int year = 0, month = 0, day = 0;
    Ports.Locale.CurrentDate(year, month, day);
    const std::string today = ZeroPaddedDecimal(year % 10000, 4) + ZeroPaddedDecimal(month % 100, 2) +
                              ZeroPaddedDecimal(day % 100, 2);

    const std::string key = UninstallKeyRoot + UninstallKeyName();
    const std::pair<const char*, std::string> values[] = {
        {"DisplayName", DisplayNamePrefix + Identity.Description},
        {"DisplayVersion", version},
        {"Publisher", Identity.Author},
        {"InstallLocation", directory},
        {"InstallDate", today},
        {"DisplayIcon", Identity.VellumorDirectory + "\\velmor.exe"},
        {"UninstallString", Quoted(exe)},
        {"QuietUninstallString", Quoted(exe) + " /S"},
    };
    for (const auto& [name, data] : values) Ports.Registry.WriteMachineRegistryString(key, name, data);
    Ports.Registry.WriteMachineRegistryDword(key, "NoModify", 1);
    Ports.Registry.WriteMachineRegistryDword(key, "NoRepair", 1);
    WriteCreatedAbove(key);
    Note("Registry: HKLM\\" + key);
    Ports.Registry.WriteMachineRegistryString(VellumorUsersKey, UninstallKeyName(),
                                              Identity.VellumorDirectory);
    Note("Registry: HKLM\\" + std::string(VellumorUsersKey) + " " + UninstallKeyName() + " = " +
         Identity.VellumorDirectory);
    Registered = true;
}

void TRegistration::WriteCreatedAbove(const std::string& key) {
    std::vector<std::string> dictionary, vellumor;
    for (const TRecordedFolder& folder : Journal.CreatedFolders()) {
        dictionary.push_back(folder.Path);
        vellumor.push_back(folder.Path);
    }
    // An earlier installation here created them as well, for the same folders.
    if (EarlierInstallation) {
        dictionary.push_back(EarlierInstallation->CreatedAboveDictionary);
        if (IsSamePath(EarlierInstallation->Vellumor, Identity.VellumorDirectory))
            vellumor.push_back(EarlierInstallation->CreatedAboveVellumor);
    }
    const std::pair<const char*, std::string> values[] = {
        {CreatedAboveDictionaryValue, OutermostAbove(DictionaryDirectory(), dictionary)},
        {CreatedAboveVellumorValue, OutermostAbove(Identity.VellumorDirectory, vellumor)}};
    for (const auto& [name, folder] : values) {
        if (folder.empty())
            Ports.Registry.DeleteMachineRegistryValue(key, name);
        else
            Ports.Registry.WriteMachineRegistryString(key, name, folder);
    }
}

void TRegistration::MergeEarlierRecord(TUninstallRecord& record, const std::string& path) {
    if (!EarlierInstallation) {
        Note("Earlier uninstall record not used: the registry shows no earlier installation here");
        return;
    }
    try {
        std::unique_ptr<TStream> stream = Ports.Files.OpenFileRead(path);
        const std::vector<uint8_t> bytes = ReadAll(*stream);
        const TUninstallRecord earlier = TUninstallRecord::Parse(std::string(bytes.begin(), bytes.end()));
        std::optional<TInstallationFolders> folders =
            TInstallationFolders::Read(Ports.Registry, Ports.Shortcuts, record.KeyName);
        if (!SameText(earlier.KeyName, record.KeyName) || !folders) return;
        // Vellumor's files go with this installation only where it still installs Vellumor.
        if (!IsSamePath(EarlierInstallation->Vellumor, folders->Vellumor)) {
            folders->Vellumor.clear();
            folders->CreatedAboveVellumor.clear();
        }
        TUninstallRecord confirmed = ConfirmRecord(
            earlier, *folders, [this](const std::string& line) { Note("Earlier record: " + line); });
        std::vector<uint8_t> buffer;
        std::erase_if(confirmed.Files, [&](const TRecordedFile& file) {
            const std::optional<TFileDigest> digest = DigestFile(Ports.Files, file.Path, buffer);
            return !digest || digest->Size != file.Size || digest->Checksum != file.Checksum;
        });
        record.Merge(confirmed);
    } catch (const std::exception& e) {
        Note("Earlier uninstall record not used: " + std::string(e.what()));
    }
}

void TRegistration::SaveUninstallRecord() {
    if (!Registered) return;
    const TSpan span("save record");
    TUninstallRecord record = Journal.Record();
    record.KeyName = UninstallKeyName();
    record.DisplayName = DisplayNamePrefix + Identity.Description;
    record.DictionaryDirectory = DictionaryDirectory();
    record.VellumorDirectory = Identity.VellumorDirectory;
    int64_t size = 0;
    for (const TRecordedFile& file : record.Files) size += file.Size;

    const std::string path = record.DictionaryDirectory + "\\" + RecordName;
    if (Ports.Files.FileExists(path)) MergeEarlierRecord(record, path);
    if (!Ports.Files.WriteWholeFile(path, record.Text())) throw EInOutError("Cannot write " + path);
    Note("Uninstall record: " + path);
    try {
        Ports.Registry.WriteMachineRegistryDword(UninstallKeyRoot + record.KeyName, "EstimatedSize",
                                                 static_cast<uint32_t>((size + 1023) / 1024));
    } catch (const std::exception&) {
        // The size is only what Apps & Features shows; the installation stands without it.
    }
}
