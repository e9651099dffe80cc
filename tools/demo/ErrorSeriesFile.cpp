#include "tools/demo/ErrorSeriesFile.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace demo {
namespace {

constexpr const char* kHeader = "# tarvex-demo errors at display time: ";
constexpr const char* kColumns = "seconds position_mm rotation_deg";

}  // namespace

bool WriteErrorSeries(const std::string& file, const ErrorSeries& series) {
    std::FILE* out = std::fopen(file.c_str(), "w");
    if (out == nullptr) {
        return false;
    }
    std::fprintf(out, "%s%s\n%s\n", kHeader, series.label.c_str(), kColumns);
    for (const FrameError& frame : series.frames) {
        std::fprintf(out, "%.6f %.4f %.5f\n", frame.seconds, frame.positionMm,
                     frame.rotationDegrees);
    }
    return std::fclose(out) == 0;
}

std::optional<ErrorSeries> ReadErrorSeries(const std::string& file) {
    std::ifstream in(file);
    std::string header;
    std::string columns;
    if (!std::getline(in, header) || header.rfind(kHeader, 0) != 0 || !std::getline(in, columns) ||
        columns != kColumns) {
        return std::nullopt;
    }
    ErrorSeries series;
    series.label = header.substr(std::string(kHeader).size());
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        FrameError frame;
        std::string rest;
        if (!(fields >> frame.seconds >> frame.positionMm >> frame.rotationDegrees) ||
            (fields >> rest)) {
            return std::nullopt;
        }
        series.frames.push_back(frame);
    }
    return series;
}

}  // namespace demo
