// Files and folders as the wizard and the uninstaller use them, through the platform's file calls
// and the wide API; every path in its extended form (\\?\C:\...), so that a folder longer than
// MAX_PATH works.
#pragma once

#include "setup/FormPorts.h"

// The calls of TUninstallFiles, for either port: the uninstaller's files are
// TWin32FileRemoval<TUninstallFiles>, without the installation's calls and their code.
template <class TPort>
class TWin32FileRemoval : public TPort {
public:
    std::unique_ptr<TStream> OpenFileRead(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    bool DirectoryExists(const std::string& path) override;
    bool IsReparsePoint(const std::string& path) override;
    // Sharing violations and access denied are tried again on THeldRetry's schedule.
    TRemoveResult RemoveFile(const std::string& path) override;
    TRemoveResult RemoveFileIfUnchanged(const std::string& path,
                                        const std::function<bool(TStream& bytes)>& unchanged) override;
    bool ScheduleAtRestart(const std::string& from, const std::string& to) override;
    bool RemoveEmptyDirectory(const std::string& path) override;

private:
    // Removes through a handle opened without following links; with unchanged, only after it
    // accepted the bytes read through that handle.
    TRemoveResult Remove(const std::string& path, const std::function<bool(TStream&)>* unchanged);
};

using TWin32UninstallFiles = TWin32FileRemoval<TUninstallFiles>;

class TWin32Files final : public TWin32FileRemoval<TFiles> {
public:
    bool MakeDirectory(const std::string& path) override;
    bool WritePrivateProfile(const std::string& section, const std::string& key, const std::string& value,
                             const std::string& fileName) override;
    std::string ReadFirstLine(const std::string& path) override;
    TFolderHold HoldFolder(const std::string& path) override;
    bool WriteWholeFile(const std::string& path, const std::string& bytes) override;
    bool OthersCanChange(const std::string& folder, bool entries) override;
    bool ProtectFolder(const std::string& folder) override;
    // A find-first search for exactly the path that sees only files that are neither directories,
    // hidden nor system files (read-only and archive files are seen); times outside 1980..2107 are
    // clamped to that range.
    std::optional<int32_t> FindFileTimeStamp(const std::string& path) override;
};

extern template class TWin32FileRemoval<TUninstallFiles>;
extern template class TWin32FileRemoval<TFiles>;
