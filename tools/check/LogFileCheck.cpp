#include "tools/check/LogFileCheck.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include "log/LogFile.h"
#include "log/LogFolders.h"
#include "tracking/TrackingSettings.h"

void ReportLogFile(Report& report) {
    const char* configFolder = std::getenv(kConfigVariable);
    const std::string folder = ExpectedLogFolder(configFolder == nullptr ? "" : configFolder);
    if (folder.empty()) {
        report.Add(
            "configuration", "log_file", Verdict::kWarn,
            "the layer can write no log file: neither the configuration folder nor the "
            "user's state folder can be written",
            "make the folder named by " + std::string(kConfigVariable) + " writable for this user");
        return;
    }
    const std::string path = (std::filesystem::path(folder) / LogFile::kFileName).string();
    report.Add("configuration", "log_file", Verdict::kInfo,
               "the layer's log file: " + path +
                   " (tarvex_tracking.<process id>.log beside it while another process holds it)");
    report.Facts("configuration")["log_file"] = path;
}
