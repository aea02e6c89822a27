// The uninstaller's work, portable so that every decision runs against the fakes: reading the
// record beside the uninstaller, asking "Remove ... and its files?", removing the dictionary's
// files and, when it was Vellumor's last user, Vellumor's files, "RootDir", the Start-menu group
// and the registry keys left empty; keeping the user files velmor.pvm and velmor.pvl and every
// file changed since it was installed; and handing the folders it created but could not remove
// yet to the dictionaries that remain, as it hands on the files it wrote into a Vellumor folder
// still in use, for the last uninstall of that folder. The record is read against what the
// registry says the installation owns (InstallationFolders.h): its other lines are skipped and
// logged. Programs that hold its files are closed when the person (or /CLOSEAPPLICATIONS) says so;
// a file still in use is removed at the next restart (exit 3010). When a file can neither be
// removed nor left for the restart, the record and the registration stay, so that a later
// uninstall finds what is left.
#pragma once

#include "setup/FormPorts.h"

#include "setup/uninstall/InstallationFolders.h"

#include <string>
#include <utility>
#include <vector>

class TInstallLog;

struct TUninstallOutcome {
    int ExitCode = 1;
    // The record was acted on: the uninstaller has nothing left to do and goes too.
    bool Removed = false;
    // Folders, deepest first, that hold the uninstaller itself: they can go only once it is gone.
    std::vector<std::string> FoldersAfterSelf;
};

class TUninstaller {
public:
    TUninstaller(const TUninstallPorts& ports, TInstallLog* log) : Ports(ports), Log(log) {}

    // Removes the installation whose uninstaller and record are in directory; asks first unless
    // silent, and shows what it kept at the end unless silent. closePrograms: the silent run's
    // answer to closing the programs that use the files.
    TUninstallOutcome Run(const std::string& directory, bool silent, bool closePrograms = false);

private:
    void Note(const std::string& line);
    void RemoveFiles(const TUninstallRecord& record, bool lastOfVellumor, bool lastOverall);
    // Removes one file whose bytes are still one of digests, checked through the handle that
    // removes it: in use, it is left for the restart to remove; Failed when it cannot be.
    void RemoveOne(const std::string& path, const std::vector<TFileDigest>& digests);
    // Whether to close the programs that use paths, and closing them; true when some were closed.
    bool ClosePrograms(const std::vector<std::string>& paths);
    // Whether something below folder is removed at the next restart.
    bool HoldsAtRestart(const std::string& folder) const;
    // Notes a file of a Vellumor folder still in use, unchanged since it was written, for the
    // folder's last uninstall.
    void HandOn(const TRecordedFile& file);
    // Whether a folder above path, up to the drive's root, is a junction or symbolic link, which a
    // user who can write that folder could point at any folder of the machine.
    bool BehindLink(const std::string& path);
    // Whether the folder itself is a junction or symbolic link.
    bool IsLink(const std::string& folder);
    void RemoveFromRegistry(const TUninstallRecord& record, bool lastOfVellumor, bool lastOverall);
    void RemoveFolders(const TUninstallRecord& record, const std::string& directory, bool lastOverall,
                       TUninstallOutcome& outcome);

    TUninstallPorts Ports;
    TInstallLog* Log;
    std::vector<std::string> Kept;
    // Files and folders left for the next restart to remove.
    std::vector<std::string> AtRestart;
    bool Silent = false;
    bool CloseAnswer = false;
    std::vector<uint8_t> DigestBuffer; // where each installed file is read to be compared
    std::vector<std::pair<std::string, bool>> CheckedFolders; // each folder asked about: a link?
    bool Failed = false;
};
