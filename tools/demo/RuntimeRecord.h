#pragma once

#include <openxr/openxr.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace demo {

// The stand-in runtime's record file tells what the runtime itself located and received; the
// demo reads it as it grows to show the runtime's pose beside the one the application got.
struct RecordedViews {
    XrTime displayTime = 0;
    XrPosef left{};
    XrPosef right{};
};

// Parses "<event> display_time=<ns> view0=<7 numbers> view1=<7 numbers>"; nullopt for any other
// line.
std::optional<RecordedViews> ParseViewsLine(std::string_view line, std::string_view event);

class RuntimeRecordReader {
public:
    explicit RuntimeRecordReader(std::string path) : path_(std::move(path)) {}
    ~RuntimeRecordReader();

    // Reads the lines added since the last call; a missing file reads as empty.
    void ReadNew();

    const std::vector<RecordedViews>& Located() const { return located_; }
    const std::vector<RecordedViews>& Submitted() const { return submitted_; }

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    std::string partial_;
    std::vector<RecordedViews> located_;
    std::vector<RecordedViews> submitted_;
};

}  // namespace demo
