// Every hostile or damaged archive of tests/data/hostile through the component and the tool:
// ReadDirectory, ExpandArchive into a scratch folder (OnCheckFile redirects member k to "m<k>"
// there and records the target it was offered), `qdmx test` and `qdmx extract` in its safe mode.
// The outcomes come from expected.txt, written by the generator beside the files.
#include "tests/hostile/ComponentErrors.h"
#include "tests/hostile/HostileManifest.h"
#include "tests/support/ToolRunner.h"

#include "compress/Archiver.h"
#include "platform/files/FileStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#ifdef __linux__
#include <sys/resource.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
const std::string NoOutput = " >NUL";
#else
const std::string NoOutput = " >/dev/null";
#endif

} // namespace

// Test names and failure messages show the file, not the bytes of the case.
void PrintTo(const THostileCase& c, std::ostream* os) {
    *os << c.File;
}

namespace {

const std::vector<THostileCase>& Cases() {
    static const std::vector<THostileCase> cases = LoadHostileCases();
    return cases;
}

std::string CaseName(const ::testing::TestParamInfo<THostileCase>& info) {
    std::string name = info.param.File.substr(0, info.param.File.find('.'));
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

std::vector<uint8_t> ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What an operation ended with: nothing, or a component exception with its message.
struct TObserved {
    bool Ok = true;
    std::string Class;
    std::string Message;
};

template <typename F>
TObserved Observe(F&& operation) {
    TObserved o;
    try {
        operation();
    } catch (const std::exception& e) {
        o.Ok = false;
        o.Class = ComponentClassOf(e);
        if (o.Class.empty()) o.Class = std::string("not a component class: ") + typeid(e).name();
        o.Message = e.what();
    }
    return o;
}

void ExpectOutcome(const THostileOutcome& expected, const TObserved& observed) {
    if (expected.Ok) {
        EXPECT_TRUE(observed.Ok) << observed.Class << ": " << observed.Message;
        return;
    }
    ASSERT_FALSE(observed.Ok) << "expected " << expected.Class;
    EXPECT_EQ(observed.Class, expected.Class) << observed.Message;
    EXPECT_EQ(observed.Message.rfind(expected.Message, 0), 0u) << observed.Message;
}

// The regular files below a folder, as paths relative to it with '/' separators. A level whose
// path is too long for the system to walk ends the walk there.
std::map<std::string, fs::path> FilesBelow(const fs::path& root) {
    std::map<std::string, fs::path> files;
    std::error_code error;
    if (!fs::exists(root, error)) return files;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file(error)) files[fs::relative(it->path(), root).generic_string()] = it->path();
    return files;
}

// Names the hostile members use for files that must never appear anywhere but a target folder.
void ExpectNoEscapedFiles(const fs::path& scratch) {
    std::vector<fs::path> places = {fs::current_path(), scratch, scratch.parent_path(),
                                    fs::temp_directory_path()};
#ifndef _WIN32
    places.push_back("/");
#endif
    for (const auto& place : places) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(place, error))
            EXPECT_EQ(entry.path().filename().string().find("parlavox-evil"), std::string::npos)
                << "escaped file " << entry.path();
    }
}

// A path as a command-line argument of qdmx: absolute, with the platform's separators (on Windows
// an argument that begins with '/' would be read as an option).
std::string ToolPath(const fs::path& path) {
    fs::path absolute = fs::absolute(path);
    absolute.make_preferred();
    return absolute.string();
}

// A documented status, or 0 or 1 when either is documented; never a crash or another status.
void ExpectStatus(const TToolExpectation& expected, const TToolResult& r) {
    if (expected.Status) {
        EXPECT_EQ(r.Status, *expected.Status) << r.Stderr;
    } else {
        EXPECT_TRUE(r.Status == 0 || r.Status == 1) << r.Status << " " << r.Stderr;
    }
}

