#include "LayerOutputAside.h"

#include <unistd.h>

#include <system_error>

#include "log/LogFileWriter.h"

LayerOutputAside::LayerOutputAside(const std::string& program) {
    std::FILE* reports = fdopen(dup(fileno(stdout)), "w");
    if (reports == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::perror((program + ": cannot set standard output aside").c_str());
        return;
    }
    reports_ = reports;
    reportBuffer_ = std::make_unique<FileStreamBuffer>(reports_);
    reportStream_ = std::make_unique<std::ostream>(reportBuffer_.get());
    logFolder_ = std::filesystem::temp_directory_path() /
                 ("tarvex_" + program + "_" + std::to_string(getpid()));
    std::filesystem::create_directories(logFolder_);
    logPath_ = LogFileWriter::Instance().Start(logFolder_.string(), "");
}

LayerOutputAside::~LayerOutputAside() {
    if (reports_ == nullptr) {
        return;
    }
    reportStream_->flush();
    std::error_code ignored;
    std::filesystem::remove_all(logFolder_, ignored);
    std::fclose(reports_);
}
