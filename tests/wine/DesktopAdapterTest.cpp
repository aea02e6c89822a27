// The Win32 desktop services of the wizard against the real API (run under Wine): resources and
// module path, the command line, the registry, shell links and the Programs folder, private-profile
// writes, process start, the time stamp search with its hidden and system files, file queries,
// first lines, the locale formats, the folder chooser's reading of a typed name, and the wizard
// window's text: every caption and value fully visible in its place at each scaling, with the font
// Wine puts in place of "MS Sans Serif". Names outside the ANSI code page (Cyrillic and Polish
// outside 1252; 表 and ソ, whose second byte in code page 932 is the backslash 0x5C) and a folder
// longer than MAX_PATH go through each port.
#include "compress/Archiver.h"
#include "platform/Exception.h"
#include "platform/files/FileStream.h"
#include "platform/win32/Owned.h"
#include "platform/win32/WideText.h"
#include "setup/MainForm.h"
#include "setup/ProtectedAccess.h"
#include "setup/install/FolderProtection.h"
#include "setup/install/KoStamp.h"
#include "setup/win32/OwnProcess.h"
#include "setup/win32/PackedPicture.h"
#include "setup/win32/ProgramArguments.h"
#include "setup/win32/Win32Desktop.h"
#include "setup/win32/WizardWindow.h"
#include "tests/support/ToolRunner.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>
#include <thread>

namespace {

std::string Win(const std::filesystem::path& path) {
    return path.string();
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Utf8Of(const std::filesystem::path& path) {
    return WideToUtf8(path.wstring());
}

std::string ReadText(TFiles& files, const std::string& path) {
    const std::vector<uint8_t> bytes = ReadAll(*files.OpenFileRead(path));
    return std::string(bytes.begin(), bytes.end());
}

// Sets a file's last-write time from a local packed date-time, as the archive component does.
void SetLocalStamp(const std::string& path, WORD date, WORD time) {
    FILETIME local{}, utc{};
    ASSERT_TRUE(DosDateTimeToFileTime(date, time, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &utc));
    CloseHandle(file);
}

class ComTest : public ::testing::Test {
protected:
    ComTest() { CoInitialize(nullptr); }
    ~ComTest() override { CoUninitialize(); }
};

TEST(DesktopResources, SupportResourceKeepsAllItsBytes) {
    TWin32Module module;
    const std::optional<std::string> bytes = module.LoadResource("PARLAVOX", "SUPPORT");
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, std::string("r\tAdapter\tdesc\tauthor\t36211.466317\0after the NUL", 48));
}

TEST(DesktopResources, MissingResourceIsNothing) {
    TWin32Module module;
    EXPECT_FALSE(module.LoadResource("PARLAVOX", "NOSUCH").has_value());
    EXPECT_FALSE(module.LoadResource("NOSUCHTYPE", "SUPPORT").has_value());
}

TEST(DesktopResources, ArchiveResourceOpensAsStream) {
    TWin32Desktop desktop(nullptr, "test");
    TArchiver archiver;
    std::unique_ptr<TStream> stream = desktop.Module.OpenArchiveResource(archiver, "DICTIONARY");
    ASSERT_TRUE(stream);
    std::vector<uint8_t> bytes(static_cast<size_t>(stream->Size()));
    EXPECT_EQ(stream->Read(bytes.data(), static_cast<int32_t>(bytes.size())), 8);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "QDMX\x1aNON");
    EXPECT_ANY_THROW(desktop.Module.OpenArchiveResource(archiver, "VELLUMOR"));
}

// The Welcome page's picture as the build packs it: stretched to the asked size with its colours
// (the light corner, the blue tile); a frame cut short and a packed file that is no bitmap give none.
TEST(DesktopResources, PackedPictureIsStretchedAndBadOnesAreRefused) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    HBITMAP picture = LoadPackedPicture(self, L"PICTURE", 240, 240);
    ASSERT_NE(picture, nullptr);
    BITMAP size{};
    GetObjectA(picture, sizeof size, &size);
    EXPECT_EQ(size.bmWidth, 240);
    EXPECT_EQ(size.bmHeight, 240);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, picture);
    const COLORREF corner = GetPixel(dc, 2, 2), tile = GetPixel(dc, 40, 40);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(picture);
    EXPECT_GE(GetRValue(corner), 230);
    EXPECT_GE(GetBValue(corner), 230);
    EXPECT_GT(GetBValue(tile), GetRValue(tile) + 80);

    EXPECT_EQ(LoadPackedPicture(self, L"PICTURE_CUT", 120, 120), nullptr);
    EXPECT_EQ(LoadPackedPicture(self, L"NOT_A_PICTURE", 120, 120), nullptr);
    EXPECT_EQ(LoadPackedPicture(self, L"NOSUCH", 120, 120), nullptr);
}

