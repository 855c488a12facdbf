// The service's settings ("ini/app.ini", "ini/path.ini"), its timings and its clock.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

struct AppSettings {
    std::recursive_mutex lock;  // held while the settings are written back
    bool logOn = false;
    int maxConns = 0;      // connections of a streaming task; 0: 160
    int maxDownload = 0;   // KiB/s per task; 0: unlimited
    int maxUpload = 0;     // KiB/s per task; 0: unlimited
    int silentUpload = 0;  // KiB/s engine-wide while only seeding; 0: unlimited
    std::string savePath;  // where the engine writes media data
};

// The process-wide settings.
AppSettings& TheAppSettings();

// Reads both files (a missing file reads as empty). An empty or unusable save path is
// replaced by the default folder and both files are written back.
bool LoadAppSettings();
// Writes "maxConns", "maxDownload", "maxUpload" and "savePath" back; true when both files
// were saved.
bool SaveAppSettings();

// The times of the idle and throttle rules, in milliseconds.
struct StreamTimingValues {
    int idleCloseMs = 180000;       // idle time after which a task is closed
    int idleTestMs = 3000;          // how often the idle rule is tested
    int throttleRestoreMs = 40001;  // a throttled task keeps its limits at least this long
    int metadataWaitMs = 10000;     // how long a magnet link may take to bring its metadata
    int torrentFetchMs = 15000;     // how long one torrent download may take
    int requestReadMs = 30000;      // a request must arrive, and a plain reply move, this soon
    int streamPollMs = 10;          // a stream looks for new bytes, and ticks the tasks, this often
};

const StreamTimingValues& StreamTimings();
// Tests change the times; the service never calls this.
void SetStreamTimingsForTesting(const StreamTimingValues& timings);

// Milliseconds of a monotonic clock (never 0).
std::uint64_t TickCountMs();
