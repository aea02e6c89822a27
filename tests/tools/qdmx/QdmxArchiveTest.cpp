// The archive subcommands of qdmx (create, list, test, extract, make-setup), run as a user would
// run them on a tree with nested folders, empty files, a read-only file and names with spaces;
// and the setup image that make-setup writes, also from damaged and hostile templates.
#include "tests/compress/archive/ArchiveTestSupport.h"
#include "tests/support/ToolRunner.h"

#include "ParlavoxVersion.h"
#include "compress/CodecTable.h"
#include "compress/archive/ArchiveWriter.h"
#include "compress/dense/BranchFilter.h"
#include "compress/dense/DenseMethod.h"
#include "platform/LittleEndian.h"
#include "platform/digest/Crc32.h"
#include "platform/digest/Sha256.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileTime.h"
#include "setup/integrity/SetupDigests.h"
#include "tools/pe/SetupTemplate.h"
#include "tools/qdmx/commands/UninstallerSigning.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <zstd.h>
#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

class QdmxArchive : public ::testing::Test {
protected:
    TScratchFolder Scratch{"qdmx-archive-" +
                           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};

    void TearDown() override {
        // Read-only files would keep the scratch folder from being removed on Windows.
        std::error_code ignored;
        for (auto it = fs::recursive_directory_iterator(Scratch.Path, ignored);
             it != fs::recursive_directory_iterator(); it.increment(ignored))
            SetAttributes(it->path().string(), faArchive);
    }

    // Standard error as text with '\n' line ends (Windows writes "\r\n" in text mode).
    TToolResult Qdmx(const std::string& arguments) {
        TToolResult result = RunTool(QDMX_PATH, arguments, Scratch);
        std::erase(result.Stderr, '\r');
        return result;
    }
    std::string F(const std::string& name) const { return Quote(Scratch.File(name)); }
    // The scratch folder itself, without a trailing separator (which would escape the closing
    // quote on Windows command lines).
    std::string Root() const { return Quote(Scratch.Path.string()); }
    std::string Stdout(const std::string& arguments, int& status) {
        TToolResult r = Qdmx(arguments + " > " + F("stdout.txt"));
        status = r.Status;
        auto bytes = Scratch.Read("stdout.txt");
        std::erase(bytes, '\r');
        return {bytes.begin(), bytes.end()};
    }
    void WriteFile(const std::string& relative, const std::string& contents) {
        fs::path path = Scratch.Path / fs::path(relative);
        fs::create_directories(path.parent_path());
        Scratch.Write(relative, std::vector<uint8_t>(contents.begin(), contents.end()));
    }

    // The tree of the round trip: nested folders, empty files, a read-only file, names with spaces.
    void MakeTree() {
        std::string text;
        for (int i = 0; i < 2000; ++i) text += "entry " + std::to_string(i % 50) + " of the word list\n";
        WriteFile("src/top level.txt", text);
        WriteFile("src/empty.txt", "");
        WriteFile("src/nested/deeper still/leaf file.txt", "a leaf\r\n");
        WriteFile("src/nested/empty too", "");
        std::string noise;
        uint32_t x = 7;
        for (int i = 0; i < 40000; ++i) {
            x = x * 1103515245u + 12345u;
            noise += static_cast<char>(x >> 23);
        }
        WriteFile("src/nested/noise.bin", noise);
        WriteFile("src/read only.txt", "do not change me");
        ASSERT_TRUE(SetAttributes(Scratch.File("src/read only.txt"), faReadOnly | faArchive));
    }

    // Relative path ('/'-separated) -> contents of every file below root.
    std::map<std::string, std::string> Tree(const fs::path& root) {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (entry.is_regular_file()) {
                auto bytes = Scratch.Read(fs::relative(entry.path(), Scratch.Path).string());
                files[fs::relative(entry.path(), root).generic_string()] = {bytes.begin(), bytes.end()};
            }
        return files;
    }

    // Writes a file whose relative path is UTF-8 (a std::string path would be taken in the ANSI
    // code page on Windows).
    void WriteUtf8File(const std::string& relative, const std::string& contents) {
        const fs::path path = Scratch.Path / fs::path(std::u8string(relative.begin(), relative.end()));
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }
    // Relative path ('/'-separated, UTF-8) -> contents of every file below root.
    static std::map<std::string, std::string> Utf8Tree(const fs::path& root) {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (entry.is_regular_file()) {
                std::ifstream in(entry.path(), std::ios::binary);
                const std::u8string relative = fs::relative(entry.path(), root).generic_u8string();
                files[std::string(relative.begin(), relative.end())] = {std::istreambuf_iterator<char>(in),
                                                                        std::istreambuf_iterator<char>()};
            }
        return files;
    }