TEST(DesktopResources, ModulePathNamesThisProgram) {
    const std::string path = TWin32Module().ModulePath();
    ASSERT_GE(path.size(), 3u);
    EXPECT_EQ(path[1], ':');
    EXPECT_NE(path.find("wizard_adapter_tests.exe"), std::string::npos) << path;
}

// Run by the test below in a copy of this program: writes what the copy sees of its own path and
// command line (UTF-8, one per line) to the file that PARLAVOX_IDENTITY_REPORT names.
TEST(DesktopIdentity, ReportForACopy) {
    const char* report = std::getenv("PARLAVOX_IDENTITY_REPORT");
    if (!report) GTEST_SKIP() << "runs only in the copy that the next test starts";
    TWin32Files files;
    ASSERT_TRUE(files.WriteWholeFile(report, TWin32Module().ModulePath() + "\n" + ProgramArguments() + "\n"));
}

// A copy of this program below a Japanese folder, started with a Cyrillic argument, sees its own
// path and its arguments whole.
TEST(DesktopIdentity, ACopyBelowANonAsciiFolderKnowsItsPathAndArguments) {
    TScratchFolder scratch("adapter-identity");
    const std::filesystem::path folder = scratch.Path / L"\u8868\u793a" / L"\u30bd\u30d5\u30c8";
    std::filesystem::create_directories(folder);
    const std::filesystem::path copy = folder / L"adapter.exe";
    ASSERT_TRUE(CopyFileW(Utf8ToWide(TWin32Module().ModulePath()).c_str(), copy.c_str(), FALSE));
    const std::string report = Utf8Of(scratch.Path / "report.txt");
    ASSERT_TRUE(SetEnvironmentVariableW(L"PARLAVOX_IDENTITY_REPORT", Utf8ToWide(report).c_str()));
    std::wstring commandLine =
        L"\"" + copy.wstring() +
        L"\" --gtest_filter=DesktopIdentity.ReportForACopy /D=C:\\\u0421\u043b\u043e\u0432\u0430\u0440\u044c";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableW(L"PARLAVOX_IDENTITY_REPORT", nullptr);
    ASSERT_TRUE(started);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 0u);
    TWin32Files files;
    EXPECT_EQ(ReadText(files, report),
              Utf8Of(copy) + "\n--gtest_filter=DesktopIdentity.ReportForACopy /D=C:\\Словарь\n");
}

struct TArgumentsCase {
    const wchar_t* CommandLine;
    const wchar_t* Arguments;
};

// The program's name ends as the C runtime ends it for WinMain.
TEST(DesktopIdentity, TheProgramsNameIsSkippedAsTheRuntimeSkipsIt) {
    for (const TArgumentsCase& c : {
             TArgumentsCase{L"\"C:\\Program Files\\setup.exe\" /S /D=C:\\Apps", L"/S /D=C:\\Apps"},
             TArgumentsCase{L"setup.exe\t  /S", L"/S"},
             TArgumentsCase{L"C:\\\"Some Dir\"\\setup.exe /D=C:\\x y", L"/D=C:\\x y"},
             TArgumentsCase{L"setup.exe", L""},
             TArgumentsCase{L"\"C:\\No End /S", L""},
         })
        EXPECT_EQ(SkipProgramName(c.CommandLine), c.Arguments) << WideToUtf8(c.CommandLine);
}

TEST(DesktopRegistry, WritesStringBelowLocalMachine) {
    const std::string key = "Software\\Parlavox\\AdapterTest\\4.0";
    TWin32Registry registry;
    registry.WriteMachineRegistryString(key, "RootDir", "C:\\Apps\\VL");
    char value[MAX_PATH] = {};
    DWORD size = sizeof value;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "RootDir", RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(value, "C:\\Apps\\VL");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
}

TEST(DesktopRegistry, FailureRaisesRegistryError) {
    TWin32Desktop desktop(nullptr, "test");
    // A key name may not start with a backslash.
    EXPECT_THROW(desktop.Registry.WriteMachineRegistryString("\\", "RootDir", "x"), ERegistryException);
}

