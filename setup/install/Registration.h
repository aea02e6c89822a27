// An installation's registration as an installed program, the way Windows expects it: an
// uninstaller beside the dictionary, a key below the Uninstall key for Apps & Features, the
// dictionary as one more user of the Vellumor it installed over, and the record of what the
// installation wrote, saved beside the uninstaller.
#pragma once

#include "setup/uninstall/InstallationFolders.h"

#include <optional>
#include <string>

#include "setup/FormPorts.h"
class TInstallJournal;
class TRunNotes;

// Who the installation is, as the registration shows it.
struct TInstallationIdentity {
    std::string DictionaryName;
    std::string Description;
    std::string Author;
    double Created = 0; // the support record's creation date
    std::string DictionaryDirectory;
    std::string VellumorDirectory;
};

class TRegistration {
public:
    TRegistration(const TInstallPorts& ports, TInstallJournal& journal, const TRunNotes& note)
        : Ports(ports), Journal(journal), Note(note) {}

    // Forgets an earlier run's registration.
    void Clear();
    // Places the uninstaller beside the dictionary and registers the installation with Windows
    // and as a user of Vellumor; does nothing for a setup without an uninstaller.
    void Register(TInstallationIdentity identity);
    // Writes the record of what the installation wrote (merged with an earlier one in the same
    // place) and the installation's size; nothing when the installation was not registered.
    void SaveUninstallRecord();

private:
    TInstallPorts Ports;
    TInstallJournal& Journal;
    const TRunNotes& Note;

    TInstallationIdentity Identity;
    bool Registered = false;
    // What the registry said of an earlier installation of the same key, before this one
    // registered; nothing when there was none.
    std::optional<TInstallationFolders> EarlierInstallation;

    std::string DictionaryDirectory() const;
    std::string UninstallKeyName() const;
    // Records below the installation's Uninstall key the outermost folders it (or an earlier
    // installation here) created above the dictionary's and Vellumor's folder.
    void WriteCreatedAbove(const std::string& key);
    // Takes into record the entries of the record found at path that this installation can
    // confirm (see Registration.cpp).
    void MergeEarlierRecord(TUninstallRecord& record, const std::string& path);
};