    // Offset of the last stored data byte of a member.
    int64_t LastDataByte(const std::string& archive, const std::string& member) {
        auto stream = TFileStream::OpenRead(Scratch.File(archive));
        TArchiver archiver;
        TDenseExpander dense(archiver);
        TDirectoryList list;
        archiver.ReadDirectory(*stream, list);
        for (const auto& entry : list)
            if (entry.Name == member)
                return entry.Info->Position + 25 + static_cast<int64_t>(entry.Name.size()) +
                       entry.Info->CompressedSize - 1;
        ADD_FAILURE() << member << " not in archive";
        return 0;
    }
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(QdmxArchive, RoundTripRestoresBytesTimesAndTheReadOnlyBit) {
    MakeTree();
    ASSERT_EQ(Qdmx("create -q -C " + Root() + " " + F("tree.qdmx") + " src").Status, 0);
    TToolResult extract = Qdmx("extract -q -C " + F("out") + " " + F("tree.qdmx"));
    ASSERT_EQ(extract.Status, 0) << extract.Stderr;

    auto original = Tree(Scratch.Path / "src");
    EXPECT_EQ(original.size(), 6u);
    EXPECT_EQ(Tree(Scratch.Path / "out" / "src"), original);
    for (const auto& [relative, contents] : original) {
        auto before = fs::last_write_time(Scratch.Path / "src" / relative);
        auto after = fs::last_write_time(Scratch.Path / "out" / "src" / relative);
        auto difference = before > after ? before - after : after - before;
        EXPECT_LE(difference, std::chrono::seconds(2)) << relative;
        EXPECT_EQ(GetAttributes(Scratch.File("out/src/" + relative)) & faReadOnly,
                  relative == "read only.txt" ? faReadOnly : 0)
            << relative;
    }
}

// The dense method: members refer back to earlier ones, so a member expanded alone (a NAME, or
// one after a member kept by -n) needs the members before it read back first.
TEST_F(QdmxArchive, DenseArchivesRoundTripAndReadSkippedMembersBack) {
    MakeTree();
    const std::vector<uint8_t> noise = Scratch.Read("src/nested/noise.bin");
    Scratch.Write("src/nested/noise copy.bin", noise); // packed before noise.bin
    ASSERT_EQ(Qdmx("create -q -m zstd -C " + Root() + " " + F("dense.qdmx") + " src").Status, 0);
    // The second copy of 40,000 incompressible bytes costs a reference, not another 40,000.
    EXPECT_LT(fs::file_size(Scratch.Path / "dense.qdmx"), 45000u);
    int status = 0;
    EXPECT_TRUE(Contains(Stdout("list -v " + F("dense.qdmx"), status), " zstd "));
    TToolResult test = Qdmx("test -q " + F("dense.qdmx"));
    EXPECT_EQ(test.Status, 0) << test.Stderr;
    ASSERT_EQ(Qdmx("extract -q -C " + F("all") + " " + F("dense.qdmx")).Status, 0);
    EXPECT_EQ(Tree(Scratch.Path / "all" / "src"), Tree(Scratch.Path / "src"));

    ASSERT_EQ(Qdmx("extract -q -C " + F("one") + " " + F("dense.qdmx") + " src/nested/noise.bin").Status, 0);
    EXPECT_EQ(Scratch.Read("one/src/nested/noise.bin"), noise);
    WriteFile("kept/src/nested/noise copy.bin", "kept");
    ASSERT_EQ(Qdmx("extract -q -n -C " + F("kept") + " " + F("dense.qdmx")).Status, 0);
    EXPECT_EQ(Scratch.Read("kept/src/nested/noise copy.bin"), std::vector<uint8_t>({'k', 'e', 'p', 't'}));
    EXPECT_EQ(Scratch.Read("kept/src/nested/noise.bin"), noise);

    // A damaged member fails, and so does a later member that builds on it, naming it.
    std::vector<uint8_t> bytes = Scratch.Read("dense.qdmx");
    bytes[LastDataByte("dense.qdmx", "src\\nested\\noise copy.bin") - 100] ^= 0x55;
    Scratch.Write("damaged.qdmx", bytes);
    EXPECT_EQ(Qdmx("test -q " + F("damaged.qdmx")).Status, 1);
    WriteFile("bad/src/nested/noise.bin", "installed");
    TToolResult later = Qdmx("extract -q -C " + F("bad") + " " + F("damaged.qdmx") + " src/nested/noise.bin");
    EXPECT_EQ(later.Status, 1);
    EXPECT_TRUE(Contains(later.Stderr, "noise copy.bin\", which this member builds on")) << later.Stderr;
    EXPECT_EQ(Scratch.Read("bad/src/nested/noise.bin"),
              std::vector<uint8_t>({'i', 'n', 's', 't', 'a', 'l', 'l', 'e', 'd'}));

    for (const char* refused :
         {"-m zstd -k 5 --lock 2", "-m lh5 --level 3", "-m zstd --level 23", "-m zstd --window-log 27"})
        EXPECT_EQ(Qdmx(std::string("create -q ") + refused + " " + F("x.qdmx") + " " + F("src")).Status, 2)
            << refused;
}

// Converts bytes piece by piece as the dense method's coders do, carrying a branch cut by a
// piece's end to the next piece.
std::vector<uint8_t> ConvertInPieces(std::vector<uint8_t> bytes, TBranchFilter::TDirection direction,
                                     size_t piece) {
    TBranchFilter filter(direction);
    std::vector<uint8_t> out, pending;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        pending.insert(pending.end(), bytes.begin() + at, bytes.begin() + std::min(bytes.size(), at + piece));
        const size_t final = filter.Convert(pending.data(), pending.size());
        out.insert(out.end(), pending.begin(), pending.begin() + final);
        pending.erase(pending.begin(), pending.begin() + final);
    }
    out.insert(out.end(), pending.begin(), pending.end());
    return out;
}

// Executables go through the branch filter: the same result whatever the pieces, every byte back,
// and calls to a few functions from everywhere pack to a fraction of their size.
TEST_F(QdmxArchive, DenseExecutablesGoThroughTheBranchFilter) {
    std::vector<uint8_t> code{'M', 'Z'};
    uint32_t x = 11;
    while (code.size() < 3000000) {
        x = x * 1103515245u + 12345u;
        const uint32_t target = 0x1000 * (x >> 30), next = static_cast<uint32_t>(code.size() + 5);
        const uint32_t distance = (x & 0xF00) ? target - next : x; // most in reach, some not
        code.push_back((x & 0x200) ? 0xE8 : 0xE9);
        for (int k = 0; k < 4; ++k) code.push_back(static_cast<uint8_t>(distance >> (8 * k)));
        code.insert(code.end(), {0x90, 0x48, 0x89, 0xC7, 0xC3});
    }
    const auto forward = ConvertInPieces(code, TBranchFilter::TDirection::ToTargets, code.size());
    EXPECT_NE(forward, code);
    for (size_t piece : {1, 3, 4, 5, 6, 4099})
        EXPECT_EQ(ConvertInPieces(code, TBranchFilter::TDirection::ToTargets, piece), forward) << piece;
    EXPECT_EQ(ConvertInPieces(forward, TBranchFilter::TDirection::ToDistances, 7), code);

    fs::create_directories(Scratch.Path / "src");
    Scratch.Write("src/prog.exe", code);
    Scratch.Write("src/tiny.exe", std::vector<uint8_t>{'M', 'Z', 0xE8});
    std::vector<uint8_t> elf{0x7F, 'E', 'L', 'F', 0xE8, 1, 0, 0, 0};
    Scratch.Write("src/lib.so", elf);
    ASSERT_EQ(Qdmx("create -q -m zstd -C " + Root() + " " + F("exe.qdmx") + " src").Status, 0);
    const std::vector<uint8_t> archive = Scratch.Read("exe.qdmx");
    EXPECT_EQ(std::string(archive.begin() + 5, archive.begin() + 8), DenseExecutableMethodID);
    EXPECT_LT(archive.size(), code.size() / 8);
    ASSERT_EQ(Qdmx("extract -q -C " + F("out") + " " + F("exe.qdmx")).Status, 0);
    EXPECT_EQ(Tree(Scratch.Path / "out" / "src"), Tree(Scratch.Path / "src"));
    ASSERT_EQ(Qdmx("extract -q -C " + F("one") + " " + F("exe.qdmx") + " src/tiny.exe").Status, 0);
    EXPECT_EQ(Scratch.Read("one/src/tiny.exe"), Scratch.Read("src/tiny.exe"));
}

