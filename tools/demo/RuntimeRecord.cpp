#include "tools/demo/RuntimeRecord.h"

#include <charconv>
#include <cstdlib>

namespace demo {
namespace {

// Finds " key=" in the line and returns what follows up to the next space. Matched in place:
// the line is read for every record line, and needs no pattern string built for it.
std::optional<std::string_view> Field(std::string_view line, std::string_view key) {
    for (size_t at = line.find(key); at != std::string_view::npos; at = line.find(key, at + 1)) {
        const size_t equals = at + key.size();
        if (at > 0 && line[at - 1] == ' ' && equals < line.size() && line[equals] == '=') {
            const std::string_view value = line.substr(equals + 1);
            return value.substr(0, value.find(' '));
        }
    }
    return std::nullopt;
}

std::optional<XrPosef> ParsePose(std::string_view text) {
    float numbers[7];
    std::string copy(text);
    const char* cursor = copy.c_str();
    for (int i = 0; i < 7; ++i) {
        char* end = nullptr;
        numbers[i] = std::strtof(cursor, &end);
        if (end == cursor || (i < 6 && *end != ',') || (i == 6 && *end != '\0')) {
            return std::nullopt;
        }
        cursor = end + 1;
    }
    XrPosef pose{};
    pose.position = {numbers[0], numbers[1], numbers[2]};
    pose.orientation = {numbers[3], numbers[4], numbers[5], numbers[6]};
    return pose;
}

}  // namespace

std::optional<RecordedViews> ParseViewsLine(std::string_view line, std::string_view event) {
    if (!line.starts_with(event) || line.size() == event.size() || line[event.size()] != ' ') {
        return std::nullopt;
    }
    const auto time = Field(line, "display_time");
    const auto view0 = Field(line, "view0");
    const auto view1 = Field(line, "view1");
    if (!time || !view0 || !view1) {
        return std::nullopt;
    }
    RecordedViews views;
    const auto [end, error] =
        std::from_chars(time->data(), time->data() + time->size(), views.displayTime);
    const auto left = ParsePose(*view0);
    const auto right = ParsePose(*view1);
    if (error != std::errc{} || end != time->data() + time->size() || !left || !right) {
        return std::nullopt;
    }
    views.left = *left;
    views.right = *right;
    return views;
}

RuntimeRecordReader::~RuntimeRecordReader() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void RuntimeRecordReader::ReadNew() {
    if (file_ == nullptr) {
        file_ = std::fopen(path_.c_str(), "r");
        if (file_ == nullptr) {
            return;
        }
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file_)) > 0) {
        partial_.append(buffer, got);
    }
    std::clearerr(file_);  // the runtime goes on writing; read on from here next time
    size_t start = 0;
    for (size_t end = partial_.find('\n'); end != std::string::npos;
         end = partial_.find('\n', start)) {
        const std::string_view line(partial_.data() + start, end - start);
        if (auto located = ParseViewsLine(line, "locate_views")) {
            located_.push_back(*located);
        } else if (auto submitted = ParseViewsLine(line, "projection_layer")) {
            submitted_.push_back(*submitted);
        }
        start = end + 1;
    }
    partial_.erase(0, start);
}

}  // namespace demo
