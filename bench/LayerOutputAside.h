#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "FileStreamBuffer.h"

// Sets the layer's output where an application's would go while a benchmark runs: standard
// output to /dev/null (the benchmark measures the layer, not the terminal) and the log file to a
// temporary folder, with its writer thread running. The benchmark's reports keep the original
// standard output through a duplicate. Make the display reporter before this: its colour choice
// looks at standard output.
class LayerOutputAside {
public:
    // `program` names the temporary folder and the error message.
    explicit LayerOutputAside(const std::string& program);
    ~LayerOutputAside();
    LayerOutputAside(const LayerOutputAside&) = delete;
    LayerOutputAside& operator=(const LayerOutputAside&) = delete;

    // False, after a message on standard error, when standard output could not be set aside.
    bool Ready() const { return reports_ != nullptr; }
    std::ostream& Reports() { return *reportStream_; }
    // The log file's path, empty when it could not be opened.
    const std::string& LogPath() const { return logPath_; }

private:
    std::FILE* reports_ = nullptr;
    std::unique_ptr<FileStreamBuffer> reportBuffer_;
    std::unique_ptr<std::ostream> reportStream_;
    std::filesystem::path logFolder_;
    std::string logPath_;
};