// Removes a folder however deep it is. The deep-name case leaves paths longer than Windows can
// walk; there each subdirectory is first moved up to a short path beside the folder, so that every
// path used stays short.
void RemoveTree(const fs::path& path) {
    std::error_code error;
    fs::remove_all(path, error);
#ifdef _WIN32
    if (!fs::exists(path, error)) return;
    std::vector<fs::path> pending = {path};
    for (int moved = 0; !pending.empty();) {
        const fs::path folder = pending.back();
        pending.pop_back();
        std::vector<fs::path> children;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
            children.push_back(it->path());
        for (const fs::path& child : children) {
            if (!fs::is_directory(child, error)) {
                fs::remove(child, error);
                continue;
            }
            fs::path shortPath = path.parent_path() / ("parlavox-rm-" + std::to_string(moved++));
            fs::rename(child, shortPath, error);
            pending.push_back(error ? child : shortPath);
        }
        fs::remove(folder, error);
    }
#endif
}

// Clears a scratch folder before it is made and after it is gone.
struct TTreeCleanup {
    explicit TTreeCleanup(fs::path path) : Path(std::move(path)) { RemoveTree(Path); }
    ~TTreeCleanup() { RemoveTree(Path); }
    fs::path Path;
};

std::string ScratchName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("hostile-") + info->test_suite_name() + "-" + info->name();
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)) && c != '-'; }, '_');
    return name;
}

class HostileArchive : public ::testing::TestWithParam<THostileCase> {
protected:
    fs::path Archive() const { return HostileDataFolder() / GetParam().File; }
    TTreeCleanup Cleanup{TScratchFolder::PathFor(ScratchName())};
    TScratchFolder Scratch{ScratchName()};
};

using HostileListing = HostileArchive;
using HostileExpansion = HostileArchive;
using HostileQdmxTest = HostileArchive;
using HostileQdmxExtract = HostileArchive;

TEST(HostileManifest, ListsEveryArchiveOfTheFolderOnce) {
    std::set<std::string> listed;
    for (const auto& c : Cases()) EXPECT_TRUE(listed.insert(c.File).second) << c.File << " listed twice";
    std::set<std::string> present;
    for (const auto& entry : fs::directory_iterator(HostileDataFolder()))
        if (entry.path().extension() == ".qdmx") present.insert(entry.path().filename().string());
    EXPECT_EQ(listed, present);
    EXPECT_GE(listed.size(), 60u);
}

TEST_P(HostileListing, ReadDirectoryGivesTheDocumentedEntriesOrError) {
    const THostileCase& c = GetParam();
    auto stream = TFileStream::OpenRead(Archive().string());
    TArchiver archiver;
    TDenseExpander dense(archiver);
    TDirectoryList list;
    TObserved observed = Observe([&] { archiver.ReadDirectory(*stream, list); });
    ExpectOutcome(c.List, observed);
    EXPECT_EQ(static_cast<int>(list.size()), c.List.Listed);
    for (size_t i = 0; i < list.size() && i < c.Names.size(); ++i) EXPECT_EQ(list[i].Name, c.Names[i]);
    for (const auto& entry : list) {
        ASSERT_NE(entry.Info, nullptr);
        EXPECT_GE(entry.Info->CompressedSize, 0);
        EXPECT_GE(entry.Info->ExpandedSize, 0);
        EXPECT_LE(entry.Info->Position + 25 + static_cast<int64_t>(entry.Name.size()) +
                      entry.Info->CompressedSize,
                  stream->Size());
    }
    archiver.FreeDirectory(&list);
    EXPECT_TRUE(list.empty());
}

