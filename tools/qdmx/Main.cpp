// qdmx, the archive tool: command-line parsing and the mapping of failures to exit statuses
// (1 archive or file error, 2 usage, 3 data that cannot be compressed). The arguments are taken
// as UTF-8 (tools/qdmx/Console.h), and every text goes out through WriteText.
#include "tools/qdmx/ArchiveCli.h"
#include "tools/qdmx/Commands.h"
#include "tools/qdmx/Console.h"

#include "ParlavoxVersion.h"
#include "platform/Exception.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <new>
#include <string>
#include <vector>
#include <zstd.h>

namespace {

void AddCodecOptions(CLI::App& command, qdmx::TCodecOptions& options, bool withSize) {
    command.add_option("-m,--method", options.Method, "none, rle, lzh or lh5")->required();
    if (withSize) command.add_option("-s,--size", options.Size, "expanded size in bytes");
    command.add_option("IN", options.Input, "input file (default: standard input)");
    command.add_option("OUT", options.Output, "output file (default: standard output)");
}

int Usage(const std::string& message) {
    qdmx::PrintText(
        stderr,
        "qdmx: %s\nUsage: qdmx create|list|test|extract|make-setup|encode|decode ... (try 'qdmx --help')\n",
        message.c_str());
    return qdmx::ExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"qdmx " PARLAVOX_VERSION_TEXT
                 " - create, inspect and expand QDMX archives and raw member streams, make setups",
                 "qdmx"};
    // The zstd it runs with, since the dense method's output is that release's.
    app.set_version_flag("--version",
                         std::string("qdmx " PARLAVOX_VERSION_TEXT " (zstd ") + ZSTD_versionString() + ")",
                         "print the version and exit");
    app.require_subcommand(1, 1);
    qdmx::TCodecOptions encodeOptions, decodeOptions;
    CLI::App* encode = app.add_subcommand("encode", "compress IN to OUT as one member's data");
    AddCodecOptions(*encode, encodeOptions, false);
    CLI::App* decode = app.add_subcommand("decode", "expand one member's data from IN to OUT");
    AddCodecOptions(*decode, decodeOptions, true);
    qdmx::TArchiveCli archiveCommands(app);

    const std::vector<std::string> arguments = qdmx::Utf8Arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp&) {
        qdmx::WriteText(stdout, app.help());
        return qdmx::ExitOk;
    } catch (const CLI::CallForVersion& e) {
        qdmx::PrintText(stdout, "%s\n", e.what());
        return qdmx::ExitOk;
    } catch (const CLI::ParseError& e) {
        return Usage(e.what());
    }

    try {
        if (auto status = archiveCommands.Run()) return *status;
        if (*encode) return qdmx::Encode(encodeOptions);
        return qdmx::Decode(decodeOptions);
    } catch (const qdmx::EUsageError& e) {
        return Usage(e.Message);
    } catch (const Exception& e) {
        qdmx::PrintText(stderr, "qdmx: %s\n", e.what());
        return qdmx::ExitFailure;
    } catch (const std::bad_alloc&) {
        qdmx::WriteText(stderr, "qdmx: out of memory\n");
        return qdmx::ExitFailure;
    }
}
