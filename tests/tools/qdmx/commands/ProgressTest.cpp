// qdmx's progress line: one rewrite per new percentage, a newline at 100, nothing when disabled.
#include "tools/qdmx/commands/Progress.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace {

std::string Captured(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

TEST(QdmxProgress, RewritesTheLineOnlyWhenThePercentageChanges) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        qdmx::TProgressDisplay progress(true, file);
        auto handler = progress.Handler();
        progress.Begin("dir\\a.txt");
        for (int32_t percent : {0, 0, 64, 100, 100}) {
            int32_t value = percent;
            handler(value);
            EXPECT_EQ(value, percent) << "the display never cancels";
        }
        progress.Begin("b");
        int32_t half = 50;
        handler(half);
    }
    EXPECT_EQ(Captured(file), "\rdir\\a.txt   0%\rdir\\a.txt  64%\rdir\\a.txt 100%\n\rb  50%\n");
    std::fclose(file);
}

TEST(QdmxProgress, ADisabledDisplayWritesNothing) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        qdmx::TProgressDisplay progress(false, file);
        progress.Begin("a");
        progress.Update(10);
        progress.Update(100);
    }
    EXPECT_EQ(Captured(file), "");
    std::fclose(file);
}

} // namespace
