// The Win32 desktop services of the wizard against the real API (run under Wine): resources and
// module path, the registry, shell links and the Programs folder, private-profile writes, process
// start, the time stamp search with its hidden and system files, file queries, first lines, the
// locale formats, the folder chooser's reading of a typed name, and the wizard window's text: every
// caption and value fully visible in its place at each scaling, with the font Wine puts in place of
// "MS Sans Serif".
#include "compress/Archiver.h"
#include "platform/Exception.h"
#include "setup/MainForm.h"
#include "setup/install/KoStamp.h"
#include "setup/win32/PackedPicture.h"
#include "setup/win32/Win32Desktop.h"
#include "setup/win32/WizardWindow.h"
#include "setup/win32/desktop/Desktop.h"
#include "tests/support/ToolRunner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <objbase.h>
#include <shlobj.h>
#include <thread>

namespace {

std::string Win(const std::filesystem::path& path) {
    return path.string();
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
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
    const std::optional<std::string> bytes = desktop::LoadModuleResource("PARLAVOX", "SUPPORT");
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, std::string("r\tAdapter\tdesc\tauthor\t36211.466317\0after the NUL", 48));
}

TEST(DesktopResources, MissingResourceIsNothing) {
    EXPECT_FALSE(desktop::LoadModuleResource("PARLAVOX", "NOSUCH").has_value());
    EXPECT_FALSE(desktop::LoadModuleResource("NOSUCHTYPE", "SUPPORT").has_value());
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
    HBITMAP picture = LoadPackedPicture(self, "PICTURE", 240, 240);
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

    EXPECT_EQ(LoadPackedPicture(self, "PICTURE_CUT", 120, 120), nullptr);
    EXPECT_EQ(LoadPackedPicture(self, "NOT_A_PICTURE", 120, 120), nullptr);
    EXPECT_EQ(LoadPackedPicture(self, "NOSUCH", 120, 120), nullptr);
}

TEST(DesktopResources, ModulePathNamesThisProgram) {
    const std::string path = desktop::ModuleFileName();
    ASSERT_GE(path.size(), 3u);
    EXPECT_EQ(path[1], ':');
    EXPECT_NE(path.find("wizard_adapter_tests.exe"), std::string::npos) << path;
}

