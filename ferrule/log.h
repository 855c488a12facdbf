// The service's diagnostic log, "D2IZedavi.log" in the user's state folder.
//
// Nothing is written unless the log has been switched on (the "bLog" setting). Pieces are
// chained into a line:
//     WriteLog(FormatLogTimestamp()).WriteLog(uri).WriteLog(LogText::kLineEnd);
// and the whole chain is appended to the file as one piece when the statement ends, so
// lines from different threads never interleave. The file is started afresh once it has
// reached 4 MiB; it is never held open between lines.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

// The fixed message texts of the log.
enum class LogText {
    kLineEnd,                 // "\n"
    kCrLf,                    // "\r\n"
    kDeleteHttpClient,        // " delete httpClient, this: "
    kStartToCloseMainThread,  // " Start to Close MainThread: "
    kClient,                  // " client: "
    kPerformDownloadError,    // " Perform Download Error, this: "
    kFlushToFileFailed,       // " FlushToFile SaveFile failed: "
    kHttpGetFileSuccess,      // " HttpGetFile AsyncMainThread  success, this: "
    kHttpGetFileFailed,       // " HttpGetFile AsyncMainThread  failed, this: "
    kDownloadData,            // ", download data: "
    kOnDownloadDataFailed,    // " OnDownloadData SaveFile failed: "
    kDownloaderInitialized,   // "KvBT_Downloader_Initialize success \n"
    kHttpDownloadTorrent,     // "HttpDownloadTorrent "
    kHttpDownloaded,          // "Http Downloaded : "
    kSpeedUpTickCount,        // " BT SpeedUp TickCount: "
    kStartTime,               // ", startTime:"
    kHttpDownloaderStopped,   // " HttpDownloader Stopped -> httpDownloadSize : "
    kBuf,                     // ", buf:"
    kLeft,                    // ", left: "
    kCanStop,                 // " , canStop : "
    kQDownloadSize,           // ", m_qDownloadSize: "
    kConnection,              // "connection:"
    kHttpStart,               // ",  Http Start: "
};

// The exact text of a fixed message.
const char* LogTextOf(LogText text);

class CLog {
public:
    static constexpr std::uint64_t kRestartSize = 4194304;

    // The file; an empty path means "D2IZedavi.log" in the user's state folder.
    explicit CLog(std::string path = std::string());

    void SetEnabled(bool on);
    bool IsEnabled() const;
    std::string GetPath() const;

    // Appends one piece (restarting the file first when it has reached 4 MiB). A file that
    // cannot be opened loses the piece; the next piece tries again.
    void WritePiece(const std::string& text);

private:
    mutable std::recursive_mutex lock_;
    std::string path_;
    bool enabled_ = false;
};

// The process-wide log.
CLog& TheLog();

// "[yyyy-mm-dd hh:mm:ss]" in local time; empty while the log is off.
std::string FormatLogTimestamp();

// Pieces of one line; written to its log as one piece when the object goes.
class CLogLine {
public:
    explicit CLogLine(CLog& log);
    ~CLogLine();
    CLogLine(CLogLine&& other) noexcept;
    CLogLine(const CLogLine&) = delete;
    CLogLine& operator=(const CLogLine&) = delete;
    CLogLine& operator=(CLogLine&&) = delete;

    CLogLine& WriteLog(const std::string& text);
    CLogLine& WriteLog(const char* text);
    CLogLine& WriteLog(std::int32_t value);
    CLogLine& WriteLog(std::uint32_t value);
    CLogLine& WriteLog(std::uint64_t value);
    CLogLine& WriteLog(LogText text);

private:
    CLog* log_;
    bool on_;
    std::string text_;
};

// Starts a line on the process-wide log.
CLogLine WriteLog(const std::string& text);
CLogLine WriteLog(const char* text);
CLogLine WriteLog(std::int32_t value);
CLogLine WriteLog(std::uint32_t value);
CLogLine WriteLog(std::uint64_t value);
CLogLine WriteLog(LogText text);
