// The stream side of a connection: a request with a byte range is answered with the bytes
// of the chosen file of a torrent as the engine brings them in, one chunk at a time.
#include <algorithm>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <chrono>
#include <vector>

#include "app_settings.h"
#include "connection.h"
#include "connection_manager.h"
#include "log.h"
#include "mime_types.h"
#include "raw_file.h"
#include "stream_task_manager.h"
#include "stream_url.h"
#include "task_preparer.h"

namespace http::server {

namespace {
constexpr std::size_t kStreamBufferSize = 0x80000;
constexpr int kInitialSendBudget = 0x40000;
// Chunks start at least this far apart.
constexpr int kChunkSpacingMs = 10;
}  // namespace

std::string connection::parse_stream_request(const std::string& path) {
    options_ = StreamTaskOptions();
    if (!ParseStreamPath(path, options_)) return std::string();
    if (CStreamTaskManager* manager = GetStreamTaskManager()) manager->SetOptions(options_);
    return options_.key;
}

void connection::start_stream() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    // This request ends every stream whose response has begun; a connection that sent
    // nothing yet, or asked for a plain file, leaves them alone.
    connection_manager_.stop_streams(shared_from_this());
    streaming_ = true;
    task_key_ = parse_stream_request(target_.path);
    send_budget_ = kInitialSendBudget;
    // Until the file size is known, aim at the stated start (a suffix range re-aims later).
    const byte_range& r = target_.range;
    start_ = r.suffix ? 0 : r.first;
    end_ = 0;
    if (r.has_last && !r.suffix) {
        end_ = r.from_header ? (r.last == UINT64_MAX ? r.last : r.last + 1) : r.last;
    }
    CStreamTaskManager* manager = GetStreamTaskManager();
    if (manager != nullptr) manager->RequestArrived(options_.key);
    OpenedTask opened;
    if (manager == nullptr || manager->OpenTaskFor(options_, start_, end_, true, opened)) {
        task_ready(opened);
        return;
    }
    // A new task is made on the preparer's thread while this thread serves the others.
    watch_for_hang_up();
    auto self = shared_from_this();
    const StreamTaskOptions options = options_;
    const std::uint64_t start = start_, end = end_;
    task_preparer_.post(options.key, [self, options, start, end] {
        OpenedTask prepared;
        CStreamTaskManager* manager = GetStreamTaskManager();
        // A client that hung up while it waited needs no task.
        if (!self->stopped() && manager != nullptr) {
            manager->OpenTaskFor(options, start, end, false, prepared);
        }
        boost::asio::post(self->socket_.get_executor(),
                          [self, prepared] { self->task_ready(prepared); });
    });
}

void connection::task_ready(const OpenedTask& opened) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    handle_ = opened.handle;
    if (stopped_) {
        // The connection ended while its task was made: it no longer uses the task.
        CStreamTaskManager* manager = GetStreamTaskManager();
        if (handle_ != nullptr && manager != nullptr) manager->ReleaseConnection(handle_);
        handle_ = nullptr;
        return;
    }
    http_url_ = opened.httpUrl;
    file_path_ = opened.filePath;
    file_index_ = opened.fileIndex;
    if (handle_ != nullptr && !file_path_.empty() && file_index_ != -1) {
        arm_stream_timer();
    } else {
        file_path_.clear();
        file_index_ = -1;
    }
    open_stream(reply_);
    write_reply();
}

void connection::open_stream(reply& rep) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    CStreamTaskManager* manager = GetStreamTaskManager();
    if (manager == nullptr || handle_ == nullptr || file_index_ == -1) {
        rep = reply::stock_reply(reply::not_found);
        // Nothing to stream: the reply's write completion closes the connection.
        streaming_ = false;
        return;
    }
    torrent_size_ = KvBT_Downloader_GetTotalFileSize(handle_);
    assist_ = manager->GetHttpClient(handle_);
    file_size_ = KvBT_Downloader_GetFileSize(handle_, file_index_);
    file_offset_ = manager->GetFileOffset(handle_);
    const std::uint64_t size = file_size_ > 0 ? static_cast<std::uint64_t>(file_size_) : 0;
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    if (!target_.range.resolve(size, begin, end)) {
        rep = reply::stock_reply(reply::range_not_satisfiable);
        rep.headers.push_back({"Content-Range", "bytes */" + std::to_string(size)});
        streaming_ = false;
        stream_timer_.cancel();
        return;
    }
    if (begin != start_ || end != end_) {
        // A suffix range, or an end past the file: aim the task where the bytes really are.
        start_ = begin;
        end_ = end;
        manager->AimTask(handle_, start_, end_);
    }
    content_length_ = static_cast<std::int64_t>(end_ - start_);
    available_ = available_bytes(start_);

    rep.status = target_.range.from_header ? reply::partial_content : reply::ok;
    rep.content.clear();
    rep.headers.clear();
    rep.headers.push_back({"Content-Length", std::to_string(content_length_)});
    rep.headers.push_back({"Content-Type", mime_types::extension_to_type(target_.extension)});
    rep.headers.push_back({"Accept-Ranges", "bytes"});
    if (target_.range.from_header) {
        rep.headers.push_back({"Content-Range", "bytes " + std::to_string(start_) + "-" +
                                                    std::to_string(end_ - 1) + "/" +
                                                    std::to_string(size)});
    }
    WriteLog(FormatLogTimestamp())
        .WriteLog(LogText::kConnection)
        .WriteLog(task_key_)
        .WriteLog(LogText::kHttpStart)
        .WriteLog(static_cast<std::uint64_t>(start_))
        .WriteLog(" ")
        .WriteLog(static_cast<std::uint64_t>(end_))
        .WriteLog(" ")
        .WriteLog(static_cast<std::uint64_t>(content_length_))
        .WriteLog(LogText::kLineEnd);
}

