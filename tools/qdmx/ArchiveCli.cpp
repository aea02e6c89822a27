#include "tools/qdmx/ArchiveCli.h"

namespace qdmx {
namespace {
const char* const NamesCodePageHelp = "code page of member names that an archive does not mark as UTF-8, as "
                                      "the first tools wrote them (default: the system's ANSI code page; "
                                      "1252 on Linux)";
} // namespace

TArchiveCli::TArchiveCli(CLI::App& app) {
    CreateCommand = app.add_subcommand("create", "pack files and directory trees into a new ARCHIVE");
    CreateCommand->add_option(
        "-m,--method", CreateOptions.Method,
        "none, rle, lzh, lh5 or zstd (default: lh5, or the best method this build has)");
    CreateCommand->add_option("--level", CreateOptions.Level, "zstd compression level, 1 to 22 (default 22)");
    CreateCommand->add_option("--window-log", CreateOptions.WindowLog,
                              "zstd window across members: 2^N bytes, N 10 to 26 (default 26: 64 MiB)");
    CreateCommand->add_option("-k,--key", CreateOptions.Key,
                              "lock the members with this non-zero 32-bit key");
    CreateCommand
        ->add_option("--lock", CreateOptions.Lock,
                     "2: scramble the data with the key (default); "
                     "1: only add the key to the checksum (the only lock of -m zstd, and its default)")
        ->check(CLI::IsMember({1, 2}));
    CreateCommand->add_option("-C,--directory", CreateOptions.Directory, "take the PATHs relative to DIR");
    CreateCommand->add_flag("-q,--quiet", CreateOptions.Quiet, "no progress display");
    CreateCommand->add_option("ARCHIVE", CreateOptions.Archive, "archive file to write")->required();
    CreateCommand->add_option("PATH", CreateOptions.Paths, "files and directories to pack")->required();

    ListCommand = app.add_subcommand("list", "list the members of ARCHIVE");
    ListCommand->add_flag("-v,--verbose", ListOptions.Verbose,
                          "sizes, ratio, method, date, attributes, checksum and lock of each member");
    ListCommand->add_option("--names-codepage", ListOptions.NamesCodePage, NamesCodePageHelp);
    ListCommand->add_option("ARCHIVE", ListOptions.Archive, "archive file")->required();

    TestCommand = app.add_subcommand("test", "expand every member without writing files and verify it");
    TestCommand->add_option("-k,--key", TestOptions.Key, "key of locked members");
    TestCommand->add_flag("-q,--quiet", TestOptions.Quiet, "no progress display");
    TestCommand->add_option("--names-codepage", TestOptions.NamesCodePage, NamesCodePageHelp);
    TestCommand->add_option("ARCHIVE", TestOptions.Archive, "archive file")->required();

    ExtractCommand =
        app.add_subcommand("extract", "expand the members of ARCHIVE (or only the NAMEs) into files");
    ExtractCommand->add_option("-C,--directory", ExtractOptions.Directory,
                               "extract below DIR (created if missing)");
    ExtractCommand->add_option("-k,--key", ExtractOptions.Key, "key of locked members");
    ExtractCommand->add_flag("-n,--keep-existing", ExtractOptions.KeepExisting,
                             "do not replace existing files");
    ExtractCommand->add_flag("--unsafe-paths", ExtractOptions.UnsafePaths,
                             "also write absolute member names and names with '..' components");
    ExtractCommand->add_flag("-q,--quiet", ExtractOptions.Quiet, "no progress display");
    ExtractCommand->add_option("--names-codepage", ExtractOptions.NamesCodePage, NamesCodePageHelp);
    ExtractCommand->add_option("ARCHIVE", ExtractOptions.Archive, "archive file")->required();
    ExtractCommand->add_option("NAME", ExtractOptions.Names, "members to extract (default: all)");

    MakeSetupCommand = app.add_subcommand(
        "make-setup", "make a single-file setup OUT.exe: the setup template with the support record and the "
                      "folders packed as its resources");
    MakeSetupCommand
        ->add_option("--record", MakeSetupOptions.Record,
                     "the support record file (one line, five "
                     "TAB-separated fields)")
        ->required();
    MakeSetupCommand->add_option("--record-codepage", MakeSetupOptions.RecordCodePage,
                                 "code page of a record that is not UTF-8 (default: the system's ANSI code "
                                 "page; 1252 on Linux)");
    MakeSetupCommand
        ->add_option("--dictionary", MakeSetupOptions.Dictionary,
                     "the dictionary folder (exactly one project file *.vlp)")
        ->required();
    CLI::Option* vellumor = MakeSetupCommand->add_option("--vellumor", MakeSetupOptions.Vellumor,
                                                         "the Vellumor folder, embedded in the setup");
    MakeSetupCommand
        ->add_option("--vellumor-archive", MakeSetupOptions.VellumorArchive,
                     "instead: the Vellumor archive (qdmx create) you ship beside the setup as OUT's name "
                     "with .vl3; the setup installs only a file with its SHA-256")
        ->excludes(vellumor);
    MakeSetupCommand->add_option("--template", MakeSetupOptions.Template,
                                 "the unsigned setup template (default: setup-template.exe beside qdmx)");
    MakeSetupCommand->add_option("--sign-uninstaller", MakeSetupOptions.SignUninstaller,
                                 "sign the uninstaller with this command before packing it: {in} is the "
                                 "unsigned program, {out} where the signed one goes (without {out} it is "
                                 "signed in place; without {in} its path is appended); run without a "
                                 "shell, its arguments split at spaces outside double quotes");
    MakeSetupCommand->add_option("--signing-ca", MakeSetupOptions.SigningCa,
                                 "certificates that osslsigncode verify trusts for the signed uninstaller "
                                 "(on Linux; default: its own; Windows checks with the machine's trust)");
    MakeSetupCommand
        ->add_option("-m,--method", MakeSetupOptions.Method,
                     "zstd (default: the smallest download) or lh5 (the setup's original method)")
        ->check(CLI::IsMember({"zstd", "lh5"}));
    MakeSetupCommand->add_flag("-q,--quiet", MakeSetupOptions.Quiet, "no progress display");
    MakeSetupCommand->add_option("OUT", MakeSetupOptions.Output, "the setup to write (OUT.exe)")->required();
}

std::optional<int> TArchiveCli::Run() const {
    if (*CreateCommand) return Create(CreateOptions);
    if (*ListCommand) return List(ListOptions);
    if (*TestCommand) return Test(TestOptions);
    if (*ExtractCommand) return Extract(ExtractOptions);
    if (*MakeSetupCommand) return MakeSetup(MakeSetupOptions);
    return std::nullopt;
}

} // namespace qdmx