TEST_F(QdmxArchive, ListShowsWhatWasPackedAndTestPasses) {
    MakeTree();
    ASSERT_EQ(Qdmx("create -q -C " + Root() + " " + F("tree.qdmx") + " src").Status, 0);
    int status = -1;
    std::string names = Stdout("list " + F("tree.qdmx"), status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(names, "src\\empty.txt\nsrc\\nested\\deeper still\\leaf file.txt\nsrc\\nested\\empty too\n"
                     "src\\nested\\noise.bin\nsrc\\read only.txt\nsrc\\top level.txt\n");

    std::string table = Stdout("list -v " + F("tree.qdmx"), status);
    EXPECT_EQ(status, 0);
    std::map<std::string, std::string> lines;
    for (size_t pos = 0, next; (next = table.find('\n', pos)) != std::string::npos; pos = next + 1) {
        std::string line = table.substr(pos, next - pos);
        size_t name = line.find("src\\");
        if (name != std::string::npos) lines[line.substr(name)] = line;
    }
    ASSERT_EQ(lines.size(), 6u) << table;
    char checksum[16];
    std::snprintf(checksum, sizeof checksum, "%08x", ByteSum("do not change me"));
    const std::string& readOnly = lines["src\\read only.txt"];
    EXPECT_TRUE(Contains(readOnly, "        16 ")) << readOnly;
    EXPECT_TRUE(Contains(readOnly, " R--A ")) << readOnly;
    EXPECT_TRUE(Contains(readOnly, checksum)) << readOnly;
    EXPECT_TRUE(Contains(readOnly, " no ")) << readOnly;
    const TCodecEntry* lh5 = FindCodec(miLH5);
    const TCodecEntry* lzh = FindCodec(miLZH);
    std::string best = lh5 && lh5->Compress ? " lh5 " : lzh && lzh->Compress ? " lzh " : " rle ";
    EXPECT_TRUE(Contains(lines["src\\top level.txt"], best)) << lines["src\\top level.txt"];
    EXPECT_TRUE(Contains(table, "6 members")) << table;

    std::string tested = Stdout("test -q " + F("tree.qdmx"), status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(Contains(tested, "6 members OK")) << tested;
}

// Latin, Cyrillic and Japanese names, in a subfolder too, come back exactly; the members follow
// the order of the names' UTF-8 bytes, on every system.
TEST_F(QdmxArchive, UnicodeNamesRoundTrip) {
    WriteUtf8File("uni/Wörterbuch.txt", "Wörter und Bücher\n");
    WriteUtf8File("uni/日本語.txt", "日本語のテキスト");
    WriteUtf8File("uni/Ñandú/über.dat", std::string(3000, 'u'));
    WriteUtf8File("uni/Словарь.txt", "слово");
    WriteUtf8File("uni/plain.txt", "plain");
    TToolResult created = Qdmx("create -q -C " + F("uni") + " " + F("uni.qdmx") + " .");
    ASSERT_EQ(created.Status, 0) << created.Stderr;
    int status = -1;
    EXPECT_EQ(Stdout("list " + F("uni.qdmx"), status),
              "Wörterbuch.txt\nplain.txt\nÑandú\\über.dat\nСловарь.txt\n日本語.txt\n");
    EXPECT_EQ(status, 0);

    TToolResult extracted = Qdmx("extract -q -C " + F("out") + " " + F("uni.qdmx"));
    ASSERT_EQ(extracted.Status, 0) << extracted.Stderr;
    EXPECT_EQ(Utf8Tree(Scratch.Path / "out"), Utf8Tree(Scratch.Path / "uni"));
    EXPECT_EQ(Utf8Tree(Scratch.Path / "out").size(), 5u);
}

// Names without the mark are read in --names-codepage: in code page 932 the second bytes of 表
// and ソ are 0x5C, which must not split them. On Linux the default is 1252.
TEST_F(QdmxArchive, UnmarkedNamesAreReadInTheNamesCodePage) {
    const std::string raw = RawArchive({TRawMember{"\x95\x5C\x8E\xA6\\\x83\x5C.txt", "cp932 name"}});
    Scratch.Write("old.qdmx", std::vector<uint8_t>(raw.begin(), raw.end()));
    int status = -1;
    EXPECT_EQ(Stdout("list --names-codepage 932 " + F("old.qdmx"), status), "表示\\ソ.txt\n");
    EXPECT_EQ(status, 0);
#ifndef _WIN32
    EXPECT_EQ(Stdout("list " + F("old.qdmx"), status), "•\\Ž¦\\ƒ\\.txt\n");
#endif
    TToolResult extracted = Qdmx("extract -q --names-codepage 932 -C " + F("out") + " " + F("old.qdmx"));
    ASSERT_EQ(extracted.Status, 0) << extracted.Stderr;
    EXPECT_EQ(Utf8Tree(Scratch.Path / "out"),
              (std::map<std::string, std::string>{{"表示/ソ.txt", "cp932 name"}}));
    EXPECT_TRUE(Contains(Stdout("test --names-codepage 932 " + F("old.qdmx"), status), "1 member OK"));

    for (const std::string command : {"list", "test", "extract"}) {
        TToolResult unknown = Qdmx(command + " --names-codepage 99999 " + F("old.qdmx"));
        EXPECT_EQ(unknown.Status, 2) << command;
        EXPECT_TRUE(Contains(unknown.Stderr, "--names-codepage 99999: not a code page")) << unknown.Stderr;
    }
}

#ifndef _WIN32
// A file name in another encoding (Latin-1 bytes on Linux) would come back as another name.
TEST_F(QdmxArchive, AFileNameThatIsNotUtf8IsRefused) {
    WriteFile("latin/W\xF6rter.txt", "x");
    TToolResult created = Qdmx("create -q -C " + F("latin") + " " + F("latin.qdmx") + " .");
    EXPECT_EQ(created.Status, 1);
    EXPECT_TRUE(Contains(created.Stderr, "Member name is not UTF-8: W\\xF6rter.txt")) << created.Stderr;
    EXPECT_FALSE(fs::exists(Scratch.Path / "latin.qdmx"));
}
#endif

TEST_F(QdmxArchive, AFlippedDataByteFailsTheTest) {
    MakeTree();
    ASSERT_EQ(Qdmx("create -q -m none -C " + Root() + " " + F("tree.qdmx") + " src").Status, 0);
    auto bytes = Scratch.Read("tree.qdmx");
    bytes[static_cast<size_t>(LastDataByte("tree.qdmx", "src\\nested\\deeper still\\leaf file.txt"))] ^= 0x01;
    Scratch.Write("tree.qdmx", bytes);
    TToolResult r = Qdmx("test -q " + F("tree.qdmx"));
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(Contains(r.Stderr,
                         "src\\nested\\deeper still\\leaf file.txt: Bad checksum during expansion -- data "
                         "may be invalid"))
        << r.Stderr;
}

TEST_F(QdmxArchive, ALockedArchiveNeedsItsKey) {
    MakeTree();
    for (const char* lock : {"", " --lock 1", " --lock 2"}) {
        ASSERT_EQ(Qdmx("create -q -k 0x5EC2E7" + std::string(lock) + " -C " + Root() + " " +
                       F("locked.qdmx") + " src")
                      .Status,
                  0);
        TToolResult keyless = Qdmx("test -q " + F("locked.qdmx"));
        EXPECT_EQ(keyless.Status, 1) << lock;
        EXPECT_TRUE(Contains(keyless.Stderr, "File locked -- valid key required")) << keyless.Stderr;
        EXPECT_EQ(Qdmx("test -q -k 0x5EC2E8 " + F("locked.qdmx")).Status, 1) << lock;
        EXPECT_EQ(Qdmx("test -q -k 6210279 " + F("locked.qdmx")).Status, 0) << lock;

        TToolResult refused = Qdmx("extract -q -C " + F("nokey") + " " + F("locked.qdmx"));
        EXPECT_EQ(refused.Status, 1);
        EXPECT_TRUE(Contains(refused.Stderr, "File locked -- valid key required")) << refused.Stderr;
        EXPECT_TRUE(Tree(Scratch.Path / "nokey").empty()) << "a locked member leaves no file";
        ASSERT_EQ(Qdmx("extract -q -k 0x5EC2E7 -C " + F("withkey") + " " + F("locked.qdmx")).Status, 0);
        EXPECT_EQ(Tree(Scratch.Path / "withkey" / "src"), Tree(Scratch.Path / "src"));
        TearDown();
        fs::remove_all(Scratch.Path / "withkey");
    }
    auto bytes = Scratch.Read("locked.qdmx");
    std::string plain = "do not change me";
    EXPECT_EQ(std::search(bytes.begin(), bytes.end(), plain.begin(), plain.end()), bytes.end())
        << "lock 2 scrambles the stored data";
}

TEST_F(QdmxArchive, UnsafeMemberNamesAreRefusedAndTheRestIsExtracted) {
    {
        auto archive = TFileStream::Create(Scratch.File("unsafe.qdmx"));
        TArchiveWriter writer(*archive, miStored);
        for (const char* name : {"..\\evil.txt", "\\rooted.txt", "C:drive.txt", "sub\\..\\..\\up.txt",
                                 "good.txt", "sub/../../slash.txt", "sub\\fine.txt"}) {
            TMemoryStream data(std::vector<uint8_t>{'x'});
            writer.AddStream(name, data, MinPackedDateTime, faArchive, miStored);
        }
        writer.Finish();
    }
    fs::create_directories(Scratch.Path / "out");
    TToolResult r = Qdmx("extract -q -C " + F("out") + " " + F("unsafe.qdmx"));
    EXPECT_EQ(r.Status, 1);
    for (const char* name :
         {"..\\evil.txt", "\\rooted.txt", "C:drive.txt", "sub\\..\\..\\up.txt", "sub/../../slash.txt"})
        EXPECT_TRUE(Contains(r.Stderr, std::string("refusing unsafe member name: ") + name + "\n"))
            << r.Stderr;
    EXPECT_EQ(Tree(Scratch.Path / "out"),
              (std::map<std::string, std::string>{{"good.txt", "x"}, {"sub/fine.txt", "x"}}));
    EXPECT_FALSE(fs::exists(Scratch.Path / "evil.txt"));
    EXPECT_FALSE(fs::exists(Scratch.Path / "up.txt"));
}

TEST_F(QdmxArchive, UnsafePathsRestoreTheComponentsBehaviour) {
    {
        auto archive = TFileStream::Create(Scratch.File("parent.qdmx"));
        TArchiveWriter writer(*archive, miStored);
        TMemoryStream data(std::vector<uint8_t>{'u', 'p'});
        writer.AddStream("..\\evil.txt", data, MinPackedDateTime, faArchive, miStored);
        writer.Finish();
    }
    TToolResult r = Qdmx("extract -q --unsafe-paths -C " + F("out") + " " + F("parent.qdmx"));
    EXPECT_EQ(r.Status, 0) << r.Stderr;
    auto bytes = Scratch.Read("evil.txt");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "up");
}

TEST_F(QdmxArchive, KeepExistingAndSelectedNames) {
    MakeTree();
    ASSERT_EQ(Qdmx("create -q -C " + Root() + " " + F("tree.qdmx") + " src").Status, 0);
    WriteFile("out/src/top level.txt", "mine");
    ASSERT_EQ(Qdmx("extract -q -n -C " + F("out") + " " + F("tree.qdmx")).Status, 0);
    auto kept = Scratch.Read("out/src/top level.txt");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "mine");
    EXPECT_EQ(Tree(Scratch.Path / "out" / "src").size(), 6u);

    // Extracting again replaces files, the read-only one included.
    ASSERT_EQ(Qdmx("extract -q -C " + F("out") + " " + F("tree.qdmx")).Status, 0);
    EXPECT_EQ(Tree(Scratch.Path / "out" / "src"), Tree(Scratch.Path / "src"));

    ASSERT_EQ(Qdmx("extract -q -C " + F("one") + " " + F("tree.qdmx") +
                   " \"SRC/nested/deeper still/LEAF file.txt\"")
                  .Status,
              0);
    EXPECT_EQ(Tree(Scratch.Path / "one").size(), 1u);
    EXPECT_TRUE(fs::exists(Scratch.Path / "one" / "src" / "nested" / "deeper still" / "leaf file.txt"));

    TToolResult missing = Qdmx("extract -q -C " + F("two") + " " + F("tree.qdmx") + " src/absent.txt");
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(Contains(missing.Stderr, "src/absent.txt: not found in archive")) << missing.Stderr;
}