// Names and data outside the ANSI code page are stored as UTF-16 and read back whole; a string
// stored without its terminating NUL is read up to its size.
TEST(DesktopRegistry, NonAsciiKeysNamesAndValuesRoundTrip) {
    const std::string key = "Software\\Parlavox\\AdapterTest\\Łódź";
    TWin32Registry registry;
    registry.WriteMachineRegistryString(key, "Wörterbuch", "C:\\表示\\ソフト");
    registry.WriteMachineRegistryString(key, "Словарь", "C:\\Словарь");
    wchar_t stored[64] = {};
    DWORD size = sizeof stored;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, Utf8ToWide(key).c_str(), L"W\u00f6rterbuch", RRF_RT_REG_SZ,
                           nullptr, stored, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(stored), L"C:\\\u8868\u793a\\\u30bd\u30d5\u30c8");
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, Utf8ToWide(key).c_str(), L"Bare", REG_SZ, L"abcdef", 6),
              ERROR_SUCCESS);

    EXPECT_EQ(registry.ReadMachineRegistryString(key, "Wörterbuch"), "C:\\表示\\ソフト");
    EXPECT_EQ(registry.ReadMachineRegistryString(key, "Bare"), "abc");
    std::vector<std::pair<std::string, std::string>> all = registry.ReadMachineRegistryStrings(key);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<std::pair<std::string, std::string>>{
                       {"Bare", "abc"}, {"Wörterbuch", "C:\\表示\\ソフト"}, {"Словарь", "C:\\Словарь"}}));
    EXPECT_TRUE(registry.DeleteMachineRegistryValue(key, "Словарь"));
    EXPECT_FALSE(registry.ReadMachineRegistryString(key, "Словарь"));
    EXPECT_FALSE(registry.DeleteMachineRegistryKey(key, true));
    EXPECT_TRUE(registry.DeleteMachineRegistryKey(key, false));
    EXPECT_FALSE(registry.ReadMachineRegistryString(key, "Wörterbuch"));
}

TEST_F(ComTest, ShellLinkPointsToTargetWithWorkingDirectory) {
    TScratchFolder scratch("adapter-link");
    const std::string target = TWin32Module().ModulePath();
    const std::string directory = Win(std::filesystem::path(target).parent_path());
    const std::string link = scratch.File("Vellumor.lnk");
    ASSERT_EQ(TWin32Shortcuts().CreateShellLink(target, directory, "Manual", link), S_OK);

    IShellLinkA* shellLink = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               reinterpret_cast<void**>(&shellLink)),
              S_OK);
    IPersistFile* file = nullptr;
    ASSERT_EQ(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    WCHAR wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
    ASSERT_EQ(file->Load(wide, STGM_READ), S_OK);
    char text[MAX_PATH] = {};
    EXPECT_EQ(shellLink->GetPath(text, MAX_PATH, nullptr, 0), S_OK);
    EXPECT_TRUE(lstrcmpiA(text, target.c_str()) == 0) << text;
    EXPECT_EQ(shellLink->GetWorkingDirectory(text, MAX_PATH), S_OK);
    EXPECT_TRUE(lstrcmpiA(text, directory.c_str()) == 0) << text;
    EXPECT_EQ(shellLink->GetDescription(text, MAX_PATH), S_OK);
    EXPECT_STREQ(text, "Manual");
    file->Release();
    shellLink->Release();
}

TEST_F(ComTest, ShellLinkIntoMissingFolderFails) {
    TScratchFolder scratch("adapter-link-missing");
    const HRESULT result = TWin32Shortcuts().CreateShellLink(TWin32Module().ModulePath(), "C:\\", "",
                                                             scratch.File("no\\such\\x.lnk"));
    EXPECT_TRUE(FAILED(result));
}

// A link named in Cyrillic in a Polish folder to a Japanese target.
TEST_F(ComTest, ShellLinkToANonAsciiTarget) {
    TScratchFolder scratch("adapter-link-names");
    const std::filesystem::path folder = scratch.Path / L"\u0141\u00f3d\u017a";
    std::filesystem::create_directories(folder);
    const std::filesystem::path target = folder / L"\u8868\u793a.exe";
    const std::filesystem::path link = folder / L"\u0421\u043b\u043e\u0432\u0430\u0440\u044c.lnk";
    ASSERT_TRUE(CopyFileW(Utf8ToWide(TWin32Module().ModulePath()).c_str(), target.c_str(), FALSE));
    ASSERT_EQ(TWin32Shortcuts().CreateShellLink(Utf8Of(target), Utf8Of(folder), "Wörterbuch", Utf8Of(link)),
              S_OK);

    TComPtr<IShellLinkW> shellLink;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               shellLink.OutVoid()),
              S_OK);
    TComPtr<IPersistFile> file;
    ASSERT_EQ(shellLink->QueryInterface(IID_IPersistFile, file.OutVoid()), S_OK);
    ASSERT_EQ(file->Load(link.c_str(), STGM_READ), S_OK);
    // The target as the link's item ID list holds it. (Wine's GetPath answers from the link's
    // location block, which it writes in the ANSI code page.)
    TCoTaskMem<ITEMIDLIST> list;
    ASSERT_EQ(shellLink->GetIDList(list.Out()), S_OK);
    TCoTaskMem<wchar_t> path;
    ASSERT_EQ(SHGetNameFromIDList(list.get(), SIGDN_FILESYSPATH, path.Out()), S_OK);
    EXPECT_EQ(lstrcmpiW(path.get(), target.c_str()), 0) << WideToUtf8(path.get());
    wchar_t text[MAX_PATH] = {};
    EXPECT_EQ(shellLink->GetWorkingDirectory(text, MAX_PATH), S_OK);
    EXPECT_EQ(lstrcmpiW(text, folder.c_str()), 0) << WideToUtf8(text);
    EXPECT_EQ(shellLink->GetDescription(text, MAX_PATH), S_OK);
    EXPECT_STREQ(text, L"W\u00f6rterbuch");
}

