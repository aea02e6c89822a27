// How the uninstaller removes itself, the usual way: the uninstaller in the dictionary folder
// copies itself into a new private folder below the temporary folder (random name; when elevated,
// writable only by Administrators and SYSTEM) and starts the copy there, which does the work; the original
// waits for the copy's exit code through a pipe and ends with it, so that whoever started the
// uninstaller (Apps & Features, a deployment script) still waits for the outcome. The copy then
// waits until the original has ended, deletes it and the folders that held it, and asks Windows
// to delete the copy itself and its folder at the next restart; an elevated copy, whose folder
// lies in the user's own temporary folder, asks nothing of the restart, and the next elevated run
// of an uninstaller removes it.
#pragma once

#include <string>
#include <vector>

// In the original: runs the copy with the same arguments; returns its exit code.
int RunFromTemporaryCopy(const std::string& arguments);

// In the copy: hands the exit code to the original, and once it has ended removes the original
// uninstaller from originDirectory (when removed is true) and then the given folders.
void FinishSelfRemoval(const std::string& handoff, const std::string& originDirectory, bool removed,
                       const std::vector<std::string>& foldersAfterSelf, int exitCode);
