// The uninstaller's work, portable so that every decision runs against the fakes: reading the
// record beside the uninstaller, asking "Remove ... and its files?", removing the dictionary's
// files and, when it was Vellumor's last user, Vellumor's files, "RootDir", the Start-menu group
// and the registry keys left empty; keeping the user files velmor.pvm and velmor.pvl and every
// file changed since it was installed; and handing the folders it created but could not remove
// yet to the dictionaries that remain.
#pragma once

#include "setup/uninstall/UninstallRecord.h"

#include <string>
#include <vector>

class TDesktop;
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
    TUninstaller(TDesktop& desktop, TInstallLog* log) : Desktop(desktop), Log(log) {}

    // Removes the installation whose uninstaller and record are in directory; asks first unless
    // silent, and shows what it kept at the end unless silent.
    TUninstallOutcome Run(const std::string& directory, bool silent);

private:
    void Note(const std::string& line);
    void RemoveFiles(const TUninstallRecord& record, bool lastOfVellumor);
    void RemoveFromRegistry(const TUninstallRecord& record, bool lastOfVellumor, bool lastOverall);
    void RemoveFolders(const TUninstallRecord& record, const std::string& directory, bool lastOverall,
                       TUninstallOutcome& outcome);

    TDesktop& Desktop;
    TInstallLog* Log;
    std::vector<std::string> Kept;
    std::vector<uint8_t> DigestBuffer; // where each installed file is read to be compared
    bool Failed = false;
};
