// The log file: UTF-8 lines after one byte-order mark, ending in CR LF.
#include "setup/unattended/InstallLog.h"

#include "platform/files/FileStream.h"
#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>

namespace {

const std::string Mark = "\xEF\xBB\xBF";
// "Wörterbuch" and "表示" in UTF-8.
const std::string Words = "W\xC3\xB6rterbuch \xE8\xA1\xA8\xE7\xA4\xBA";

TEST(InstallLog, NewFileStartsWithOneByteOrderMark) {
    TTempDirectory folder;
    const std::string path = folder.Sub("setup.log");
    {
        TFileInstallLog log(path);
        log.Write("Written: C:\\" + Words + "\\words.vlm");
        log.Write("Information: Parlavox Dictionary setup complete.");
    }
    EXPECT_EQ(folder.Read("setup.log"),
              Mark + "Written: C:\\" + Words +
                  "\\words.vlm\r\nInformation: Parlavox Dictionary setup complete.\r\n");
    // Opened by a path again, the log starts afresh, with its mark.
    TFileInstallLog(path).Write("again");
    EXPECT_EQ(folder.Read("setup.log"), Mark + "again\r\n");
}

TEST(InstallLog, NewLogWithoutLinesIsTheMarkAlone) {
    TTempDirectory folder;
    TFileInstallLog(folder.Sub("empty.log")); // closed again, so that Windows lets it be read
    EXPECT_EQ(folder.Read("empty.log"), Mark);
}

TEST(InstallLog, AppendingAddsNoSecondMark) {
    auto stream = std::make_unique<TMemoryStream>();
    TMemoryStream* bytes = stream.get();
    const std::string before = Mark + "first run\r\n";
    bytes->Write(before.data(), static_cast<int32_t>(before.size()));
    bytes->Seek(0, TSeekOrigin::Begin);
    TFileInstallLog log(std::move(stream));
    log.Write("second run");
    EXPECT_EQ(std::string(bytes->Bytes.begin(), bytes->Bytes.end()), Mark + "first run\r\nsecond run\r\n");
}

} // namespace
