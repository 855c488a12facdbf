// One engine task: a libtorrent torrent and what the engine remembers of it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <libtorrent/torrent_handle.hpp>
#include <libtorrent/torrent_info.hpp>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace kvbt {

class Task {
public:
    Task(std::uint64_t id, std::string saveFolder, std::string stateFile);

    std::uint64_t Id() const { return id_; }
    const std::string& SaveFolder() const { return saveFolder_; }
    const std::string& StateFile() const { return stateFile_; }

    void SetHandle(const lt::torrent_handle& handle);
    lt::torrent_handle Handle() const;

    // Metadata: at creation from a torrent file, later for a magnet link.
    void SetMetadata(std::shared_ptr<const lt::torrent_info> info);
    std::shared_ptr<const lt::torrent_info> Metadata() const;

    // The files have been checked; `have` holds the pieces found on disk.
    void OnChecked(const lt::typed_bitfield<lt::piece_index_t>& have);
    // A piece passed its hash check. Its bytes may still be on their way to the file, so
    // it counts as held only after the next flush has completed. Answers true when the
    // caller should ask for a flush now.
    bool OnPieceFinished(int piece);
    // The flush asked for has completed. Answers true when another flush is wanted.
    bool OnFlushed();

    bool Checked() const;
    // Hands a whole piece's data to libtorrent; data that comes while the files are still
    // being checked (when libtorrent would drop it) waits for the check to end.
    void AddPieceData(int piece, std::vector<char> data);
    int PieceCount() const;
    // Copies up to `count` status bytes; answers the number of pieces held.
    int CopyPieceStatus(unsigned char* buffer, int count) const;
    int HeldCount() const;

    void SetUploadOnly(bool on);
    bool UploadOnly() const;

    // The task's metadata named a file where the task may not write: the torrent is gone from
    // the session and the task answers as failed until it is released.
    void Refuse();
    bool Refused() const;

    // A task added paused starts with every piece skipped, so that nothing is requested
    // before its caller has set the priorities; the first Apply (or Resume) lifts that.
    void SetHeldBack(bool on);
    bool HeldBack() const;

    // Priorities: staged by piece, applied together.
    bool StagePriority(int piece, int priority);
    void ApplyPriorities();

    // Waiting for the resume state during release.
    void ExpectResumeData();
    void ResumeDataDone();
    bool WaitResumeData(std::chrono::milliseconds limit);

private:
    const std::uint64_t id_;
    const std::string saveFolder_;
    const std::string stateFile_;

    mutable std::mutex lock_;
    std::condition_variable resumeCv_;
    lt::torrent_handle handle_;
    std::shared_ptr<const lt::torrent_info> info_;
    bool checked_ = false;
    bool uploadOnly_ = false;
    bool refused_ = false;
    std::vector<unsigned char> held_;
    int heldCount_ = 0;
    std::vector<int> finished_;  // hashed, waiting for a flush to be asked
    std::vector<int> flushing_;  // hashed, waiting for the flush in flight
    bool flushInFlight_ = false;
    std::vector<unsigned char> staged_;  // 0, 1, 2 per piece
    std::set<int> deadlines_;
    bool resumePending_ = false;
    bool heldBack_ = false;
    std::vector<std::pair<int, std::vector<char>>> waitingData_;
};

}  // namespace kvbt
