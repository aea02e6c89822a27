// The archive subcommands of qdmx (create, list, test, extract) and their options.
#pragma once

#include "tools/qdmx/Commands.h"

#include <string>
#include <vector>

namespace qdmx {

struct TCreateOptions {
    std::string Method; // empty: the best method this build can compress with
    std::string Key;    // empty: no key
    int Lock = 0;       // 0: not given (2 with a key)
    std::string Directory;
    std::string Archive;
    std::vector<std::string> Paths;
    bool Quiet = false;
};

struct TListOptions {
    bool Verbose = false;
    std::string Archive;
};

struct TTestOptions {
    std::string Key;
    std::string Archive;
    bool Quiet = false;
};

struct TExtractOptions {
    std::string Directory;
    std::string Key;
    bool KeepExisting = false;
    bool UnsafePaths = false;
    bool Quiet = false;
    std::string Archive;
    std::vector<std::string> Names;
};

int Create(const TCreateOptions& options);
int List(const TListOptions& options);
int Test(const TTestOptions& options);
int Extract(const TExtractOptions& options);

} // namespace qdmx
