// A fresh directory per test below the system's temporary folder, removed with everything in it
// (read-only files included) when the test ends. Paths are handed out with backslashes on Windows
// and '/' elsewhere, joined by Sub(), in UTF-8.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class TTempDirectory {
public:
    TTempDirectory() {
        static std::atomic<unsigned> counter{0};
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        Root = std::filesystem::temp_directory_path() /
               ("parlavox-t" + std::to_string(stamp % 1000000007) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(Root);
    }
    ~TTempDirectory() {
        std::error_code ignored;
        for (auto it = std::filesystem::recursive_directory_iterator(Root, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(Root, ignored);
    }
    TTempDirectory(const TTempDirectory&) = delete;
    TTempDirectory& operator=(const TTempDirectory&) = delete;

    // UTF-8, as the programs take paths.
    std::string Path() const {
        const std::u8string path = Root.u8string();
        return std::string(path.begin(), path.end());
    }
    // The path of a relative name below the directory ('\' separators allowed).
    std::string Sub(const std::string& relative) const {
        std::string path = Path() + Separator();
        for (char c : relative) path += c == '\\' ? Separator() : c;
        return path;
    }
    static char Separator() {
#ifdef _WIN32
        return '\\';
#else
        return '/';
#endif
    }

    void Write(const std::string& relative, const std::string& contents) const {
        const std::filesystem::path path = FileSystemPath(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }
    std::string Read(const std::string& relative) const {
        std::ifstream in(FileSystemPath(relative), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool Exists(const std::string& relative) const {
        return std::filesystem::exists(FileSystemPath(relative));
    }
    // Sub() for std::filesystem: from UTF-8 (a std::string would be taken in the ANSI code page
    // on Windows).
    std::filesystem::path FileSystemPath(const std::string& relative) const {
        const std::string path = Sub(relative);
        return std::filesystem::path(std::u8string(path.begin(), path.end()));
    }

private:
    std::filesystem::path Root;
};
