// The setup's and the uninstaller's command lines: spelling, values with blanks and quotes, the
// last-option rule of /D= and _?=, and usage errors for everything not understood.
#include "setup/unattended/CommandLine.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, EmptyLineMeansTheWizardAsBefore) {
    const TSetupOptions o = ParseCommandLine("  ", TOptionSet::Setup);
    EXPECT_FALSE(o.Silent || o.Help || o.NoLaunch);
    EXPECT_FALSE(o.BaseDirectory || o.DictionaryDirectory || o.LogFile);
}

TEST(CommandLine, OptionsIgnoreCaseAndTakeSlashOrDash) {
    const TSetupOptions o = ParseCommandLine("-s /nolaunch -Log=C:\\l.txt", TOptionSet::Setup);
    EXPECT_TRUE(o.Silent);
    EXPECT_TRUE(o.NoLaunch);
    EXPECT_EQ(o.LogFile.value_or(""), "C:\\l.txt");
}

TEST(CommandLine, CloseApplicationsOptionsForBothProgramsAndNeitherByDefault) {
    EXPECT_FALSE(ParseCommandLine("/S", TOptionSet::Setup).CloseApplications.has_value());
    EXPECT_EQ(ParseCommandLine("/S /closeapplications", TOptionSet::Setup).CloseApplications, true);
    EXPECT_EQ(ParseCommandLine("/S /NOCLOSEAPPLICATIONS", TOptionSet::Setup).CloseApplications, false);
    EXPECT_EQ(ParseCommandLine("/S /CLOSEAPPLICATIONS _?=C:\\D", TOptionSet::Uninstall).CloseApplications,
              true);
    EXPECT_EQ(
        ParseCommandLine("/S /CLOSEAPPLICATIONS /CLOSEAPPLICATIONS", TOptionSet::Setup).CloseApplications,
        true);
    // Both at once say nothing clear: refused, not guessed.
    EXPECT_THROW(ParseCommandLine("/S /CLOSEAPPLICATIONS /NOCLOSEAPPLICATIONS", TOptionSet::Setup),
                 EUsageError);
    EXPECT_THROW(ParseCommandLine("/CLOSEAPPLICATIONS=1", TOptionSet::Setup), EUsageError);
}

TEST(CommandLine, DirectoryAfterDTakesTheRestOfTheLineWithBlanks) {
    const TSetupOptions o =
        ParseCommandLine("/S /LOG=\"C:\\my logs\\s.log\" /d=C:\\Some Folder\\Apps /x  ", TOptionSet::Setup);
    EXPECT_EQ(o.BaseDirectory.value_or(""), "C:\\Some Folder\\Apps /x");
    EXPECT_EQ(o.LogFile.value_or(""), "C:\\my logs\\s.log");
}

TEST(CommandLine, QuotedDirectoryAfterDEndsAtItsQuote) {
    const TSetupOptions o = ParseCommandLine("\"/D=C:\\Some Folder\\Apps\" /S", TOptionSet::Setup);
    EXPECT_EQ(o.BaseDirectory.value_or(""), "C:\\Some Folder\\Apps");
    EXPECT_TRUE(o.Silent);
}

TEST(CommandLine, DictionaryDirectoryMayBeQuotedAndLosesTrailingBackslash) {
    EXPECT_EQ(
        ParseCommandLine("/DICT=\"D:\\Dict Files\\\"", TOptionSet::Setup).DictionaryDirectory.value_or(""),
        "D:\\Dict Files");
    EXPECT_EQ(ParseCommandLine("/DICT=D:\\", TOptionSet::Setup).DictionaryDirectory.value_or(""), "D:\\");
    EXPECT_EQ(ParseCommandLine("/D=C:\\Apps\\", TOptionSet::Setup).BaseDirectory.value_or(""), "C:\\Apps");
}

TEST(CommandLine, HelpIsRecognisedWithEitherPrefix) {
    EXPECT_TRUE(ParseCommandLine("/?", TOptionSet::Setup).Help);
    EXPECT_TRUE(ParseCommandLine("-?", TOptionSet::Uninstall).Help);
}

TEST(CommandLine, UninstallerReadsItsOriginLast) {
    const TSetupOptions o = ParseCommandLine("/S _?=C:\\Some Folder\\Dict", TOptionSet::Uninstall);
    EXPECT_TRUE(o.Silent);
    EXPECT_EQ(o.OriginDirectory.value_or(""), "C:\\Some Folder\\Dict");
}

class CommandLineUsage : public ::testing::TestWithParam<std::pair<const char*, TOptionSet>> {};

TEST_P(CommandLineUsage, IsAnError) {
    EXPECT_THROW(ParseCommandLine(GetParam().first, GetParam().second), EUsageError);
}

INSTANTIATE_TEST_SUITE_P(
    NotUnderstood, CommandLineUsage,
    ::testing::Values(std::make_pair("/Q", TOptionSet::Setup), std::make_pair("/SILENT", TOptionSet::Setup),
                      std::make_pair("setup", TOptionSet::Setup), std::make_pair("/S=1", TOptionSet::Setup),
                      std::make_pair("/D=", TOptionSet::Setup), std::make_pair("/LOG=", TOptionSet::Setup),
                      std::make_pair("/DICT=\"\"", TOptionSet::Setup), std::make_pair("/", TOptionSet::Setup),
                      std::make_pair("/NOLAUNCH", TOptionSet::Uninstall),
                      std::make_pair("/D=C:\\x", TOptionSet::Uninstall),
                      std::make_pair("_?=C:\\x", TOptionSet::Setup)));

TEST(CommandLine, UsageErrorKeepsWhatWasReadBeforeIt) {
    TSetupOptions partial;
    EXPECT_THROW(ParseCommandLine("/S /LOG=C:\\l.txt /BOGUS", TOptionSet::Setup, &partial), EUsageError);
    EXPECT_TRUE(partial.Silent);
    EXPECT_EQ(partial.LogFile.value_or(""), "C:\\l.txt");
}

} // namespace
