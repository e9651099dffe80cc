#include <gtest/gtest.h>

#include <iostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include "layer/ExceptionGuard.h"

namespace {

// Records every write that reaches standard output as one piece: a line written in two pieces
// can be split by another thread's line.
class WriteRecorder : public std::streambuf {
public:
    WriteRecorder() : saved_(std::cout.rdbuf(this)) {}
    ~WriteRecorder() override { std::cout.rdbuf(saved_); }
    WriteRecorder(const WriteRecorder&) = delete;
    WriteRecorder& operator=(const WriteRecorder&) = delete;

    std::vector<std::string> writes;

protected:
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        writes.emplace_back(data, static_cast<size_t>(size));
        return size;
    }
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            writes.emplace_back(1, traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }

private:
    std::streambuf* saved_;
};

TEST(ExceptionGuardTest, EachExceptionBecomesOneLineInOneWrite) {
    const struct {
        const char* name;
        XrResult (*body)();
        std::string line;
    } cases[] = {
        {"standard", []() -> XrResult { throw std::runtime_error("ini file not found."); },
         "ini file not found.\n"},
        {"non-standard", []() -> XrResult { throw 42; },
         "Unknown exception in XR_APILAYER_TARVEX_tracking_override\n"},
    };
    for (const auto& testCase : cases) {
        WriteRecorder recorder;
        EXPECT_EQ(CallGuarded(XR_ERROR_VALIDATION_FAILURE, testCase.body),
                  XR_ERROR_VALIDATION_FAILURE)
            << testCase.name;
        EXPECT_EQ(recorder.writes, std::vector<std::string>{testCase.line}) << testCase.name;
    }
}

TEST(ExceptionGuardTest, ABodyThatReturnsWritesNothing) {
    WriteRecorder recorder;
    EXPECT_EQ(CallGuarded(XR_ERROR_VALIDATION_FAILURE, [] { return XR_SESSION_LOSS_PENDING; }),
              XR_SESSION_LOSS_PENDING);
    EXPECT_TRUE(recorder.writes.empty());
}

}  // namespace
