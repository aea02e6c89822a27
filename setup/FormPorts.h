// The interfaces through which TMainForm reaches the outside world: its own controls
// (TFormControls) and the desktop and operating system (TDesktop, a few interfaces by role). The
// Win32 build implements them with real windows and API calls; the native tests implement them
// with recording fakes, so every decision of the wizard runs without a screen.
#pragma once

#include "platform/Exception.h"
#include "platform/Stream.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TArchiver;

// The form's controls that the wizard reads or changes, each named by what it is.
enum class TControlName {
    Notebook,
    BackButton,
    NextButton,
    CancelButton,
    Welcome,
    DictionaryPrompt,
    DictionaryGroup,
    DictionaryDirectoryButton,
    Picture,
    PackageTitle,
    ProgressBar,
    ProgressBarLabel,
    VellumorPrompt,
    VellumorGroup,
    PVDirectoryButton,
    PVDirectory,
    DictionaryDirectory,
    AuthorCaption,
    CreatedCaption,
    Author,
    Created,
    DescriptionCaption,
    Description,
    OpenDictionary,
};
constexpr size_t ControlCount = static_cast<size_t>(TControlName::OpenDictionary) + 1;

// One value per control, indexed by its name: a plain array, where a map would bring its tree code
// into every setup program.
template <typename T>
struct TPerControl {
    std::array<T, ControlCount> Values{};
    T& operator[](TControlName name) { return Values[static_cast<size_t>(name)]; }
    const T& operator[](TControlName name) const { return Values[static_cast<size_t>(name)]; }
};

// The name of a control as it appears on the form ("NextButton").
const char* ControlNameText(TControlName name);

class TFormControls {
public:
    virtual ~TFormControls() = default;

    // The notebook page on show (0 Welcome, 1 Vellumor, 2 Dictionary) and showing another one.
    // Showing a page raises no event: the form itself decides when the page has changed.
    virtual int PageIndex() const = 0;
    virtual void ShowPage(int index) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Text of an edit, or caption of a label, button, check box or group box.
    virtual std::string Text(TControlName control) const = 0;
    virtual void SetText(TControlName control, const std::string& text) = 0;
    virtual void SetVisible(TControlName control, bool visible) = 0;
    virtual void SetEnabled(TControlName control, bool enabled) = 0;
    virtual bool Checked(TControlName control) const = 0;
    virtual void SetChecked(TControlName control, bool checked) = 0;
    // Position of the progress bar (0 to 100); the bar redraws itself at once.
    virtual void SetProgress(int position) = 0;
    // The process-wide busy (hourglass) cursor, or back to the default cursor.
    virtual void SetBusyCursor(bool busy) = 0;
    // Paints a control now, without waiting for the message loop.
    virtual void Repaint(TControlName control) = 0;
    // Closes the main form, which ends the program once the current handler returns.
    virtual void Close() = 0;
    // Tells the application to end without using the form (start-up failures).
    virtual void Terminate() = 0;
};

// Kinds of message box; each sets the caption ("Error", "Information", "Confirm") and the icon.
enum class TMsgDlgType { mtError, mtInformation, mtConfirmation };
// mbCancelTryContinue: for a file in use, Cancel, Try Again and Continue.
enum class TMsgDlgButtons { mbOK, mbYesNo, mbCancelTryContinue };
enum class TModalResult { mrNone, mrOk, mrYes, mrNo, mrCancel, mrTryAgain, mrContinue };

// How a process is started: by the desktop's shell as the user who owns the desktop, or directly
// by this process as its own user.
enum class TStartRoute { DesktopShell, Direct };

// The routes by which a setup may start a program for the person at the desktop, in the order to
// try them. An elevated setup must not hand its administrator's token on: only the desktop's
// shell may start the program, and when it cannot, nothing is started.
std::vector<TStartRoute> StartRoutes(bool elevated);

