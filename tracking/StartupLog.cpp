#include "tracking/StartupLog.h"

#include <atomic>
#include <cstdlib>
#include <sstream>

#include "TarvexVersion.h"
#include "log/LogFileWriter.h"
#include "log/LogOutput.h"
#include "platform/Platform.h"
#include "tracking/UnknownOptionKeys.h"

void LogStartupBegins(const std::optional<std::string>& configPath) {
    // Without the variable the start-up is retried on every frame: say so once.
    static std::atomic<bool> toldNoConfiguration{false};
    if (!configPath && toldNoConfiguration.exchange(true)) {
        return;
    }
    LogFileWriter& writer = LogFileWriter::Instance();
    if (!writer.Started()) {
        // The head lines recorded before the file opened (the options, the application) follow
        // this one: it takes the earliest time, so that times never go back down the file.
        char now[32];
        platform::FormatLocalTime(writer.HeadStartedAt(platform::CoarseWallClockNanoseconds()),
                                  now);
        std::ostringstream head;
        head << now << " tarvex_tracking " << kTarvexVersion << " (" << kTarvexFlavour << ")"
             << ", XR_APILAYER_TARVEX_tracking_override: log of process " << platform::ProcessId()
             << ", started " << platform::LocalTimeText() << '\n';
        const char* folder = std::getenv(kConfigVariable);
        writer.Start(folder == nullptr ? std::string() : folder, head.str());
    }
    if (configPath) {
        WriteLogFileOnly("configuration file: " + *configPath + '\n');
    } else {
        WriteLogFileOnly(std::string("configuration file: none, ") + kConfigVariable +
                         " is not set\n");
    }
}

void LogSettingsAsRead(const TrackingSettings& settings) {
    std::ostringstream text;
    text << "settings as read:\n"
         << "  connectiontype  -> " << (settings.connectionType == 0 ? "multicast" : "unicast")
         << '\n'
         << "  localaddress    = " << settings.localAddress << '\n'
         << "  serveraddress   = " << settings.serverAddress << '\n'
         << "  hmdrbid         = " << settings.hmdRigidBodyId << '\n'
         << "  ipd             = " << settings.ipd << " mm\n"
         << "  overrider       = " << (settings.overrideRight ? "true" : "false") << '\n'
         << "  controllerrrbid = " << settings.rightControllerRigidBodyId << '\n'
         << "  overridel       = " << (settings.overrideLeft ? "true" : "false") << '\n'
         << "  controllerlrbid = " << settings.leftControllerRigidBodyId << '\n';
    WriteLogFileOnly(text.str());
}

void LogUnknownOptionKeys(const IniFile& ini) {
    for (const UnknownOptionKey& unknown : FindUnknownOptionKeys(ini)) {
        WriteLogFileOnly(DescribeUnknownOptionKey(unknown) + '\n');
    }
}
