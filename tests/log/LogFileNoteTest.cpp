#include <gtest/gtest.h>

#include <string>

#include "log/LogFileWriter.h"
#include "log/LogLine.h"

namespace {

std::string TakeQueued() {
    std::string text;
    while (LogFileWriter::Instance().Queue().PopInto(
        [&](const char* data, size_t size) { text.append(data, size); })) {
    }
    return text;
}

// A code's meaning goes into the file's copy of the line only, before its line end.
TEST(LogFileNoteTest, TheNoteIsInTheFileCopyOnly) {
    struct Case {
        const char* name;
        std::string written;
        std::string file;
    };
    const Case cases[] = {
        {"one line", "connect failed: error 2\n", "connect failed: error 2 (network error)\n"},
        {"text after the line end", "returned error code 2\n ",
         "returned error code 2 (network error)\n "},
        {"no line end", "error 2", "error 2 (network error)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TakeQueued();
        testing::internal::CaptureStdout();
        LogLine().FileNote("network error") << c.written;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.written);
        EXPECT_EQ(TakeQueued(), c.file);
    }
}

}  // namespace
