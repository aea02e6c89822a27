// The command-line definitions of the archive subcommands (create, list, test, extract,
// make-setup), kept
// apart from main so that adding them touches main in two places only.
#pragma once

#include "tools/qdmx/ArchiveCommands.h"

#include <CLI/CLI.hpp>
#include <optional>

namespace qdmx {

class TArchiveCli {
public:
    explicit TArchiveCli(CLI::App& app);
    // Runs the archive subcommand that was parsed; nullopt when another subcommand was chosen.
    std::optional<int> Run() const;

private:
    TCreateOptions CreateOptions;
    TListOptions ListOptions;
    TTestOptions TestOptions;
    TExtractOptions ExtractOptions;
    TMakeSetupOptions MakeSetupOptions;
    CLI::App* CreateCommand;
    CLI::App* ListCommand;
    CLI::App* TestCommand;
    CLI::App* ExtractCommand;
    CLI::App* MakeSetupCommand;
};

} // namespace qdmx
