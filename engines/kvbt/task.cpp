#include "task.h"

#include <libtorrent/download_priority.hpp>

namespace kvbt {

namespace {
// Urgent pieces get deadlines this far apart, in order, so they arrive in order.
constexpr int kDeadlineStepMs = 150;
constexpr unsigned char kNormal = 1;
// Urgent pieces after the first: above every normal piece, below the first.
constexpr lt::download_priority_t kUrgent{6};
}  // namespace

Task::Task(std::uint64_t id, std::string saveFolder, std::string stateFile)
    : id_(id), saveFolder_(std::move(saveFolder)), stateFile_(std::move(stateFile)) {}

void Task::SetHandle(const lt::torrent_handle& handle) {
    std::lock_guard<std::mutex> guard(lock_);
    handle_ = handle;
}

lt::torrent_handle Task::Handle() const {
    std::lock_guard<std::mutex> guard(lock_);
    return handle_;
}

void Task::SetMetadata(std::shared_ptr<const lt::torrent_info> info) {
    std::lock_guard<std::mutex> guard(lock_);
    if (info_ || !info || !info->is_valid()) return;
    info_ = std::move(info);
    const auto n = static_cast<std::size_t>(info_->num_pieces());
    held_.assign(n, 0);
    staged_.assign(n, kNormal);
    heldCount_ = 0;
}

void Task::Refuse() {
    std::lock_guard<std::mutex> guard(lock_);
    refused_ = true;
}

bool Task::Refused() const {
    std::lock_guard<std::mutex> guard(lock_);
    return refused_;
}

std::shared_ptr<const lt::torrent_info> Task::Metadata() const {
    std::lock_guard<std::mutex> guard(lock_);
    return info_;
}

void Task::OnChecked(const lt::typed_bitfield<lt::piece_index_t>& have) {
    std::lock_guard<std::mutex> guard(lock_);
    checked_ = true;
    for (auto& entry : waitingData_) {
        handle_.add_piece(lt::piece_index_t(entry.first), std::move(entry.second));
    }
    waitingData_.clear();
    if (held_.empty()) return;
    for (std::size_t i = 0; i < held_.size(); ++i) {
        const lt::piece_index_t p(static_cast<int>(i));
        if (static_cast<int>(i) < have.size() && have.get_bit(p) && !held_[i]) {
            held_[i] = 1;
            ++heldCount_;
        }
    }
}

bool Task::OnPieceFinished(int piece) {
    std::lock_guard<std::mutex> guard(lock_);
    if (piece < 0 || piece >= static_cast<int>(held_.size()) || held_[piece]) return false;
    finished_.push_back(piece);
    if (flushInFlight_) return false;
    flushing_.swap(finished_);
    finished_.clear();
    flushInFlight_ = true;
    return true;
}

bool Task::OnFlushed() {
    std::lock_guard<std::mutex> guard(lock_);
    for (const int piece : flushing_) {
        if (!held_[piece]) {
            held_[piece] = 1;
            ++heldCount_;
        }
    }
    flushing_.clear();
    flushInFlight_ = false;
    if (finished_.empty()) return false;
    flushing_.swap(finished_);
    flushInFlight_ = true;
    return true;
}

bool Task::Checked() const {
    std::lock_guard<std::mutex> guard(lock_);
    return checked_;
}

void Task::AddPieceData(int piece, std::vector<char> data) {
    std::lock_guard<std::mutex> guard(lock_);
    if (checked_) {
        handle_.add_piece(lt::piece_index_t(piece), std::move(data));
    } else {
        waitingData_.emplace_back(piece, std::move(data));
    }
}

int Task::PieceCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(held_.size());
}

int Task::CopyPieceStatus(unsigned char* buffer, int count) const {
    std::lock_guard<std::mutex> guard(lock_);
    const int n = std::min(count, static_cast<int>(held_.size()));
    for (int i = 0; i < n; ++i) buffer[i] = held_[static_cast<std::size_t>(i)];
    return heldCount_;
}

int Task::HeldCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return heldCount_;
}

void Task::SetUploadOnly(bool on) {
    std::lock_guard<std::mutex> guard(lock_);
    uploadOnly_ = on;
}

bool Task::UploadOnly() const {
    std::lock_guard<std::mutex> guard(lock_);
    return uploadOnly_;
}

void Task::SetHeldBack(bool on) {
    std::lock_guard<std::mutex> guard(lock_);
    heldBack_ = on;
}

bool Task::HeldBack() const {
    std::lock_guard<std::mutex> guard(lock_);
    return heldBack_;
}

bool Task::StagePriority(int piece, int priority) {
    std::lock_guard<std::mutex> guard(lock_);
    if (piece < 0 || piece >= static_cast<int>(staged_.size()) || priority < 0 || priority > 2) {
        return false;
    }
    staged_[static_cast<std::size_t>(piece)] = static_cast<unsigned char>(priority);
    return true;
}

void Task::ApplyPriorities() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!handle_.is_valid() || staged_.empty()) return;
    heldBack_ = false;
    std::vector<lt::download_priority_t> priorities(staged_.size());
    std::vector<int> urgent;
    for (std::size_t i = 0; i < staged_.size(); ++i) {
        switch (staged_[i]) {
            case 0:
                priorities[i] = lt::dont_download;
                break;
            case 2:
                if (held_[i]) {
                    priorities[i] = lt::top_priority;
                    break;
                }
                // libtorrent asks for the pieces of one priority in no set order, and a
                // stream waits for the first one: only that one is top.
                priorities[i] = urgent.empty() ? lt::top_priority : kUrgent;
                urgent.push_back(static_cast<int>(i));
                break;
            default:
                priorities[i] = lt::default_priority;
                break;
        }
    }
    // Pieces that are no longer urgent lose their deadline before the new priorities land,
    // since dropping a deadline leaves the piece's priority as the deadline set it.
    const std::set<int> urgentSet(urgent.begin(), urgent.end());
    for (const int piece : deadlines_) {
        if (!urgentSet.count(piece)) handle_.reset_piece_deadline(lt::piece_index_t(piece));
    }
    handle_.prioritize_pieces(priorities);
    int rank = 0;
    std::vector<std::pair<lt::piece_index_t, lt::download_priority_t>> lowered;
    for (const int piece : urgent) {
        ++rank;
        if (!deadlines_.count(piece)) {
            handle_.set_piece_deadline(lt::piece_index_t(piece), rank * kDeadlineStepMs);
            // A deadline makes its piece top; all but the first go back below it.
            if (rank > 1) lowered.emplace_back(lt::piece_index_t(piece), kUrgent);
        }
    }
    if (!lowered.empty()) handle_.prioritize_pieces(lowered);
    deadlines_ = urgentSet;
}

void Task::ExpectResumeData() {
    std::lock_guard<std::mutex> guard(lock_);
    resumePending_ = true;
}

void Task::ResumeDataDone() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        resumePending_ = false;
    }
    resumeCv_.notify_all();
}

bool Task::WaitResumeData(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> guard(lock_);
    return resumeCv_.wait_for(guard, limit, [this] { return !resumePending_; });
}

}  // namespace kvbt
