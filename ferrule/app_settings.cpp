#include "app_settings.h"

#include <chrono>

#include "file_utils.h"
#include "ini_file.h"
#include "ini_file_reader.h"
#include "log.h"
#include "platform/user_files.h"
#include "save_path.h"

namespace {

const char kSection[] = "AppSetting";

const char kAppIni[] = "ini/app.ini";
const char kPathIni[] = "ini/path.ini";

// The user's copy of a settings file when there is one, else the one beside the library.
std::string ToRead(const char* name) { return platform::FileToRead(GetAppDirectory(), name); }
// The user's copy, started from the one beside the library.
std::string ToWrite(const char* name) { return platform::FileToWrite(GetAppDirectory(), name); }

StreamTimingValues& Timings() {
    static StreamTimingValues timings;
    return timings;
}

}  // namespace

AppSettings& TheAppSettings() {
    static AppSettings settings;
    return settings;
}

bool LoadAppSettings() {
    AppSettings& s = TheAppSettings();
    {
        const CIniFileReader app(ToRead(kAppIni));
        s.logOn = app.GetInt(kSection, "bLog", 0) == 1;
        s.maxConns = app.GetInt(kSection, "maxConns", 0);
        s.maxDownload = app.GetInt(kSection, "maxDownload", 0);
        s.maxUpload = app.GetInt(kSection, "maxUpload", 0);
        s.silentUpload = app.GetInt(kSection, "silentUpload", 0);
    }
    TheLog().SetEnabled(s.logOn);
    {
        const CIniFileReader path(ToRead(kPathIni));
        s.savePath = path.GetString(kSection, "savePath").value_or(std::string());
    }
    if (!s.savePath.empty() && IsValidSavePath(s.savePath)) return true;
    s.savePath = GetDefaultSavePath();
    return SaveAppSettings();
}

bool SaveAppSettings() {
    AppSettings& s = TheAppSettings();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    CIniFile app(ToWrite(kAppIni));
    app.SetInt(kSection, "maxConns", s.maxConns, false);
    app.SetInt(kSection, "maxDownload", s.maxDownload, false);
    app.SetInt(kSection, "maxUpload", s.maxUpload, false);
    CIniFile path(ToWrite(kPathIni));
    path.SetString(kSection, "savePath", s.savePath, false);
    const bool appSaved = app.Save();
    const bool pathSaved = path.Save();
    return pathSaved ? appSaved : false;
}

const StreamTimingValues& StreamTimings() { return Timings(); }

void SetStreamTimingsForTesting(const StreamTimingValues& timings) { Timings() = timings; }

std::uint64_t TickCountMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
               duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count()) +
           1;
}