TEST(DesktopRegistry, WritesStringBelowLocalMachine) {
    const std::string key = "Software\\Parlavox\\AdapterTest\\4.0";
    ASSERT_TRUE(desktop::WriteMachineString(key, "RootDir", "C:\\Apps\\VL"));
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

TEST_F(ComTest, ShellLinkPointsToTargetWithWorkingDirectory) {
    TScratchFolder scratch("adapter-link");
    const std::string target = desktop::ModuleFileName();
    const std::string directory = Win(std::filesystem::path(target).parent_path());
    const std::string link = scratch.File("Vellumor.lnk");
    ASSERT_EQ(desktop::CreateShellLink(target, directory, "Manual", link), S_OK);

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
    const HRESULT result =
        desktop::CreateShellLink(desktop::ModuleFileName(), "C:\\", "", scratch.File("no\\such\\x.lnk"));
    EXPECT_TRUE(FAILED(result));
}

TEST_F(ComTest, ProgramsFolderIsAnExistingStartMenuFolder) {
    const std::string programs = desktop::ProgramsFolder(nullptr);
    ASSERT_FALSE(programs.empty());
    EXPECT_TRUE(std::filesystem::is_directory(programs)) << programs;
    EXPECT_NE(programs.find("Programs"), std::string::npos) << programs;
}

TEST(DesktopProfile, AddsKeyToSectionAndKeepsTheRest) {
    TScratchFolder scratch("adapter-profile");
    const std::string ini = scratch.File("x.vlp");
    WriteText(ini, "[Other]\r\nA=1\r\n[Project]\r\nName=Sample\r\n");
    ASSERT_TRUE(desktop::WriteProfileString("Project", "Deployed", "1", ini));
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
    ASSERT_TRUE(desktop::WriteProfileString("Project", "Deployed", "1", ini));
    char value[64] = {};
    GetPrivateProfileStringA("Project", "Deployed", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "1");
}

TEST(DesktopProfile, FileInMissingFolderFails) {
    TScratchFolder scratch("adapter-profile-missing");
    EXPECT_FALSE(desktop::WriteProfileString("Project", "Deployed", "1", scratch.File("no\\such\\z.vlp")));
}

TEST(DesktopProcess, StartsProgramWithBlanksInItsPath) {
    TScratchFolder scratch("adapter process");
    const std::string marker = scratch.File("started.txt");
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string cmd = std::string(system) + "\\cmd.exe";
    ASSERT_TRUE(desktop::StartProcess(cmd, cmd + " /c echo started> \"" + marker + "\""));
    for (int i = 0; i < 100 && !std::filesystem::exists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(std::filesystem::exists(marker));
    EXPECT_FALSE(desktop::StartProcess(scratch.File("missing.exe"), "missing.exe"));
}

// The uninstaller's private folder: a new name each time, made with its restricted DACL. (Wine
// turns the DACL into the folder's Unix mode and reports one made from that mode, so the entries
// themselves are checked in silent-e2e, by the mode.)
TEST(DesktopPrivateFolder, IsNewEachTime) {
    const std::wstring first = desktop::CreatePrivateTemporaryFolder(L"ParlavoxTest-", true);
    const std::wstring second = desktop::CreatePrivateTemporaryFolder(L"ParlavoxTest-", true);
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
    EXPECT_EQ(desktop::FindFileTimeStamp(File), std::optional<int32_t>(0x2ACF53CA));
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
    EXPECT_EQ(desktop::FindFileTimeStamp(File).has_value(), GetParam().Seen);
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
    EXPECT_FALSE(desktop::FindFileTimeStamp(Win(Scratch.Path)).has_value());
    EXPECT_FALSE(desktop::FindFileTimeStamp(Scratch.File("missing.vlm")).has_value());
    EXPECT_FALSE(desktop::FindFileTimeStamp(Scratch.File("*.vlm")).has_value());
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
    EXPECT_EQ(desktop::FindFileTimeStamp(File), std::optional<int32_t>(0x00210000));
}

TEST(DesktopFiles, FileExistsOnlyForFiles) {
    TScratchFolder scratch("adapter-files");
    WriteText(scratch.Path / "a.txt", "x");
    TWin32Desktop desktop(nullptr, "test");
    EXPECT_TRUE(desktop.Files.FileExists(scratch.File("a.txt")));
    EXPECT_FALSE(desktop.Files.FileExists(Win(scratch.Path)));
    EXPECT_FALSE(desktop.Files.FileExists(scratch.File("b.txt")));
}

TEST(DesktopFiles, ReadFirstLineStopsAtLineEnd) {
    TScratchFolder scratch("adapter-lines");
    WriteText(scratch.Path / "setup.vl1", "r\tName\td\ta\t36211\r\nsecond line\r\n");
    TWin32Desktop desktop(nullptr, "test");
    EXPECT_EQ(desktop.Files.ReadFirstLine(scratch.File("setup.vl1")), "r\tName\td\ta\t36211");
    EXPECT_THROW(desktop.Files.ReadFirstLine(scratch.File("missing.vl1")), EInOutError);
}

TEST(DesktopLocale, FormatsDateAndTimeWithTheirNumbers) {
    const std::string date = desktop::FormatShortDate(1999, 2, 20);
    EXPECT_NE(date.find("1999"), std::string::npos) << date;
    EXPECT_NE(date.find("20"), std::string::npos) << date;
    const std::string time = desktop::FormatLongTime(11, 11, 29);
    EXPECT_NE(time.find("11"), std::string::npos) << time;
    EXPECT_NE(time.find("29"), std::string::npos) << time;
}

TEST(DesktopLocale, DateBeforeSystemCalendarIsWrittenInIsoForm) {
    EXPECT_EQ(desktop::FormatShortDate(1500, 3, 4), "1500-03-04");
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
    EXPECT_EQ(desktop::TypedDirectory(c.Selected, c.SelectedName, c.Text), c.Result);
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

} // namespace
