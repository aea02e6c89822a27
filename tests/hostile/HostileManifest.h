// Reads tests/data/hostile/expected.txt, the outcomes that make_hostile.py writes beside the
// hostile archives: per file the listing, the expansion and the two qdmx runs that must result.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

struct THostileOutcome {
    bool Ok = true;
    std::string Class;   // exception class when not Ok
    std::string Message; // the message begins with this text
    int Listed = 0;      // listing: entries appended (before the exception, if any)
};

struct TToolExpectation {
    std::optional<int> Status; // nullopt: 0 or 1, either is documented
    std::string StderrText;    // standard error contains this ("" for anything)
};

struct THostileCase {
    std::string File;
    THostileOutcome List;
    THostileOutcome Expand;
    std::map<int, std::optional<std::vector<uint8_t>>> Outputs; // member index -> bytes (nullopt: any)
    std::vector<std::string> Names;                             // member names, when the case gives them
    TToolExpectation Test;
    TToolExpectation Extract;
    std::optional<TToolExpectation> ExtractWin32; // replaces Extract on Windows
    bool AnyExtractedFiles = false;
    std::map<std::string, std::optional<std::vector<uint8_t>>> Extracted; // path with '/' -> bytes
};

inline std::vector<uint8_t> HexBytes(const std::string& hex) {
    std::vector<uint8_t> out;
    if (hex == "-") return out;
    if (hex.size() % 2) throw std::runtime_error("odd hex string: " + hex);
    for (size_t i = 0; i < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::string HexText(const std::string& hex) {
    auto bytes = HexBytes(hex);
    return {bytes.begin(), bytes.end()};
}

inline std::optional<std::vector<uint8_t>> HexContent(const std::string& field) {
    if (field == "*") return std::nullopt;
    return HexBytes(field);
}

inline std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) fields.push_back(field);
    if (!line.empty() && line.back() == '\t') fields.push_back("");
    return fields;
}

// PARLAVOX_TEST_DATA when the test runs; the source tree's folder, compiled in, when ctest lists
// the parameterised tests (test discovery runs without the tests' environment).
inline std::filesystem::path HostileDataFolder() {
    const char* data = std::getenv("PARLAVOX_TEST_DATA");
#ifdef PARLAVOX_TEST_DATA_DIR
    if (!data) data = PARLAVOX_TEST_DATA_DIR;
#endif
    return std::filesystem::path(data ? data : "tests/data") / "hostile";
}

inline TToolExpectation ToolExpectation(const std::vector<std::string>& f) {
    TToolExpectation t;
    if (f.at(1) != "*") t.Status = std::stoi(f.at(1));
    t.StderrText = f.size() > 2 ? f[2] : "";
    return t;
}

inline std::vector<THostileCase> LoadHostileCases() {
    // A missing manifest gives no cases (HostileManifest then fails) rather than breaking the
    // listing of every test of the program.
    std::ifstream in(HostileDataFolder() / "expected.txt");
    std::vector<THostileCase> cases;
    THostileCase c;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        auto f = SplitTabs(line);
        const std::string& key = f.at(0);
        if (key == "file") {
            c = THostileCase{};
            c.File = f.at(1);
        } else if (key == "list" || key == "expand") {
            THostileOutcome& o = key == "list" ? c.List : c.Expand;
            o.Ok = f.at(1) == "ok";
            if (key == "list" && o.Ok) o.Listed = std::stoi(f.at(2));
            if (key == "list" && !o.Ok) {
                o.Class = f.at(2);
                o.Listed = std::stoi(f.at(3));
                o.Message = f.size() > 4 ? f[4] : "";
            }
            if (key == "expand" && !o.Ok) {
                o.Class = f.at(2);
                o.Message = f.size() > 3 ? f[3] : "";
            }
        } else if (key == "out") {
            c.Outputs[std::stoi(f.at(1))] = HexContent(f.at(2));
        } else if (key == "names") {
            for (size_t i = 1; i < f.size(); ++i) c.Names.push_back(HexText(f[i]));
        } else if (key == "test") {
            c.Test = ToolExpectation(f);
        } else if (key == "extract") {
            c.Extract = ToolExpectation(f);
        } else if (key == "extract.win32") {
            c.ExtractWin32 = ToolExpectation(f);
        } else if (key == "xfiles") {
            c.AnyExtractedFiles = true;
        } else if (key == "xout") {
            c.Extracted[HexText(f.at(1))] = HexContent(f.at(2));
        } else if (key == "end") {
            cases.push_back(c);
        } else {
            throw std::runtime_error("unknown line in expected.txt: " + line);
        }
    }
    return cases;
}
