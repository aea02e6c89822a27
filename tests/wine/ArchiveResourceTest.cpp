// Archive sources on Windows: resources of the test executable and of a resource-only library,
// a name that exists only under another type, a library that cannot be loaded, and the library
// being mapped as data, for as long as the stream lives.
#include "tests/support/TempDirectory.h"

#include "compress/Archiver.h"
#include "platform/files/FileStream.h"
#include "platform/files/FileSystem.h"
#include "platform/win32/WideText.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <typeinfo>
#include <windows.h>

namespace {

constexpr const char* Library = "wine_test_resources.dll";

std::string Head(TStream& stream, int32_t n) {
    std::string bytes(static_cast<size_t>(n), '\0');
    bytes.resize(static_cast<size_t>(stream.Read(bytes.data(), n)));
    return bytes;
}

TEST(ArchiveResources, TheExecutablesOwnResourceIsAReadOnlyStream) {
    TArchiver archiver;
    auto stream = archiver.OpenArchiveResource("TESTARCHIVE", "");
    EXPECT_EQ(stream->Size(), 109);
    EXPECT_EQ(stream->Position(), 0);
    EXPECT_EQ(Head(*stream, 5), std::string("QDMX\x1A", 5));
    EXPECT_THROW(stream->Write("x", 1), EStreamError);
    stream->Seek(0, TSeekOrigin::Begin);
    TDirectoryList list;
    archiver.ReadDirectory(*stream, list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Name, "hello.txt");
    EXPECT_EQ(list[1].Name, "sub\\abc.txt");
}

TEST(ArchiveResources, ResourceNamesIgnoreCase) {
    TArchiver archiver;
    EXPECT_EQ(archiver.OpenArchiveResource("testarchive", "")->Size(), 109);
}

TEST(ArchiveResources, ANameUnderAnotherTypeIsNotFound) {
    TArchiver archiver;
    EXPECT_THROW(archiver.OpenArchiveResource("SUPPORTONLY", ""), EResNotFound);
    EXPECT_THROW(archiver.OpenArchiveResource("NOSUCHRESOURCE", ""), EResNotFound);
}

TEST(ArchiveResources, ExpandsFromTheResource) {
    TTempDirectory temp;
    TArchiver archiver;
    archiver.SetTargetPath(temp.Path());
    archiver.MakeDirectories = true;
    auto stream = archiver.OpenArchiveResource("TESTARCHIVE", "");
    archiver.ExpandArchive(*stream, nullptr);
    EXPECT_EQ(temp.Read("hello.txt"), "Hello, world!\r\n");
    EXPECT_EQ(temp.Read("sub\\abc.txt"), "abc");
}

// The library is mapped as data: its entry never runs, and the mapping ends with the stream.
TEST(ArchiveLibraryResources, TheLibraryIsMappedAsDataExactlyAsLongAsTheStream) {
    TTempDirectory temp;
    const std::filesystem::path self(Utf8ToWide(OwnExecutablePath()));
    const std::filesystem::path copy = std::filesystem::path(temp.Path()) / L"mapped.dll";
    std::filesystem::copy_file(self.parent_path() / Library, copy);
    TArchiver archiver;
    auto stream = archiver.OpenArchiveResource("LIBARCHIVE", WideToUtf8(copy.wstring()));
    EXPECT_EQ(GetEnvironmentVariableA("PARLAVOX_TEST_LIBRARY_RAN", nullptr, 0), 0u);
    EXPECT_EQ(GetModuleHandleW(copy.c_str()), nullptr);
    EXPECT_EQ(stream->Size(), 109);
    EXPECT_EQ(Head(*stream, 8), std::string("QDMX\x1ANON", 8));
    stream->Seek(0, TSeekOrigin::Begin);
    TDirectoryList list;
    archiver.ReadDirectory(*stream, list);
    EXPECT_EQ(list.size(), 2u);
    stream.reset();
    EXPECT_TRUE(DeleteFileW(copy.c_str()));
}

// A library below a folder named outside the ANSI code page, named by its full path (UTF-8).
TEST(ArchiveLibraryResources, ALibraryBelowANonAsciiFolderIsLoadedByItsPath) {
    TTempDirectory temp;
    const std::filesystem::path folder =
        std::filesystem::path(temp.Path()) / L"\u8868\u793a\u0141\u00f3d\u017a";
    std::filesystem::create_directories(folder);
    const std::filesystem::path copy = folder / L"resources.dll";
    // The library lies beside this program.
    const std::filesystem::path self(Utf8ToWide(OwnExecutablePath()));
    std::filesystem::copy_file(self.parent_path() / Library, copy);
    TArchiver archiver;
    auto stream = archiver.OpenArchiveResource("LIBARCHIVE", WideToUtf8(copy.wstring()));
    EXPECT_EQ(Head(*stream, 8), std::string("QDMX\x1ANON", 8));
}

TEST(ArchiveLibraryResources, AMissingResourceReleasesTheLibrary) {
    TArchiver archiver;
    EXPECT_THROW(archiver.OpenArchiveResource("TESTARCHIVE", Library), EResNotFound);
    EXPECT_EQ(GetModuleHandleA(Library), nullptr);
}

TEST(ArchiveLibraryResources, ALibraryThatCannotBeLoadedSaysSo) {
    TArchiver archiver;
    try {
        archiver.OpenArchiveResource("LIBARCHIVE", "no-such-library.dll");
        FAIL() << "Exception expected";
    } catch (const Exception& e) {
        EXPECT_EQ(typeid(e), typeid(Exception));
        EXPECT_EQ(e.Message, "Could not load no-such-library.dll DLL");
    }
}

} // namespace
