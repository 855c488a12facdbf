// The stream's HTTP assist branch: bytes that an HTTP download of the chosen file brought
// ahead of the engine are sent from there and handed to the engine as piece data.
#include "assist_rules.h"
#include "connection.h"
#include "log.h"
#include "stream_task_manager.h"

namespace http::server {

connection::assist_outcome connection::run_assist_branch(std::uint64_t now) {
    assist_outcome out;
    CStreamTaskManager* manager = GetStreamTaskManager();
    assist_ = manager == nullptr ? nullptr : manager->GetHttpClient(handle_);
    if (!assist_ || !assist_->IsRunning()) return out;
    const std::uint64_t a = assist_->GetDownloadedBytes();
    const std::uint64_t started = assist_->GetStartTick();
    WriteLog(FormatLogTimestamp())
        .WriteLog(LogText::kHttpDownloaded)
        .WriteLog(a)
        .WriteLog(LogText::kLineEnd);
    const AssistStep step = DecideAssist(a, now > started ? now - started : 0, available_);
    if (step.speedUp) {
        WriteLog(FormatLogTimestamp())
            .WriteLog(LogText::kSpeedUpTickCount)
            .WriteLog(now)
            .WriteLog(LogText::kStartTime)
            .WriteLog(started)
            .WriteLog(LogText::kLineEnd);
        manager->RestoreLimits(handle_);
    }
    if (step.stop) {
        const std::uint64_t left = static_cast<std::uint64_t>(content_length_) - sent_;
        WriteLog(FormatLogTimestamp())
            .WriteLog(LogText::kHttpDownloaderStopped)
            .WriteLog(a)
            .WriteLog(LogText::kCanStop)
            .WriteLog(std::uint32_t{1})
            .WriteLog(LogText::kQDownloadSize)
            .WriteLog(available_)
            .WriteLog(LogText::kLeft)
            .WriteLog(left)
            .WriteLog(LogText::kLineEnd);
        manager->RestoreLimits(handle_);
        assist_->RequestStop();
        out.close = true;
    }
    // The stream's bytes that the assist holds: from its start position on.
    const std::uint64_t from = assist_->GetStartPosition();
    if (from <= start_ + sent_ && from + a > start_) out.ahead = from + a - start_;
    return out;
}

std::uint32_t connection::read_from_assist(std::uint64_t ahead) {
    const std::uint64_t limit = std::min(ahead, static_cast<std::uint64_t>(content_length_));
    const std::uint64_t n = piece_to_send(limit);
    if (n == 0 || !assist_) return 0;
    const std::uint64_t at = start_ + sent_;
    const std::size_t m =
        assist_->CopyData(at - assist_->GetStartPosition(), stream_buffer_.data() + fill_offset_,
                          static_cast<std::size_t>(n));
    if (m > 0) {
        // The engine checks them like data from a peer; positions count in the torrent.
        KvBT_Downloader_AddPartPieceData(handle_, static_cast<std::int64_t>(file_offset_ + at),
                                         static_cast<std::int64_t>(m),
                                         stream_buffer_.data() + fill_offset_);
    }
    return static_cast<std::uint32_t>(m);
}

void connection::end_assist(const assist_outcome& outcome) {
    if (outcome.close && assist_) assist_->CloseMainThread();
}

}  // namespace http::server