// The shell would save a link to a target longer than MAX_PATH that leads nowhere: none is made.
TEST_F(ComTest, NoShellLinkToATargetLongerThanMaxPath) {
    TScratchFolder scratch("adapter-link-long");
    const std::string folder =
        Utf8Of(scratch.Path) + "\\" + std::string(120, 'v') + "\\" + std::string(120, 'v');
    const std::string link = Utf8Of(scratch.Path / "Vellumor.lnk");
    TWin32Shortcuts shortcuts;
    EXPECT_EQ(shortcuts.CreateShellLink(folder + "\\velmor.exe", folder, "", link),
              HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(shortcuts.CreateShellLink(TWin32Module().ModulePath(), folder, "", link),
              HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_FALSE(std::filesystem::exists(scratch.Path / "Vellumor.lnk"));
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    wchar_t kind[16] = {};
    GetClassNameW(window, kind, 16);
    if (lstrcmpW(kind, L"#32770") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The folder chooser's edit box, typed into (a name outside the ANSI code page, below a folder
// longer than MAX_PATH) and confirmed: the chooser gives the text back whole. (The shell itself
// cannot show a folder that deep: started at one, the chooser shows the desktop.)
TEST_F(ComTest, TheChooserGivesATypedFolderBackWhole) {
    const std::wstring typed =
        L"C:\\\u8868\u793a\\" + std::wstring(150, L'v') + L"\\" + std::wstring(150, L'w');
    const DWORD thread = GetCurrentThreadId();
    std::thread user([thread, typed] {
        for (int attempt = 0; attempt < 200; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            HWND dialog = nullptr;
            EnumThreadWindows(thread, FindDialog, reinterpret_cast<LPARAM>(&dialog));
            HWND edit = dialog ? FindWindowExW(dialog, nullptr, L"Edit", nullptr) : nullptr;
            if (!edit) continue;
            SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return;
        }
    });
    const std::optional<std::string> chosen = TWin32Dialogs(nullptr, "test").ChooseDirectory("C:\\");
    user.join();
    EXPECT_EQ(chosen, WideToUtf8(typed));
}

TEST_F(ComTest, ProgramsFolderIsAnExistingStartMenuFolder) {
    const std::string programs = TWin32Shortcuts().ProgramsFolder();
    ASSERT_FALSE(programs.empty());
    EXPECT_TRUE(std::filesystem::is_directory(programs)) << programs;
    EXPECT_NE(programs.find("Programs"), std::string::npos) << programs;
}

TEST(DesktopProfile, AddsKeyToSectionAndKeepsTheRest) {
    TScratchFolder scratch("adapter-profile");
    const std::string ini = scratch.File("x.vlp");
    WriteText(ini, "[Other]\r\nA=1\r\n[Project]\r\nName=Sample\r\n");
    ASSERT_TRUE(TWin32Files().WritePrivateProfile("Project", "Deployed", "1", ini));
    char value[64] = {};
    GetPrivateProfileStringA("Project", "Deployed", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "1");
    GetPrivateProfileStringA("Project", "Name", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "Sample");
    GetPrivateProfileStringA("Other", "A", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "1");
}

TEST(DesktopProfile, AddsMissingSection) {
    TScratchFolder scratch("adapter-profile-section");
    const std::string ini = scratch.File("y.vlp");
    WriteText(ini, "[Other]\r\nA=1\r\n");
    ASSERT_TRUE(TWin32Files().WritePrivateProfile("Project", "Deployed", "1", ini));
    char value[64] = {};
    GetPrivateProfileStringA("Project", "Deployed", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "1");
}

TEST(DesktopProfile, FileInMissingFolderFails) {
    TScratchFolder scratch("adapter-profile-missing");
    EXPECT_FALSE(
        TWin32Files().WritePrivateProfile("Project", "Deployed", "1", scratch.File("no\\such\\z.vlp")));
}

TEST(DesktopProcess, StartsProgramWithBlanksInItsPath) {
    TScratchFolder scratch("adapter process");
    const std::string marker = scratch.File("started.txt");
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string cmd = std::string(system) + "\\cmd.exe";
    TWin32ProgramStarter starter;
    ASSERT_TRUE(starter.StartProcess(TStartRoute::Direct, cmd, "/c echo started> \"" + marker + "\"", ""));
    for (int i = 0; i < 100 && !std::filesystem::exists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(std::filesystem::exists(marker));
    EXPECT_FALSE(starter.StartProcess(TStartRoute::Direct, scratch.File("missing.exe"), "", ""));
}

// The uninstaller's private folder: a new name each time, made with its restricted DACL. (Wine
// turns the DACL into the folder's Unix mode and reports one made from that mode, so the entries
// themselves are checked in silent-e2e, by the mode.)
TEST(DesktopPrivateFolder, IsNewEachTime) {
    const std::wstring first = CreatePrivateTemporaryFolder(L"ParlavoxTest-", true);
    const std::wstring second = CreatePrivateTemporaryFolder(L"ParlavoxTest-", true);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(first.substr(0, first.size() - 16), second.substr(0, second.size() - 16));
    EXPECT_TRUE(RemoveDirectoryW(first.c_str()));
    EXPECT_TRUE(RemoveDirectoryW(second.c_str()));
}

// A scratch folder name of the running case; parameterised names lose their "/".
std::string UniqueName(const std::string& prefix) {
    std::string name = prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name)
        if (c == '/') c = '-';
    return name;
}

class DesktopTimeStamp : public ::testing::Test {
protected:
    // ctest runs the cases as separate processes at the same time: each gets its own folder.
    DesktopTimeStamp() : Scratch(UniqueName("adapter-stamp-")) {
        File = Scratch.File("words.vlm");
        WriteText(File, "data");
    }
    void SetAttributes(DWORD attributes) { ASSERT_TRUE(SetFileAttributesA(File.c_str(), attributes)); }
    ~DesktopTimeStamp() override { SetFileAttributesA(File.c_str(), FILE_ATTRIBUTE_NORMAL); }

    TScratchFolder Scratch;
    std::string File;
};

// 15 June 2001, 10:30:20 packs to date 0x2ACF and time 0x53CA.
TEST_F(DesktopTimeStamp, PacksLocalLastWriteTime) {
    SetLocalStamp(File, 0x2ACF, 0x53CA);
    EXPECT_EQ(TWin32Files().FindFileTimeStamp(File), std::optional<int32_t>(0x2ACF53CA));
}

struct TAttributeCase {
    const char* Name;
    DWORD Attributes;
    bool Seen;
};

// Test names show the case, not its bytes.
void PrintTo(const TAttributeCase& c, std::ostream* os) {
    *os << c.Name;
}

class DesktopTimeStampAttributes : public DesktopTimeStamp,
                                   public ::testing::WithParamInterface<TAttributeCase> {};

TEST_P(DesktopTimeStampAttributes, HiddenAndSystemFilesAreNotSeen) {
    SetLocalStamp(File, 0x2ACF, 0x53CA);
    SetAttributes(GetParam().Attributes);
    EXPECT_EQ(TWin32Files().FindFileTimeStamp(File).has_value(), GetParam().Seen);
}

INSTANTIATE_TEST_SUITE_P(Attributes, DesktopTimeStampAttributes,
                         ::testing::Values(TAttributeCase{"Normal", FILE_ATTRIBUTE_NORMAL, true},
                                           TAttributeCase{"ReadOnly", FILE_ATTRIBUTE_READONLY, true},
                                           TAttributeCase{"Archive", FILE_ATTRIBUTE_ARCHIVE, true},
                                           TAttributeCase{"Hidden", FILE_ATTRIBUTE_HIDDEN, false},
                                           TAttributeCase{"System", FILE_ATTRIBUTE_SYSTEM, false}),
                         [](const auto& info) { return info.param.Name; });

TEST_F(DesktopTimeStamp, HiddenFileFailsWithPathInMessage) {
    SetAttributes(FILE_ATTRIBUTE_HIDDEN);
    TWin32Desktop desktop(nullptr, "test");
    try {
        GetFileTimeStamp(desktop.Files, File);
        FAIL() << "no error for a hidden file";
    } catch (const ETimeStampError& e) {
        EXPECT_EQ(e.Message, "Could not get the time stamp of " + File);
    }
}

TEST_F(DesktopTimeStamp, DirectoryMissingFileAndWildcardAreNotSeen) {
    TWin32Files files;
    EXPECT_FALSE(files.FindFileTimeStamp(Win(Scratch.Path)).has_value());
    EXPECT_FALSE(files.FindFileTimeStamp(Scratch.File("missing.vlm")).has_value());
    EXPECT_FALSE(files.FindFileTimeStamp(Scratch.File("*.vlm")).has_value());
}

TEST_F(DesktopTimeStamp, TimeBefore1980IsClampedToFirstPackedTime) {
    FILETIME old{};
    SYSTEMTIME parts{};
    parts.wYear = 1975;
    parts.wMonth = 5;
    parts.wDay = 1;
    parts.wHour = 12;
    ASSERT_TRUE(SystemTimeToFileTime(&parts, &old));
    HANDLE file = CreateFileA(File.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFileTime(file, nullptr, nullptr, &old);
    CloseHandle(file);
    EXPECT_EQ(TWin32Files().FindFileTimeStamp(File), std::optional<int32_t>(0x00210000));
}

TEST(DesktopFiles, FileExistsOnlyForFiles) {
    TScratchFolder scratch("adapter-files");
    WriteText(scratch.Path / "a.txt", "x");
    TWin32Desktop desktop(nullptr, "test");
    EXPECT_TRUE(desktop.Files.FileExists(scratch.File("a.txt")));
    EXPECT_FALSE(desktop.Files.FileExists(Win(scratch.Path)));
    EXPECT_FALSE(desktop.Files.FileExists(scratch.File("b.txt")));
}

// What an installation and its uninstall do with a folder, through the files port: make it level
// by level, write a project file, mark it, stamp it, and remove it read-only and all.
void InstallAndUninstall(const std::string& root, const std::vector<std::string>& levels) {
    TWin32Files files;
    std::vector<std::string> folders;
    std::string folder = root;
    for (const std::string& level : levels) {
        folder += "\\" + level;
        ASSERT_TRUE(files.MakeDirectory(folder)) << folder;
        folders.push_back(folder);
    }
    EXPECT_TRUE(files.DirectoryExists(folder));
    EXPECT_FALSE(files.IsReparsePoint(folder));
    const std::string project = folder + "\\Wörterbuch.vlp";
    ASSERT_TRUE(files.WriteWholeFile(project, "[Project]\r\nName=Sample\r\n"));
    EXPECT_TRUE(std::filesystem::is_regular_file(Utf8ToWide(project)));
    EXPECT_TRUE(files.FileExists(project));
    EXPECT_EQ(files.ReadFirstLine(project), "[Project]");
    ASSERT_TRUE(files.WritePrivateProfile("Project", "Deployed", "1", project));
    EXPECT_EQ(ReadText(files, project), "[Project]\r\nName=Sample\r\nDeployed=1\r\n");
    EXPECT_TRUE(files.FindFileTimeStamp(project).has_value());
    ASSERT_TRUE(SetFileAttributesW(WidePath(project).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(files.RemoveFile(project), TRemoveResult::Removed);
    EXPECT_EQ(files.RemoveFile(project), TRemoveResult::Missing);
    EXPECT_FALSE(files.FileExists(project));
    for (auto level = folders.rbegin(); level != folders.rend(); ++level)
        EXPECT_TRUE(files.RemoveEmptyDirectory(*level)) << *level;
    EXPECT_FALSE(files.DirectoryExists(folders.front()));
}

bool SetFolderSddl(const std::string& folder, const wchar_t* sddl) {
    TLocalMemory<void> descriptor;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    std::wstring wide = WidePath(folder);
    return ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.Out(),
                                                                nullptr) &&
           GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) &&
           SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                 nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

// The protected access's text as the system reads it: a protected list of three entries, each
// handed down to folders and files, full control for Administrators and SYSTEM alone, read and
// execute for Users.
TEST(DesktopFiles, TheProtectedAccessTextIsWhatTheSystemReads) {
    TLocalMemory<void> descriptor;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        Utf8ToWide(ProtectedFolderSddl).c_str(), SDDL_REVISION_1, descriptor.Out(), nullptr));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) && present && dacl);
    ASSERT_EQ(dacl->AceCount, 3);
    const std::pair<WELL_KNOWN_SID_TYPE, ACCESS_MASK> expected[] = {
        {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
        {WinLocalSystemSid, FILE_ALL_ACCESS},
        {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
    for (DWORD index = 0; index < 3; ++index) {
        void* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, index, &ace));
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(allowed->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
        EXPECT_TRUE(IsWellKnownSid(const_cast<DWORD*>(&allowed->SidStart), expected[index].first)) << index;
        EXPECT_EQ(allowed->Mask, expected[index].second) << index;
    }
}

// A folder whose access lets others change it, built so (Wine 8 keeps the access it is given as
// the folder's Unix mode, so the grant goes to Everyone, which the mode can show): refused by the
// installation's check, naming it; given the protected access, it passes, and so does what is
// made in it.
TEST(DesktopFiles, AFolderOthersCanChangeIsRefusedUntilProtected) {
    TScratchFolder scratch("adapter-access");
    TWin32Files files;
    const std::string folder = Utf8Of(scratch.Path / "Apps");
    ASSERT_TRUE(files.MakeDirectory(folder));
    EXPECT_FALSE(files.OthersCanChange(folder, true));
    ASSERT_TRUE(SetFolderSddl(folder, L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;WD)"));
    EXPECT_TRUE(files.OthersCanChange(folder, false));
    const std::optional<std::string> refusal =
        RefuseChangeableFolders(files, {folder}, TFoldersMadeEarlier());
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(
        refusal->rfind("The folder \"" + folder + "\" can be changed by users who are not administrators", 0),
        0u)
        << *refusal;

    ASSERT_TRUE(files.ProtectFolder(folder));
    EXPECT_FALSE(files.OthersCanChange(folder, true));
    EXPECT_FALSE(RefuseChangeableFolders(files, {folder}, TFoldersMadeEarlier()).has_value());
    const std::string below = folder + "\\VL";
    ASSERT_TRUE(files.MakeDirectory(below));
    EXPECT_FALSE(files.OthersCanChange(below, true));
    EXPECT_TRUE(files.WriteWholeFile(below + "\\uninstall.dat", "record"));
}

TEST(DesktopFiles, NonAsciiFoldersInstallAndUninstall) {
    TScratchFolder scratch("adapter-names");
    InstallAndUninstall(Utf8Of(scratch.Path), {"Словарь", "Łódź", "表示", "ソフト"});
}

TEST(DesktopFiles, AFolderLongerThanMaxPathInstallsAndUninstalls) {
    TScratchFolder scratch("adapter-long");
    const std::string level(100, 'd');
    InstallAndUninstall(Utf8Of(scratch.Path), {level, level, level + "ß"});
}

TEST(DesktopFiles, ReadFirstLineStopsAtLineEnd) {
    TScratchFolder scratch("adapter-lines");
    WriteText(scratch.Path / "setup.vl1", "r\tName\td\ta\t36211\r\nsecond line\r\n");
    TWin32Desktop desktop(nullptr, "test");
    EXPECT_EQ(desktop.Files.ReadFirstLine(scratch.File("setup.vl1")), "r\tName\td\ta\t36211");
    EXPECT_THROW(desktop.Files.ReadFirstLine(scratch.File("missing.vl1")), EInOutError);
}

TEST(DesktopLocale, FormatsDateAndTimeWithTheirNumbers) {
    TWin32Locale locale;
    const std::string date = locale.FormatShortDate(1999, 2, 20);
    EXPECT_NE(date.find("1999"), std::string::npos) << date;
    EXPECT_NE(date.find("20"), std::string::npos) << date;
    const std::string time = locale.FormatLongTime(11, 11, 29);
    EXPECT_NE(time.find("11"), std::string::npos) << time;
    EXPECT_NE(time.find("29"), std::string::npos) << time;
}

TEST(DesktopLocale, DateBeforeSystemCalendarIsWrittenInIsoForm) {
    EXPECT_EQ(TWin32Locale().FormatShortDate(1500, 3, 4), "1500-03-04");
}

struct TTypedCase {
    const char* Name;
    const char* Selected;
    const char* SelectedName;
    const char* Text;
    std::optional<std::string> Result;
};

// Test names show the case, not its bytes.
void PrintTo(const TTypedCase& c, std::ostream* os) {
    *os << c.Name;
}

class DesktopChooserTyped : public ::testing::TestWithParam<TTypedCase> {};

TEST_P(DesktopChooserTyped, ReadsTheEditBox) {
    const TTypedCase& c = GetParam();
    EXPECT_EQ(TWin32Dialogs::TypedDirectory(c.Selected, c.SelectedName, c.Text), c.Result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DesktopChooserTyped,
    ::testing::Values(
        TTypedCase{"Unchanged", "C:\\Program Files\\Parlavox", "Parlavox", "Parlavox", std::nullopt},
        TTypedCase{"Empty", "C:\\Apps", "Apps", "", std::nullopt},
        TTypedCase{"AbsolutePath", "C:\\Apps", "Apps", "D:\\New\\Dir", "D:\\New\\Dir"},
        TTypedCase{"NetworkPath", "C:\\Apps", "Apps", "\\\\server\\share", "\\\\server\\share"},
        TTypedCase{"RelativeName", "C:\\Apps", "Apps", "New", "C:\\Apps\\New"},
        TTypedCase{"RelativePath", "C:\\Apps", "Apps", "a\\b", "C:\\Apps\\a\\b"},
        TTypedCase{"BelowDriveRoot", "C:\\", "(C:)", "New", "C:\\New"},
        TTypedCase{"DriveRootUntouched", "C:\\", "Local Disk (C:)", "Local Disk (C:)", std::nullopt},
        TTypedCase{"NetworkItemUntouched", "\\\\server\\share", "share on 'server' (Z:)",
                   "share on 'server' (Z:)", std::nullopt},
        TTypedCase{"SameNameAsPathIsTyped", "C:\\Apps", "Apps", "Apps\\", "C:\\Apps\\Apps\\"}),
    [](const auto& info) { return info.param.Name; });

// A control's place within the window's client area.
RECT ClientPlace(HWND window, HWND control) {
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

// The room a control's text needs, measured with the control's font as the control draws it: a
// word-wrapping label at its own width, everything else on one line, plus what a button, check
// box or group box draws beside its text.
SIZE NeededSize(HWND control, const RECT& place) {
    char text[512] = {}, kind[32] = {};
    GetWindowTextA(control, text, sizeof text);
    GetClassNameA(control, kind, sizeof kind);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    const bool label = lstrcmpiA(kind, "Static") == 0;
    const bool wraps = label && (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP;
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT bounds{0, 0, wraps ? place.right - place.left : 0, 0};
    DrawTextA(dc, *text ? text : " ", -1, &bounds,
              DT_CALCRECT | DT_EXPANDTABS | (label ? DT_NOPREFIX : 0) |
                  (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    SIZE needed{bounds.right, bounds.bottom};
    if (lstrcmpiA(kind, "Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_AUTOCHECKBOX) {
            needed.cx += GetSystemMetrics(SM_CXMENUCHECK) + 4;
        } else if (type == BS_GROUPBOX) {
            needed.cx += 16;
        } else {
            needed = {needed.cx + 8, needed.cy + 4};
        }
    }
    return needed;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

class WizardWindowText : public ::testing::TestWithParam<int> {};

// The window as start-up leaves it with the sample record, on each page with the progress shown.
TEST_P(WizardWindowText, EveryTextFitsItsPlaceAndNoControlsOverlap) {
    TWizardWindow window(GetModuleHandleA(nullptr), GetParam());
    ASSERT_TRUE(window.Handle());
    window.SetText(TControlName::Description, "English-German software terminology");
    window.SetText(TControlName::Author, "Parlavox Localisation Team");
    window.SetText(TControlName::Created, "2/20/1999 11:11:29");
    window.SetVisible(TControlName::ProgressBarLabel, true);
    window.SetVisible(TControlName::ProgressBar, true);
    RECT client{};
    GetClientRect(window.Handle(), &client);
    for (int page = 0; page <= 2; ++page) {
        window.ShowPage(page);
        std::vector<std::pair<const TControlLayout*, RECT>> shown;
        for (const TControlLayout& layout : ControlLayouts()) {
            HWND control = window.ControlHandle(layout.Name);
            // The window itself is never shown here: the control's own visibility counts.
            if (!(GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE)) continue;
            const RECT place = ClientPlace(window.Handle(), control);
            const SIZE needed = NeededSize(control, place);
            const char* name = ControlNameText(layout.Name);
            EXPECT_TRUE(Inside(place, client)) << name << " at " << GetParam() << " dpi";
            if (layout.Kind != TControlKind::ckEdit) {
                EXPECT_LE(needed.cx, place.right - place.left) << name << " at " << GetParam() << " dpi";
            }
            EXPECT_LE(needed.cy, place.bottom - place.top) << name << " at " << GetParam() << " dpi";
            shown.emplace_back(&layout, place);
        }
        for (size_t i = 0; i < shown.size(); ++i)
            for (size_t j = i + 1; j < shown.size(); ++j) {
                const auto& [a, aPlace] = shown[i];
                const auto& [b, bPlace] = shown[j];
                const bool inGroupBox = (a->Kind == TControlKind::ckGroupBox && Inside(bPlace, aPlace)) ||
                                        (b->Kind == TControlKind::ckGroupBox && Inside(aPlace, bPlace));
                RECT common{};
                EXPECT_TRUE(inGroupBox || !IntersectRect(&common, &aPlace, &bPlace))
                    << ControlNameText(a->Name) << " overlaps " << ControlNameText(b->Name) << " at "
                    << GetParam() << " dpi";
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Scaling, WizardWindowText, ::testing::Values(96, 120, 144, 192));
// Texts outside the ANSI code page reach the window and its controls and come back whole.
TEST(WizardWindowTexts, NonAsciiTextsComeBackWhole) {
    TWizardWindow window(GetModuleHandleW(nullptr), 96);
    ASSERT_TRUE(window.Handle());
    const std::string text = "C:\\表示\\ソフト Łódź Словарь";
    for (TControlName control : {TControlName::PVDirectory, TControlName::Author, TControlName::NextButton}) {
        window.SetText(control, text);
        EXPECT_EQ(window.Text(control), text) << ControlNameText(control);
    }
    window.SetCaption("Słownik 表示");
    wchar_t caption[64] = {};
    GetWindowTextW(window.Handle(), caption, 64);
    EXPECT_STREQ(caption, L"S\u0142ownik \u8868\u793a");
}

} // namespace