// The failures of the ports' work, beside the platform's own that they raise too (EFOpenError,
// EInOutError and EResNotFound of platform/Exception.h, which the platform's code raises as well).

// The project mark cannot be written to the installed project file (TFiles::WritePrivateProfile
// said it could not).
class EIniFileException : public Exception {
    using Exception::Exception;
};

// A registry value cannot be written (TMachineRegistry).
class ERegistryException : public Exception {
    using Exception::Exception;
};

// The desktop and the operating system, split by the roles the code uses together: each part is
// an interface of its own, so that a desktop that answers some of them differently (the unattended
// run) replaces only those parts. The parts are never deleted through their interfaces.

// Modal boxes and the folder chooser, owned by the form.
// The message boxes, all an uninstallation shows.
class TUninstallDialogs {
public:
    // A modal message box owned by the form; the answer is the button pressed (mrNone when the
    // box was closed another way).
    virtual TModalResult MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) = 0;

protected:
    ~TUninstallDialogs() = default;
};

class TDialogs : public TUninstallDialogs {
public:
    // The application's general error display for an exception that no handler caught.
    virtual void ShowException(const std::string& message) = 0;
    // The modal directory chooser starting at start; empty when the user cancelled.
    virtual std::optional<std::string> ChooseDirectory(const std::string& start) = 0;

protected:
    ~TDialogs() = default;
};

// The registry below HKEY_LOCAL_MACHINE that registration and uninstall need.
class TMachineRegistry {
public:
    // Opens or creates key with full access and writes a string value; raises an exception when
    // the value cannot be written.
    virtual void WriteMachineRegistryString(const std::string& key, const std::string& name,
                                            const std::string& value) = 0;
    // A DWORD value, written like the string value (raises when it cannot be written).
    virtual void WriteMachineRegistryDword(const std::string& key, const std::string& name,
                                           uint32_t value) = 0;
    // A string value; nothing when the key or the value is missing or not a string.
    virtual std::optional<std::string> ReadMachineRegistryString(const std::string& key,
                                                                 const std::string& name) = 0;
    // Every string value of a key as name and data; empty when the key is missing.
    virtual std::vector<std::pair<std::string, std::string>>
    ReadMachineRegistryStrings(const std::string& key) = 0;
    virtual bool DeleteMachineRegistryValue(const std::string& key, const std::string& name) = 0;
    // Deletes a key with its values; with onlyIfEmpty only a key that has neither values nor
    // subkeys. False when nothing was deleted.
    virtual bool DeleteMachineRegistryKey(const std::string& key, bool onlyIfEmpty) = 0;

protected:
    ~TMachineRegistry() = default;
};

// The Start menu's program group and its shortcuts.
// The Programs folder, where an uninstallation looks for the shortcuts it removes.
class TUninstallShortcuts {
public:
    // The current user's Start-menu Programs folder; empty when the shell cannot tell.
    virtual std::string ProgramsFolder() = 0;

protected:
    ~TUninstallShortcuts() = default;
};

class TShortcuts : public TUninstallShortcuts {
public:
    // Creates and saves a shell link; returns the COM result code (negative on failure).
    virtual int32_t CreateShellLink(const std::string& target, const std::string& workingDirectory,
                                    const std::string& description, const std::string& linkPath) = 0;
    // Links will be made later in this run: what making them needs may be readied now, beside
    // the caller's work, without anything the person or the system sees. Called once.
    virtual void Prepare() {}

protected:
    ~TShortcuts() = default;
};

// Starting a program for the person at the desktop.
class TProgramStarter {
public:
    // Starts program by route with parameters (what follows the program on its command line) in
    // workingDirectory, with a normal window; does not wait. False when it could not.
    virtual bool StartProcess(TStartRoute route, const std::string& program, const std::string& parameters,
                              const std::string& workingDirectory) = 0;

protected:
    ~TProgramStarter() = default;
};