TEST_F(QdmxArchive, DamagedAndForeignFilesAreDataErrors) {
    MakeTree();
    ASSERT_EQ(Qdmx("create -q -C " + Root() + " " + F("tree.qdmx") + " src").Status, 0);
    auto bytes = Scratch.Read("tree.qdmx");
    bytes.resize(bytes.size() - 10);
    Scratch.Write("cut.qdmx", bytes);
    for (const char* command : {"test -q ", "list ", "extract -q -C out "}) {
        TToolResult r = Qdmx(command + F("cut.qdmx"));
        EXPECT_EQ(r.Status, 1) << command;
        EXPECT_TRUE(Contains(r.Stderr, "Damaged archive: member \"src\\top level.txt\"")) << r.Stderr;
    }
    WriteFile("foreign.txt", std::string(100, 'f'));
    TToolResult foreign = Qdmx("list " + F("foreign.txt"));
    EXPECT_EQ(foreign.Status, 1);
    EXPECT_TRUE(Contains(foreign.Stderr, "Can't recognize compressed file header")) << foreign.Stderr;
    TToolResult missing = Qdmx("test " + F("absent.qdmx"));
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(Contains(missing.Stderr, "absent.qdmx")) << missing.Stderr;
}

TEST_F(QdmxArchive, EmptyArchivesAndUsageErrors) {
    WriteFile("only/empty", "");
    ASSERT_EQ(Qdmx("create -q -m rle " + F("empty.qdmx") + " " + F("only")).Status, 0);
    int status = -1;
    std::string tested = Stdout("test " + F("empty.qdmx"), status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(Contains(tested, "1 member OK")) << tested;

    for (const std::string& args :
         {std::string("create"), "create " + F("a.qdmx"), "create -m zip " + F("a.qdmx") + " " + F("only"),
          "create -k 0 " + F("a.qdmx") + " " + F("only"), "create --lock 1 " + F("a.qdmx") + " " + F("only"),
          "create -k 5 --lock 3 " + F("a.qdmx") + " " + F("only"), "create " + F("a.qdmx") + " ../x",
          std::string("list"), std::string("extract"), "test -k nonsense " + F("empty.qdmx")}) {
        TToolResult r = Qdmx(args);
        EXPECT_EQ(r.Status, 2) << args << "\n" << r.Stderr;
        EXPECT_TRUE(Contains(r.Stderr, "Usage: qdmx")) << args;
    }
    EXPECT_FALSE(fs::exists(Scratch.Path / "a.qdmx"));
    TToolResult absent = Qdmx("create " + F("a.qdmx") + " " + F("nothing-here"));
    EXPECT_EQ(absent.Status, 1);
    EXPECT_FALSE(fs::exists(Scratch.Path / "a.qdmx")) << "a failed create leaves no archive";
}

TEST_F(QdmxArchive, VersionIsTheBuildsAndHelpShowsIt) {
    int status = -1;
    EXPECT_EQ(Stdout("--version", status),
              std::string("qdmx " PARLAVOX_VERSION_TEXT " (zstd ") + ZSTD_versionString() + ")\n");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(Contains(Stdout("--help", status), "qdmx " PARLAVOX_VERSION_TEXT " - "));
    EXPECT_TRUE(Contains(Stdout("--help", status), "make-setup"));
}

// make-setup: the small executables of tests/data/pe stand in for the setup template.
class QdmxMakeSetup : public QdmxArchive {
protected:
    static std::string Fixture(const std::string& name) {
        const char* data = std::getenv("PARLAVOX_TEST_DATA");
        return (fs::path(data ? data : "tests/data") / "pe" / name).string();
    }
    std::vector<uint8_t> FixtureBytes(const std::string& name) {
        std::ifstream in(Fixture(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // A dictionary that is not the sample: another name, several folders, one project file.
    void MakeInputs() {
        WriteFile("record.txt", "x\tMy Words\tA test dictionary\tTester\t45000.5\r\n");
        WriteFile("dict/words.vlp", "[Project]\r\nName=My Words\r\n");
        WriteFile("dict/a/first.pvd", std::string(5000, 'a'));
        WriteFile("dict/a/b/second.txt", "second");
        WriteFile("vel/velmor.ini", "[Vellumor]\r\n");
    }
    std::string Arguments(const std::string& templateFile, const std::string& options = "") {
        return "make-setup -q " + options + "--record " + F("record.txt") + " --dictionary " + F("dict") +
               " --vellumor " + F("vel") + " --template " + Quote(templateFile) + " " + F("out.exe");
    }
    const TResource* Find(const std::vector<TResource>& all, const char* type, const char* name) {
        for (const TResource& r : all)
            if (r.Type == TResourceId::Named(type) && r.Name == TResourceId::Named(name)) return &r;
        return nullptr;
    }
};

// Both ways of placing the resources: the template's section is rebuilt in place and the base
// relocations and debugging sections behind it move (so does a symbol table after them); behind
// a section that must not move (here: one a debug directory points into) a new one is appended.
TEST_F(QdmxMakeSetup, TheSetupCarriesTheRecordAndWhatCreatePacks) {
    MakeInputs();
    // make-setup packs with the dense method unless told otherwise.
    ASSERT_EQ(Qdmx("create -q -m zstd -C " + F("dict") + " " + F("dict.qdmx") + " .").Status, 0);
    ASSERT_EQ(Qdmx("create -q -m zstd -C " + F("vel") + " " + F("vel.qdmx") + " .").Status, 0);
    std::vector<uint8_t> pinned = FixtureBytes("tiny-template.exe");
    const uint32_t directories = Get32(pinned.data() + 0x3C) + 24 + 112;
    Put32(pinned.data() + directories + 8 * 6, TPeImage(pinned).Directory(BaseRelocationDirectory).Rva);
    Scratch.Write("pinned.exe", pinned);
    for (const std::string& templatePath :
         {Fixture("tiny-template.exe"), Fixture("tiny-template-debug.exe"), Scratch.File("pinned.exe")}) {
        SCOPED_TRACE(templatePath); // each run after the first replaces the setup the one before made
        TToolResult made = Qdmx(Arguments(templatePath));
        ASSERT_EQ(made.Status, 0) << made.Stderr;

        TPeImage image(Scratch.Read("out.exe"));
        const std::vector<TResource> all = ReadResources(image);
        ASSERT_NE(Find(all, "PARLAVOX", "SUPPORT"), nullptr);
        const std::vector<uint8_t>& record = Find(all, "PARLAVOX", "SUPPORT")->Data;
        EXPECT_EQ(std::string(record.begin(), record.end()),
                  "x\tMy Words\tA test dictionary\tTester\t45000.5");
        ASSERT_NE(Find(all, "ARCHIVE", "DICTIONARY"), nullptr);
        EXPECT_EQ(Find(all, "ARCHIVE", "DICTIONARY")->Data, Scratch.Read("dict.qdmx"));
        ASSERT_NE(Find(all, "ARCHIVE", "VELLUMOR"), nullptr);
        EXPECT_EQ(Find(all, "ARCHIVE", "VELLUMOR")->Data, Scratch.Read("vel.qdmx"));
        // The template's own resources stay, its mark goes.
        EXPECT_NE(Find(all, "PARLAVOX", "HELLO"), nullptr);
        EXPECT_EQ(Find(all, "PARLAVOX", "TEMPLATE"), nullptr);
        EXPECT_EQ(all.size(), 6u);
        // The digests name exactly the record and the archives, with their sizes and CRC-32s.
        ASSERT_NE(Find(all, "PARLAVOX", "DIGESTS"), nullptr);
        const std::vector<uint8_t>& digestBytes = Find(all, "PARLAVOX", "DIGESTS")->Data;
        const std::vector<TResourceDigest> digests = ParseDigests({digestBytes.begin(), digestBytes.end()});
        ASSERT_EQ(digests.size(), 3u);
        for (const TResourceDigest& digest : digests) {
            const TResource* covered = Find(all, digest.Type.c_str(), digest.Name.c_str());
            ASSERT_NE(covered, nullptr) << digest.Name;
            EXPECT_EQ(digest.Size, covered->Data.size()) << digest.Name;
            EXPECT_EQ(digest.Crc, UpdateCrc32(0, covered->Data.data(), covered->Data.size())) << digest.Name;
        }
        const std::vector<uint8_t>& bytes = image.Bytes();
        const uint32_t coff = Get32(bytes.data() + 0x3C) + 4;
        EXPECT_EQ(Get32(bytes.data() + coff + 20 + 64), PeChecksum(bytes, coff + 20 + 64));

        std::ifstream in(templatePath, std::ios::binary);
        const TPeImage original({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
        const TDataDirectory relocations = image.Directory(BaseRelocationDirectory);
        const TDataDirectory originalRelocations = original.Directory(BaseRelocationDirectory);
        ASSERT_EQ(relocations.Size, originalRelocations.Size);
        EXPECT_TRUE(std::equal(image.At(relocations.Rva, relocations.Size),
                               image.At(relocations.Rva, relocations.Size) + relocations.Size,
                               original.At(originalRelocations.Rva, originalRelocations.Size)));
        const TDataDirectory resources = image.Directory(ResourceDirectory);
        if (templatePath.ends_with("pinned.exe")) {
            EXPECT_EQ(image.Sections().size(), original.Sections().size() + 1);
            EXPECT_EQ(relocations.Rva, originalRelocations.Rva);
            EXPECT_GT(resources.Rva, relocations.Rva);
        } else {
            EXPECT_EQ(image.Sections().size(), original.Sections().size());
            EXPECT_EQ(resources.Rva, original.Directory(ResourceDirectory).Rva);
            EXPECT_EQ(relocations.Rva, (resources.Rva + resources.Size + 0xFFF) / 0x1000 * 0x1000);
        }
        const uint32_t originalSymbols = Get32(original.Bytes().data() + coff + 8);
        if (originalSymbols != 0) {
            const uint32_t symbols = Get32(bytes.data() + coff + 8);
            EXPECT_TRUE(std::equal(bytes.begin() + symbols, bytes.end(),
                                   original.Bytes().begin() + originalSymbols, original.Bytes().end()));
        }
#ifdef _WIN32
        // The loader finds them as the wizard looks them up.
        HMODULE module = LoadLibraryExA(Scratch.File("out.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);
        HRSRC found = FindResourceA(module, "DICTIONARY", "ARCHIVE");
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(SizeofResource(module, found), Scratch.Read("dict.qdmx").size());
        EXPECT_NE(FindResourceA(module, "SUPPORT", "PARLAVOX"), nullptr);
        EXPECT_EQ(FindResourceA(module, "TEMPLATE", "PARLAVOX"), nullptr);
        FreeLibrary(module);
#endif
    }
}

// The setup carries the record as UTF-8 without a byte-order mark, whether it was given in UTF-8
// (with the mark or without) or in an ANSI code page.
TEST_F(QdmxMakeSetup, TheRecordIsStoredAsUtf8WhateverItsEncoding) {
    MakeInputs();
    const std::string german = "x\tWörterbuch\tGrüße\tJürgen Groß\t45000.5";
    const struct {
        const char* What;
        std::string Given;
        std::string Options;
        std::string Stored;
    } cases[] = {
        {"UTF-8 with the mark", "\xEF\xBB\xBF" + german + "\r\n", "", german},
        {"UTF-8", german, "", german},
        {"1252",
         "x\tW\xF6rterbuch\tGr\xFC\xDF"
         "e\tJ\xFCrgen Gro\xDF\t45000.5",
         "--record-codepage 1252 ", german},
        {"1251", "x\t\xD1\xEB\xEE\xE2\xE0\xF0\xFC\t\xE4\tA\t45000.5", "--record-codepage 1251 ",
         "x\tСловарь\tд\tA\t45000.5"},
    };
    for (const auto& c : cases) {
        WriteFile("record.txt", c.Given);
        // lh5 packs the folders quickly; the record is all this case is about.
        TToolResult made = Qdmx(Arguments(Fixture("tiny-template.exe"), "-m lh5 " + c.Options));
        ASSERT_EQ(made.Status, 0) << c.What << ": " << made.Stderr;
        const std::vector<TResource> all = ReadResources(TPeImage(Scratch.Read("out.exe")));
        ASSERT_NE(Find(all, "PARLAVOX", "SUPPORT"), nullptr) << c.What;
        const std::vector<uint8_t>& record = Find(all, "PARLAVOX", "SUPPORT")->Data;
        EXPECT_EQ(std::string(record.begin(), record.end()), c.Stored) << c.What;
    }
    TToolResult unknown = Qdmx(Arguments(Fixture("tiny-template.exe"), "--record-codepage 99999 "));
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_TRUE(Contains(unknown.Stderr, "--record-codepage 99999: not a code page")) << unknown.Stderr;
}

TEST_F(QdmxMakeSetup, RefusedInputsGiveTheReasonAndLeaveNoSetup) {
    struct TCase {
        const char* What;
        std::function<void()> Spoil;
        const char* Message;
    };
    const std::string templ = Fixture("tiny-template.exe");
    const std::vector<uint8_t> older{'o', 'l', 'd'};
    const TCase cases[] = {
        {"four fields", [this] { WriteFile("record.txt", "x\tName\tdesc\tauthor"); }, "(it has 4 fields)"},
        {"comma date", [this] { WriteFile("record.txt", "x\tName\td\ta\t36211,5"); },
         "\"36211,5\" is not a date"},
        {"year 10000", [this] { WriteFile("record.txt", "x\tName\td\ta\t2958466"); }, "is not a date"},
        {"no name", [this] { WriteFile("record.txt", "x\t\td\ta\t36211"); }, "cannot be a folder name"},
        {"two lines", [this] { WriteFile("record.txt", "x\tName\td\ta\t36211\nmore"); }, "line break"},
        {"UTF-16", [this] { WriteFile("record.txt", std::string("\xFF\xFEx\0\t\0", 6)); }, "saved as UTF-16"},
        {"marked but not UTF-8", [this] { WriteFile("record.txt", "\xEF\xBB\xBFx\tW\xF6rter\td\ta\t36211"); },
         "byte-order mark but is not UTF-8"},
        {"no project", [this] { fs::remove(Scratch.Path / "dict" / "words.vlp"); },
         "must hold exactly one project file (*.vlp), found 0"},
        {"two projects", [this] { WriteFile("dict/a/OTHER.VLP", "[Project]\r\n"); }, "found 2"},
        {"no section", [this] { WriteFile("dict/words.vlp", "[Words]\r\n"); }, "has no [Project] section"},
        {"project in vellumor", [this] { WriteFile("vel/x.vlp", "[Project]\r\n"); }, "--vellumor"},
        {"plain executable",
         [this] {
             fs::copy_file(Fixture("tiny-plain.exe"), Scratch.Path / "t.exe",
                           fs::copy_options::overwrite_existing);
         },
         "not a Parlavox Dictionary Setup template"},
        {"signed template",
         [this] {
             std::vector<uint8_t> bytes = FixtureBytes("tiny-template.exe");
             const uint32_t optional = Get32(bytes.data() + 0x3C) + 24;
             Put32(bytes.data() + optional + 112 + 8 * SecurityDirectory + 4, 8);
             Scratch.Write("t.exe", bytes);
         },
         "the template is signed"},
        {"made setup as template",
         [this] {
             Scratch.Write(
                 "t.exe",
                 MakeSetupImage(
                     FixtureBytes("tiny-template.exe"),
                     {{TResourceId::Named("PARLAVOX"), TResourceId::Named("SUPPORT"), 0, 0, {'r'}}}));
         },
         "already a setup with a support record"},
        {"text as template", [this] { WriteFile("t.exe", "just text, not a program"); }, "no MZ header"},
    };
    for (const TCase& c : cases) {
        fs::remove_all(Scratch.Path / "dict");
        fs::remove_all(Scratch.Path / "vel");
        fs::remove(Scratch.Path / "t.exe");
        MakeInputs();
        fs::copy_file(templ, Scratch.Path / "t.exe");
        WriteFile("out.exe", std::string(older.begin(), older.end()));
        c.Spoil();
        TToolResult result = Qdmx(Arguments(Scratch.File("t.exe")));
        EXPECT_EQ(result.Status, 1) << c.What;
        EXPECT_TRUE(Contains(result.Stderr, c.Message)) << c.What << ": " << result.Stderr;
        EXPECT_EQ(Scratch.Read("out.exe"), older) << c.What;
        EXPECT_FALSE(fs::exists(Scratch.Path / "out.exe.part")) << c.What;
    }
}

// A Vellumor archive shipped beside the setup is not embedded: its size and SHA-256 go into the
// digests, and the publisher is told under which name to ship it.
TEST_F(QdmxMakeSetup, ALooseVellumorArchiveIsRecordedNotEmbedded) {
    MakeInputs();
    ASSERT_EQ(Qdmx("create -q -m lh5 -C " + F("vel") + " " + F("vel.qdmx") + " .").Status, 0);
    const std::string base = "make-setup -q --record " + F("record.txt") + " --dictionary " + F("dict") +
                             " --template " + Quote(Fixture("tiny-template.exe")) + " ";
    TToolResult made = Qdmx(base + "--vellumor-archive " + F("vel.qdmx") + " " + F("out.exe"));
    ASSERT_EQ(made.Status, 0) << made.Stderr;
    EXPECT_TRUE(Contains(made.Stderr, "beside " + Scratch.File("out.exe") + " as out.vl3")) << made.Stderr;
    const std::vector<TResource> all = ReadResources(TPeImage(Scratch.Read("out.exe")));
    EXPECT_EQ(Find(all, "ARCHIVE", "VELLUMOR"), nullptr);
    const std::vector<uint8_t>& text = Find(all, "PARLAVOX", "DIGESTS")->Data;
    const std::vector<uint8_t> archive = Scratch.Read("vel.qdmx");
    const std::vector<TResourceDigest> digests = ParseDigests({text.begin(), text.end()});
    ASSERT_EQ(digests.size(), 3u);
    EXPECT_EQ(digests[2].Type, LooseFileType);
    EXPECT_EQ(digests[2].Name, "VELLUMOR");
    EXPECT_EQ(digests[2].Size, archive.size());
    EXPECT_EQ(digests[2].Sha256, Sha256Hex(archive.data(), archive.size()));

    // Neither way, or an archive the setup would refuse, makes no setup.
    WriteFile("vel/extra.vlp", "[Project]\r\n");
    ASSERT_EQ(Qdmx("create -q -m lh5 -C " + F("vel") + " " + F("project.qdmx") + " .").Status, 0);
    WriteFile("text.qdmx", "not an archive");
    const std::pair<std::string, std::string> refused[] = {
        {"", "give either --vellumor FOLDER"},
        {"--vellumor-archive " + F("project.qdmx") + " ",
         "must not hold a project file (*.vlp), found extra.vlp"},
        {"--vellumor-archive " + F("text.qdmx") + " ", "not an archive the setup can expand"},
        {"--vellumor " + F("dict") + " --vellumor-archive " + F("vel.qdmx") + " ", "excludes"},
    };
    for (const auto& [options, message] : refused) {
        fs::remove(Scratch.Path / "out.exe");
        TToolResult result = Qdmx(base + options + F("out.exe"));
        EXPECT_NE(result.Status, 0) << options;
        EXPECT_TRUE(Contains(result.Stderr, message)) << options << ": " << result.Stderr;
        EXPECT_FALSE(fs::exists(Scratch.Path / "out.exe")) << options;
    }
}

// The publisher's signing command runs without a shell: split at blanks outside double quotes,
// {in} and {out} put in whole, nothing else interpreted.
TEST(UninstallerSigning, CommandIsSplitWithoutAShell) {
    using V = std::vector<std::string>;
    EXPECT_EQ(qdmx::SigningArguments("sign  -in {in} -out \"{out}\" \"C:\\My Certs\\a.pfx\" x;rm\t$HOME",
                                     "/t/u.exe", "/t/s p.exe"),
              (V{"sign", "-in", "/t/u.exe", "-out", "/t/s p.exe", "C:\\My Certs\\a.pfx", "x;rm", "$HOME"}));
    EXPECT_EQ(qdmx::SigningArguments("signtool sign /a \"\"", "u.exe", "s.exe"),
              (V{"signtool", "sign", "/a", "", "u.exe"}));
    EXPECT_THROW(qdmx::SigningArguments("sign \"unmatched", "u", "s"), Exception);
    EXPECT_THROW(qdmx::SigningArguments("  ", "u", "s"), Exception);
}

// A signature changes only the certificate table at the end, its directory entry and the checksum;
// any other changed byte is refused.
TEST_F(QdmxMakeSetup, OnlyTheSignatureMayDifferFromTheUninstallerHandedOver) {
    const std::vector<uint8_t> original = FixtureBytes("tiny-template.exe");
    const uint32_t optional = Get32(original.data() + 0x3C) + 24;
    // The image with a certificate table of 64 bytes after `padding` (zeros where a tool aligns it).
    auto signedWith = [&](const std::vector<uint8_t>& padding) {
        std::vector<uint8_t> image = original;
        image.insert(image.end(), padding.begin(), padding.end());
        const uint32_t table = static_cast<uint32_t>(image.size());
        image.resize(table + 64, 0x5A);
        Put32(image.data() + optional + 112 + 8 * SecurityDirectory, table);
        Put32(image.data() + optional + 112 + 8 * SecurityDirectory + 4, 64);
        Put32(image.data() + optional + 64, PeChecksum(image, optional + 64));
        return image;
    };
    const std::vector<uint8_t> signedImage = signedWith({});
    EXPECT_EQ(qdmx::FindChangeBesidesSignature(original, signedImage), std::nullopt);

    std::vector<uint8_t> patched = signedImage;
    patched[0x1000 + 0x40] ^= 1; // inside the resource section
    EXPECT_NE(qdmx::FindChangeBesidesSignature(original, patched), std::nullopt);
    // Data appended before the table is a change too.
    EXPECT_NE(qdmx::FindChangeBesidesSignature(original, signedWith(std::vector<uint8_t>(8, 0x90))),
              std::nullopt);
}

// Whatever a template's bytes say, making a setup from it ends with a result or ESetupTemplate;
// under the sanitizers any read or write outside the buffers fails the test.
TEST(SetupTemplateHostile, DamagedTemplatesAreRefusedWithoutStrayAccess) {
    const char* data = std::getenv("PARLAVOX_TEST_DATA");
    std::ifstream in(fs::path(data ? data : "tests/data") / "pe" / "tiny-template.exe", std::ios::binary);
    const std::vector<uint8_t> good{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GE(good.size(), 0x1000u);
    auto make = [](std::vector<uint8_t> bytes) {
        return MakeSetupImage(std::move(bytes),
                              {{TResourceId::Named("PARLAVOX"), TResourceId::Named("SUPPORT"), 0, 0, {'r'}}});
    };
    ASSERT_NO_THROW(make(good));
    for (size_t length = 0; length < good.size(); length += 7)
        EXPECT_THROW(make({good.begin(), good.begin() + static_cast<ptrdiff_t>(length)}), ESetupTemplate)
            << length;

    // Every header and resource byte set to values that stretch offsets, counts and sizes.
    const uint32_t rsrc = 0x1000; // the fixture's resource section in the file
    size_t refused = 0;
    for (size_t at = 0; at < good.size(); ++at) {
        if (at >= 0x400 && (at < rsrc || at >= rsrc + 0x150)) continue;
        for (uint8_t value : {uint8_t{0x00}, uint8_t{0x7F}, uint8_t{0x80}, uint8_t{0xFF}}) {
            std::vector<uint8_t> bytes = good;
            bytes[at] = value;
            try {
                make(bytes);
            } catch (const ESetupTemplate&) {
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 100u);

    // A directory entry that leads back to the root is refused, not followed forever.
    std::vector<uint8_t> loop = good;
    Put32(loop.data() + rsrc + 16 + 4, 0x80000000u);
    EXPECT_THROW(make(loop), ESetupTemplate);
}

} // namespace
