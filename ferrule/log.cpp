#include "log.h"

#include <cstdio>
#include <ctime>
#include <fstream>

#include "file_utils.h"
#include "platform/user_files.h"

namespace {
const char kLogFileName[] = "D2IZedavi.log";
}

const char* LogTextOf(LogText text) {
    switch (text) {
        case LogText::kLineEnd:
            return "\n";
        case LogText::kCrLf:
            return "\r\n";
        case LogText::kDeleteHttpClient:
            return " delete httpClient, this: ";
        case LogText::kStartToCloseMainThread:
            return " Start to Close MainThread: ";
        case LogText::kClient:
            return " client: ";
        case LogText::kPerformDownloadError:
            return " Perform Download Error, this: ";
        case LogText::kFlushToFileFailed:
            return " FlushToFile SaveFile failed: ";
        case LogText::kHttpGetFileSuccess:
            return " HttpGetFile AsyncMainThread  success, this: ";
        case LogText::kHttpGetFileFailed:
            return " HttpGetFile AsyncMainThread  failed, this: ";
        case LogText::kDownloadData:
            return ", download data: ";
        case LogText::kOnDownloadDataFailed:
            return " OnDownloadData SaveFile failed: ";
        case LogText::kDownloaderInitialized:
            return "KvBT_Downloader_Initialize success \n";
        case LogText::kHttpDownloadTorrent:
            return "HttpDownloadTorrent ";
        case LogText::kHttpDownloaded:
            return "Http Downloaded : ";
        case LogText::kSpeedUpTickCount:
            return " BT SpeedUp TickCount: ";
        case LogText::kStartTime:
            return ", startTime:";
        case LogText::kHttpDownloaderStopped:
            return " HttpDownloader Stopped -> httpDownloadSize : ";
        case LogText::kBuf:
            return ", buf:";
        case LogText::kLeft:
            return ", left: ";
        case LogText::kCanStop:
            return " , canStop : ";
        case LogText::kQDownloadSize:
            return ", m_qDownloadSize: ";
        case LogText::kConnection:
            return "connection:";
        case LogText::kHttpStart:
            return ",  Http Start: ";
    }
    return "";
}

CLog::CLog(std::string path) : path_(std::move(path)) {}

void CLog::SetEnabled(bool on) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    enabled_ = on;
}

bool CLog::IsEnabled() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return enabled_;
}

std::string CLog::GetPath() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return path_.empty() ? platform::FileToWrite(GetAppDirectory(), kLogFileName) : path_;
}

void CLog::WritePiece(const std::string& text) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!enabled_) return;
    const std::string path = GetPath();
    // The size test and the delete sit inside the lock so that two writers never both
    // restart the file and lose each other's lines.
    if (GetFileSize64(path) >= kRestartSize) ForceDeleteFile(path);
    std::ofstream out(path, std::ios::out | std::ios::app | std::ios::binary);
    if (!out) return;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
}

CLog& TheLog() {
    static CLog log;
    return log;
}

std::string FormatLogTimestamp() {
    if (!TheLog().IsEnabled()) return std::string();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof text, "[%04d-%02d-%02d %02d:%02d:%02d]", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

CLogLine::CLogLine(CLog& log) : log_(&log), on_(log.IsEnabled()) {}

CLogLine::CLogLine(CLogLine&& other) noexcept
    : log_(other.log_), on_(other.on_), text_(std::move(other.text_)) {
    other.on_ = false;
    other.text_.clear();
}

CLogLine::~CLogLine() {
    if (on_ && !text_.empty()) log_->WritePiece(text_);
}

CLogLine& CLogLine::WriteLog(const std::string& text) {
    if (on_) text_ += text;
    return *this;
}

CLogLine& CLogLine::WriteLog(const char* text) {
    if (on_ && text != nullptr) text_ += text;
    return *this;
}

CLogLine& CLogLine::WriteLog(std::int32_t value) {
    if (on_) text_ += std::to_string(value);
    return *this;
}

CLogLine& CLogLine::WriteLog(std::uint32_t value) {
    if (on_) text_ += std::to_string(value);
    return *this;
}

CLogLine& CLogLine::WriteLog(std::uint64_t value) {
    if (on_) text_ += std::to_string(value);
    return *this;
}

CLogLine& CLogLine::WriteLog(LogText text) {
    if (on_) text_ += LogTextOf(text);
    return *this;
}

CLogLine WriteLog(const std::string& text) { return std::move(CLogLine(TheLog()).WriteLog(text)); }
CLogLine WriteLog(const char* text) { return std::move(CLogLine(TheLog()).WriteLog(text)); }
CLogLine WriteLog(std::int32_t value) { return std::move(CLogLine(TheLog()).WriteLog(value)); }
CLogLine WriteLog(std::uint32_t value) { return std::move(CLogLine(TheLog()).WriteLog(value)); }
CLogLine WriteLog(std::uint64_t value) { return std::move(CLogLine(TheLog()).WriteLog(value)); }
CLogLine WriteLog(LogText text) { return std::move(CLogLine(TheLog()).WriteLog(text)); }