// What became of a file to be removed: gone now, not there to begin with, held open by a program
// after the short retries for a scanner's hold (a sharing violation), refused (a link, or a file
// whose final path is not the path given, so reached through a link at some level), or failed
// otherwise; or left because its bytes are not the ones expected (Changed).
enum class TRemoveResult { Removed, Missing, InUse, Refused, Failed, Changed };

// Files and folders.
// What HoldFolder found at a path: a folder it now holds, nothing (yet), or a link.
enum class TFolderCheck { Held, Missing, Link };
struct TFolderHold {
    TFolderCheck Check = TFolderCheck::Missing;
    // While it lives, nobody can rename, replace or delete the held folder.
    TKeepAlive Hold{nullptr, nullptr};
};

// Files and folders as an uninstallation works on them: the uninstaller holds this half alone,
// so that the code of the other stays out of it.
class TUninstallFiles {
public:
    // A read-only stream over a file that nobody may write to, rename or delete while it is open;
    // raises EFOpenError when it cannot be opened so.
    virtual std::unique_ptr<TStream> OpenFileRead(const std::string& path) = 0;
    // True when a file (not a directory) exists at path.
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool DirectoryExists(const std::string& path) = 0;
    // True when the file or folder at path is itself a reparse point (a junction, a symbolic link),
    // or is reached through one: its final path is not path.
    virtual bool IsReparsePoint(const std::string& path) = 0;
    // Deletes a file (a read-only one too), opened without following a link and removed through
    // that handle, trying again for a few seconds while another program holds it; never a link,
    // nor a file reached through one (Refused).
    virtual TRemoveResult RemoveFile(const std::string& path) = 0;
    // As RemoveFile, but first reads the file's bytes through the handle it is removed through,
    // with writers shut out, and removes it only when unchanged says so of them (Changed
    // otherwise): what was checked is what goes.
    virtual TRemoveResult RemoveFileIfUnchanged(const std::string& path,
                                                const std::function<bool(TStream& bytes)>& unchanged) = 0;
    // Has Windows move the file from to to at the next restart, replacing what is there (to
    // empty: delete from; an empty folder is deleted too); false when it cannot.
    virtual bool ScheduleAtRestart(const std::string& from, const std::string& to) = 0;
    // Removes a directory that is empty, the same way: never a link, nor one reached through a
    // link; false otherwise.
    virtual bool RemoveEmptyDirectory(const std::string& path) = 0;

protected:
    ~TUninstallFiles() = default;
};

// The rest, for an installation.
class TFiles : public TUninstallFiles {
public:
    // Creates one directory level; false when it cannot (for example because it exists).
    virtual bool MakeDirectory(const std::string& path) = 0;
    // Writes key=value into section of an initialization file; false when it cannot.
    virtual bool WritePrivateProfile(const std::string& section, const std::string& key,
                                     const std::string& value, const std::string& fileName) = 0;
    // The first line of a text file, read as OpenFileRead reads; raises EInOutError when it cannot
    // be opened or read, or is longer than MaxFirstLineLength (setup/record/TextLine.h).
    virtual std::string ReadFirstLine(const std::string& path) = 0;
    // Opens the folder at path without following a link and holds it open, unshared for deletion,
    // so that it stays the folder checked: Link when it is a reparse point or reached through one,
    // Missing when there is no folder to open.
    virtual TFolderHold HoldFolder(const std::string& path) = 0;
    // Creates or replaces a file with the bytes; false when it cannot.
    virtual bool WriteWholeFile(const std::string& path, const std::string& bytes) = 0;
    // Whether someone who is no administrator can change the folder: rename, replace or delete it,
    // delete its entries, or change its access or owner; with entries, also add files or folders
    // to it. An owner other than Administrators, SYSTEM, TrustedInstaller or the user running the
    // program counts as such a someone, as does a folder whose access cannot be read.
    virtual bool OthersCanChange(const std::string& folder, bool entries) = 0;
    // Gives an existing folder the protected access (ProtectedAccess.h), handed down to what is
    // below it; false when it cannot (a link is never given it).
    virtual bool ProtectFolder(const std::string& folder) = 0;
    // The last-write time, local and packed, of the file at exactly path, looking only at files
    // that are neither directories, hidden nor system files; nothing when there is none.
    virtual std::optional<int32_t> FindFileTimeStamp(const std::string& path) = 0;

protected:
    ~TFiles() = default;
};