void connection::arm_stream_timer() {
    stream_timer_.expires_after(std::chrono::milliseconds(StreamTimings().streamPollMs));
    auto self = shared_from_this();
    stream_timer_.async_wait(
        [self](const boost::system::error_code& e) { self->handle_stream_timer(e); });
}

void connection::handle_stream_timer(const boost::system::error_code& e) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (stopped_ || e == boost::asio::error::operation_aborted || !streaming_) return;
    if (CStreamTaskManager* manager = GetStreamTaskManager()) manager->Tick(false);
    if (poll()) arm_stream_timer();
}

bool connection::poll() {
    CStreamTaskManager* manager = GetStreamTaskManager();
    if (handle_ == nullptr || manager == nullptr) return true;
    if (manager->GetPosition(handle_) != static_cast<std::int64_t>(start_)) {
        // A newer request re-aimed the task (or closed it): this stream is over.
        boost::system::error_code ignored;
        socket_.shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
        stream_timer_.cancel();
        if (!stopped_) connection_manager_.stop(shared_from_this());
        return false;
    }
    available_ = available_bytes(start_);
    send_budget_ = std::max(send_budget_, refill_budget_);
    if (waiting_) pump();
    return true;
}

void connection::wake_stream(KvBTHandle handle) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (stopped_ || !streaming_ || handle == nullptr || handle != handle_) return;
    // Measured even while a write is out, so that the pump after it sees the new bytes.
    available_ = available_bytes(start_);
    // As a poll would, without its tick and budget: the spacing of chunks still holds, so an
    // idle stream sends at once and a busy one no sooner than before.
    if (waiting_) pump();
}

std::uint64_t connection::available_bytes(std::uint64_t offset) {
    const int n = KvBT_Downloader_GetPieceCount(handle_);
    if (n <= 0 || file_size_ <= 0) return 0;
    const std::uint64_t file_size = static_cast<std::uint64_t>(file_size_);
    if (offset >= file_size) return 0;
    std::vector<unsigned char> status(static_cast<std::size_t>(n), 0);
    int held = 0;
    if (KvBT_Downloader_GetPiecesStatus(handle_, status.data(), n, &held) != 0) return 0;
    if (held >= n) return file_size - offset;
    const std::int64_t s = KvBT_Downloader_GetPieceSize(handle_);
    if (s <= 0) return 0;
    const std::uint64_t piece_size = static_cast<std::uint64_t>(s);
    // Pieces are counted in the torrent, where the chosen file begins at its offset.
    const std::uint64_t at = file_offset_ + offset;
    std::uint64_t k = 0;
    for (std::uint64_t i = at / piece_size; i < static_cast<std::uint64_t>(n) && status[i] != 0;
         ++i) {
        ++k;
    }
    const std::uint64_t bytes = k * piece_size;
    const std::uint64_t skip = at % piece_size;
    if (bytes <= skip) return 0;
    return std::min(bytes - skip, file_size - offset);
}

std::uint64_t connection::piece_to_send(std::uint64_t limit) const {
    std::uint64_t n = limit > sent_ ? limit - sent_ : 0;
    n = std::min<std::uint64_t>(n, stream_buffer_.size() - fill_offset_);
    return std::min<std::uint64_t>(n, static_cast<std::uint64_t>(std::max(send_budget_, 0)));
}

std::uint32_t connection::read_from_file() {
    CRawFile file;
    if (file.Open(file_path_, false) != 0) return 0;
    const std::uint64_t limit = std::min(available_, static_cast<std::uint64_t>(content_length_));
    const std::uint64_t n = piece_to_send(limit);
    std::uint32_t m = 0;
    if (n > 0 && file.Read(stream_buffer_.data() + fill_offset_, static_cast<std::uint32_t>(n), &m,
                           static_cast<std::int64_t>(start_ + sent_)) != 0) {
        m = 0;
    }
    return m;
}

void connection::pump() {
    if (stopped_ || writing_ || !streaming_) return;
    const std::uint64_t now = TickCountMs();
    if (now - last_send_tick_ < static_cast<std::uint64_t>(kChunkSpacingMs)) {
        waiting_ = true;
        return;
    }
    const assist_outcome assist = run_assist_branch(now);
    if (send_budget_ <= 0 || (assist.ahead <= sent_ && available_ <= sent_)) {
        waiting_ = true;
        end_assist(assist);
        return;
    }
    waiting_ = false;
    fill_offset_ = 0;
    if (stream_buffer_.empty()) stream_buffer_.resize(kStreamBufferSize);
    const std::uint32_t m =
        assist.ahead > available_ ? read_from_assist(assist.ahead) : read_from_file();
    end_assist(assist);
    fill_offset_ += m;
    sent_ += m;
    send_budget_ -= static_cast<int>(m);
    if (m == 0) {
        waiting_ = true;
        return;
    }
    last_send_tick_ = now;
    if (sent_ >= static_cast<std::uint64_t>(content_length_)) {
        // The completion of this last write closes the connection like a plain reply.
        streaming_ = false;
        stream_timer_.cancel();
    }
    writing_ = true;
    auto self = shared_from_this();
    boost::asio::async_write(
        socket_, boost::asio::buffer(stream_buffer_.data(), fill_offset_),
        [self](const boost::system::error_code& ec, std::size_t) { self->handle_write(ec); });
}

}  // namespace http::server
