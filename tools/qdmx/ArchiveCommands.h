// The archive subcommands of qdmx (create, list, test, extract, make-setup) and their options.
#pragma once

#include "tools/qdmx/Commands.h"

#include <cstdint>
#include <string>
#include <vector>

class TStream;

namespace qdmx {

struct TPackMethod;

struct TCreateOptions {
    std::string Method; // empty: the best method this build can compress with
    int Level = 0;      // -m zstd only; 0: the default level
    int WindowLog = 0;  // -m zstd only; 0: the default window
    std::string Key;    // empty: no key
    int Lock = 0;       // 0: not given (2 with a key)
    std::string Directory;
    std::string Archive;
    std::vector<std::string> Paths;
    bool Quiet = false;
};

// Names without the UTF-8 mark are read in NamesCodePage; 0: the machine's ANSI code page.
struct TListOptions {
    bool Verbose = false;
    unsigned NamesCodePage = 0;
    std::string Archive;
};

struct TTestOptions {
    std::string Key;
    unsigned NamesCodePage = 0;
    std::string Archive;
    bool Quiet = false;
};

struct TExtractOptions {
    std::string Directory;
    std::string Key;
    bool KeepExisting = false;
    bool UnsafePaths = false;
    bool Quiet = false;
    unsigned NamesCodePage = 0;
    std::string Archive;
    std::vector<std::string> Names;
};

struct TMakeSetupOptions {
    std::string Record;
    std::string Dictionary;
    std::string Vellumor;        // the folder to embed; or
    std::string VellumorArchive; // the archive shipped beside the setup as NAME.vl3, its SHA-256 recorded
    std::string Template;        // empty: setup-template.exe of the kit qdmx belongs to
    std::string SignUninstaller; // empty: the uninstaller stays as the template carries it
    std::string SigningCa;       // the CA file osslsigncode verify trusts; empty: its default
    std::string Method = "zstd";
    unsigned RecordCodePage = 0; // a record that is not UTF-8 is ANSI in it; 0: the machine's
    std::string Output;
    bool Quiet = false;
};

int Create(const TCreateOptions& options);
// Packs a folder's tree into dest as `create -C FOLDER ARCHIVE .` does.
void PackFolder(const std::string& folder, const TPackMethod& method, TStream& dest, bool quiet);
int MakeSetup(const TMakeSetupOptions& options);
int List(const TListOptions& options);
int Test(const TTestOptions& options);
int Extract(const TExtractOptions& options);

} // namespace qdmx