// The running program: its executable, its resources and its rights.
class TModule {
public:
    // The full path of the running executable.
    virtual std::string ModulePath() = 0;
    // True when this process runs with an administrator's elevated token.
    virtual bool Elevated() = 0;
    // The bytes of a resource of the executable, or nothing when it has no such resource.
    virtual std::optional<std::string> LoadResource(const std::string& type, const std::string& name) = 0;
    // A new read-only stream over an archive resource of the executable; raises when it cannot.
    virtual std::unique_ptr<TStream> OpenArchiveResource(TArchiver& archiver, const std::string& name) = 0;

protected:
    ~TModule() = default;
};

// Today's date and the locale's formats.
class TLocale {
public:
    // Today's local date.
    virtual void CurrentDate(int& year, int& month, int& day) = 0;
    // The locale's short date and long time formats.
    virtual std::string FormatShortDate(int year, int month, int day) = 0;
    virtual std::string FormatLongTime(int hour, int minute, int second) = 0;

protected:
    ~TLocale() = default;
};

// The programs that hold files an installation must replace (Windows' Restart Manager): one
// session at a time, from ProgramsUsing to EndSession.
class TRunningPrograms {
public:
    // Starts a session over the files and names the programs that use them (their names as the
    // desktop shows them); empty when none does or the system cannot tell.
    virtual std::vector<std::string> ProgramsUsing(const std::vector<std::string>& paths) = 0;
    // Asks those programs to close (they may save first); false when one did not.
    virtual bool ClosePrograms() = 0;
    // Starts again those of the closed programs that registered for it; false when it could not.
    virtual bool RestartPrograms() = 0;
    // Ends the session (nothing when none runs).
    virtual void EndSession() = 0;

protected:
    ~TRunningPrograms() = default;
};

// The programs' names as one text ("Vellumor, Notepad").
std::string ProgramNames(const std::vector<std::string>& programs);
// The question whether to close them: "NAMES is running and uses files FILES. Close it and
// continue? (No: OTHERWISE)", in the plural for several programs.
std::string CloseProgramsQuestion(const std::vector<std::string>& programs, const std::string& files,
                                  const std::string& otherwise);

// The parts of the desktop that an installation and an uninstallation work through: all but the
// boxes and the chooser, which belong to whoever presents the work to a person.
struct TInstallPorts {
    TMachineRegistry& Registry;
    TShortcuts& Shortcuts;
    TProgramStarter& Starter;
    TFiles& Files;
    TModule& Module;
    TLocale& Locale;
    TRunningPrograms& Programs;
};

// The parts of the desktop that an uninstallation works through. The uninstaller holds these
// alone, so that the code of the others stays out of it.
struct TUninstallPorts {
    TUninstallDialogs& Dialogs;
    TMachineRegistry& Registry;
    TUninstallShortcuts& Shortcuts;
    TUninstallFiles& Files;
    TRunningPrograms& Programs;
};

// The parts of one desktop, each by reference.
struct TDesktop {
    TDialogs& Dialogs;
    TMachineRegistry& Registry;
    TShortcuts& Shortcuts;
    TProgramStarter& Starter;
    TFiles& Files;
    TModule& Module;
    TLocale& Locale;
    TRunningPrograms& Programs;

    operator TInstallPorts() const { return {Registry, Shortcuts, Starter, Files, Module, Locale, Programs}; }
    operator TUninstallPorts() const { return {Dialogs, Registry, Shortcuts, Files, Programs}; }
};
