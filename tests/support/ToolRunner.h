// Runs a built command-line tool with arguments and files in a scratch folder, giving back its
// exit status and what it wrote to standard error.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

struct TToolResult {
    int Status = -1;
    std::string Stderr;
};

class TScratchFolder {
public:
    explicit TScratchFolder(const std::string& name) : Path(PathFor(name)) {
        std::filesystem::remove_all(Path);
        std::filesystem::create_directories(Path);
    }
    ~TScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    std::string File(const std::string& name) const { return (Path / name).string(); }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(File(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<uint8_t> Read(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // The process id keeps test processes that ctest runs side by side (or two builds' test runs)
    // out of each other's folders.
    static std::filesystem::path PathFor(const std::string& name) {
#ifdef _WIN32
        auto pid = _getpid();
#else
        auto pid = getpid();
#endif
        return std::filesystem::temp_directory_path() / ("parlavox-" + std::to_string(pid) + "-" + name);
    }

    std::filesystem::path Path;
};

inline std::string Quote(const std::string& s) {
    return "\"" + s + "\"";
}

// Runs `tool arguments` (arguments already quoted as needed) with standard error captured.
inline TToolResult RunTool(const std::string& tool, const std::string& arguments,
                           const TScratchFolder& scratch) {
    std::string errFile = scratch.File("stderr.txt");
    std::string command = Quote(tool) + " " + arguments + " 2>" + Quote(errFile);
#ifdef _WIN32
    // cmd.exe strips the outer quotes of a command line that starts with one.
    command = "\"" + command + "\"";
#endif
    TToolResult result;
    int raw = std::system(command.c_str());
#ifdef _WIN32
    result.Status = raw;
#else
    result.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    auto err = scratch.Read("stderr.txt");
    result.Stderr.assign(err.begin(), err.end());
    return result;
}