TEST_P(HostileExpansion, ExpandArchiveWritesOnlyTheRedirectedFiles) {
    const THostileCase& c = GetParam();
    auto stream = TFileStream::OpenRead(Archive().string());
    TArchiver archiver;
    TDenseExpander dense(archiver);
    archiver.SetTargetPath("target");
    std::vector<std::string> offered;
    archiver.OnCheckFile = [&](std::string& filepath, TProcessMode mode) {
        EXPECT_EQ(mode, pmExpand);
        offered.push_back(filepath);
        filepath = Scratch.File("m" + std::to_string(offered.size() - 1));
    };
    TObserved observed = Observe([&] { archiver.ExpandArchive(*stream, nullptr); });
    ExpectOutcome(c.Expand, observed);

    // The component offers TargetPath + name, or the name itself when it begins with a backslash.
    for (size_t k = 0; k < offered.size() && k < c.Names.size(); ++k) {
        const std::string& name = c.Names[k];
        EXPECT_EQ(offered[k], !name.empty() && name[0] == '\\' ? name : "target\\" + name) << "member " << k;
    }
    std::map<std::string, fs::path> files = FilesBelow(Scratch.Path);
    std::set<std::string> expectedNames;
    for (const auto& [index, content] : c.Outputs) {
        const std::string name = "m" + std::to_string(index);
        expectedNames.insert(name);
        ASSERT_TRUE(files.count(name)) << name << " missing";
        if (content) {
            EXPECT_EQ(ReadFileBytes(files[name]), *content) << name;
        }
    }
    std::set<std::string> actualNames;
    for (const auto& [name, path] : files) actualNames.insert(name);
    EXPECT_EQ(actualNames, expectedNames);
    EXPECT_FALSE(fs::exists("target")) << "the component wrote past the handler";
    ExpectNoEscapedFiles(Scratch.Path);
}

TEST_P(HostileQdmxTest, ExitStatusAndMessageAreTheDocumentedOnes) {
    const THostileCase& c = GetParam();
    TToolResult r = RunTool(QDMX_PATH, "test -q " + Quote(ToolPath(Archive())) + NoOutput, Scratch);
    ExpectStatus(c.Test, r);
    EXPECT_NE(r.Stderr.find(c.Test.StderrText), std::string::npos) << r.Stderr;
}

TEST_P(HostileQdmxExtract, SafeModeKeepsEveryFileInsideTheTarget) {
    const THostileCase& c = GetParam();
    TToolExpectation expected = c.Extract;
#ifdef _WIN32
    if (c.ExtractWin32) expected = *c.ExtractWin32;
#endif
    const fs::path outer = Scratch.Path / "outer";
    const fs::path inner = outer / "inner";
    fs::create_directories(inner);
    TToolResult r = RunTool(
        QDMX_PATH, "extract -q -C " + Quote(ToolPath(inner)) + " " + Quote(ToolPath(Archive())) + NoOutput,
        Scratch);
    ExpectStatus(expected, r);
    EXPECT_NE(r.Stderr.find(expected.StderrText), std::string::npos) << r.Stderr;

    for (const auto& [relative, path] : FilesBelow(outer))
        EXPECT_EQ(relative.rfind("inner/", 0), 0u) << "written outside the target: " << relative;
    ExpectNoEscapedFiles(Scratch.Path);
    if (c.AnyExtractedFiles || expected.Status != c.Extract.Status) return;
    std::map<std::string, fs::path> files = FilesBelow(inner);
    std::set<std::string> actualNames, expectedNames;
    for (const auto& [name, path] : files) actualNames.insert(name);
    for (const auto& [name, content] : c.Extracted) {
        expectedNames.insert(name);
        if (files.count(name) && content) {
            EXPECT_EQ(ReadFileBytes(files[name]), *content) << name;
        }
    }
    EXPECT_EQ(actualNames, expectedNames);
}

#ifdef __linux__
// The 16,380 levels of name_deep.qdmx are created one at a time: extraction needs memory in
// proportion to the name, not a copy of the path per level (about 0.5 GB for this name).
TEST(HostileDeepName, CreatingItsDirectoriesTakesLittleMemory) {
    TScratchFolder scratch("hostile-deep-memory");
    const fs::path inner = scratch.Path / "inner";
    fs::create_directories(inner);
    TToolResult r = RunTool(QDMX_PATH,
                            "extract -q -C " + Quote(ToolPath(inner)) + " " +
                                Quote(ToolPath(HostileDataFolder() / "name_deep.qdmx")) + NoOutput,
                            scratch);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Stderr.find("Cannot create directory"), std::string::npos);
    struct rusage usage {};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 200 * 1024) << "kilobytes at the peak of qdmx extract";
}
#endif

INSTANTIATE_TEST_SUITE_P(Files, HostileListing, ::testing::ValuesIn(Cases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Files, HostileExpansion, ::testing::ValuesIn(Cases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Files, HostileQdmxTest, ::testing::ValuesIn(Cases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Files, HostileQdmxExtract, ::testing::ValuesIn(Cases()), CaseName);

} // namespace
