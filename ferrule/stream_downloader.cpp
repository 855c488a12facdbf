#include "stream_downloader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app_settings.h"
#include "file_utils.h"
#include "log.h"
#include "platform/user_files.h"
#include "string_utils.h"
#include "torrent_fetch.h"
#include "upload_list.h"

namespace {

// Piece statuses of a task: one byte each, non-zero = held.
std::vector<unsigned char> ReadPieceStatus(KvBTHandle handle, int count, int& held) {
    std::vector<unsigned char> status(count > 0 ? static_cast<std::size_t>(count) : 0, 0);
    held = 0;
    if (count > 0 && KvBT_Downloader_GetPiecesStatus(handle, status.data(), count, &held) != 0) {
        std::fill(status.begin(), status.end(), 0);
        held = 0;
    }
    return status;
}

}  // namespace

CStreamDownloader::CStreamDownloader(CUploadList& uploads, const COpeningSignal& news)
    : uploads_(uploads), news_(news), httpClient_(std::make_shared<CAsyncHttpClient>()) {
    httpClient_->SetByteLimit(CAsyncHttpClient::kStreamByteLimit);
}

void CStreamDownloader::SetHttpClientForTesting(std::shared_ptr<CAsyncHttpClient> client) {
    httpClient_ = std::move(client);
}

CStreamDownloader::~CStreamDownloader() { Close(); }

int CStreamDownloader::WindowLength(std::int64_t pieceSize) {
    if (pieceSize >= 2097152) return 6;
    if (pieceSize <= 0) return 8;
    const std::int64_t q = 524288 / pieceSize;
    return q > 1 ? static_cast<int>(q * 8) : 8;
}

std::uint64_t CStreamDownloader::GetPosition() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return position_;
}

KvBTHandle CStreamDownloader::Open(const std::string& key, std::uint64_t position,
                                   std::uint64_t rangeEnd, std::string& filePath, int& fileIndex) {
    ++openConnections_;
    idle_ = false;
    if (handle_ != nullptr && key == key_) {
        lastRequestStamp_ = TickCountMs();
        Aim(position, rangeEnd);
        SwitchLimits(false, true, 0);
        filePath = filePath_;
        fileIndex = fileIndex_;
        return handle_;
    }
    if (key != options_.key) return nullptr;
    key_ = key;
    if (!CreateDownloader()) return nullptr;
    ChooseFile();
    filePath = filePath_;
    fileIndex = fileIndex_;
    lastRequestStamp_ = TickCountMs();
    rangeEnd_ = rangeEnd;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        position_ = position;
    }
    if (UpdatePiecePriorities(position, -1)) lastProductiveStamp_ = TickCountMs();
    KvBT_Downloader_Resume(handle_);
    // A new task starts with the normal limits; SwitchLimits restores only a throttled one.
    throttled_ = true;
    SwitchLimits(false, true, 0);
    Maintain(true);
    return handle_;
}

void CStreamDownloader::Aim(std::uint64_t position, std::uint64_t rangeEnd) {
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        position_ = position;
    }
    rangeEnd_ = rangeEnd;
    if (UpdatePiecePriorities(position, -1)) lastProductiveStamp_ = TickCountMs();
}

bool CStreamDownloader::CreateDownloader() {
    if (giveUp_) return false;
    const std::string saveFolder = TheAppSettings().savePath;
    const std::string mediaFolder = platform::FileToWrite(GetAppDirectory(), "MediaData") + "/";
    CreateDirectoryPath(saveFolder);
    CreateDirectoryPath(mediaFolder);
    const std::string torrentFile = mediaFolder + key_ + ".torrent";
    const std::string stateFile = mediaFolder + key_ + ".kvbt";
    const std::string resumeFile = key_ + ".dat";

    uploads_.Remove(torrentFile);

    if (!FileExists(torrentFile) && options_.engineUrl.size() > 10) {
        InitFromUrl(torrentFile, saveFolder, stateFile, resumeFile);
    }
    bool fetched = false;
    if (handle_ == nullptr && !FileExists(torrentFile)) {
        WriteLog(FormatLogTimestamp())
            .WriteLog(LogText::kHttpDownloadTorrent)
            .WriteLog(key_)
            .WriteLog(LogText::kLineEnd);
        fetched = FetchTorrentFile(options_.torrentUrls, torrentFile,
                                   StreamTimings().torrentFetchMs, giveUp_);
    }
    if (handle_ == nullptr && !InitFromTorrent(torrentFile, saveFolder, stateFile, resumeFile) &&
        !fetched && FileExists(torrentFile) && !options_.torrentUrls.empty()) {
        // A cached torrent that the engine refuses is fetched again once.
        ForceDeleteFile(torrentFile);
        if (FetchTorrentFile(options_.torrentUrls, torrentFile, StreamTimings().torrentFetchMs,
                             giveUp_)) {
            InitFromTorrent(torrentFile, saveFolder, stateFile, resumeFile);
        }
    }
    if (handle_ == nullptr) return false;

    WriteLog(FormatLogTimestamp()).WriteLog(LogText::kDownloaderInitialized);
    uploads_.Add(torrentFile, saveFolder, key_, options_.isPrivate, options_.crypt);
    KvBT_Downloader_SetDownloadSequence(handle_, 1);
    AddPeerSources();
    lastSourceStamp_ = TickCountMs();
    KvBT_Downloader_SetMaxSessionPerHttp(handle_, 2);
    return true;
}

bool CStreamDownloader::InitFromUrl(const std::string& torrentFile, const std::string& saveFolder,
                                    const std::string& stateFile, const std::string& resumeFile) {
    std::printf("下载添加：%s\n", options_.engineUrl.c_str());
    std::fflush(stdout);
    KvBTHandle handle = KvBT_Downloader_Initialize_FromUrl(
        options_.engineUrl.c_str(), saveFolder.c_str(), stateFile.c_str(), 1, 0, resumeFile.c_str(),
        options_.isPrivate, 0);
    if (handle == nullptr) return false;
    handle_ = handle;
    // The metadata can come only from a peer: name them before waiting for it.
    AddPeerSources();
    KvBT_Downloader_SetDownloadSequence(handle, 1);
    lastSourceStamp_ = TickCountMs();
    const std::uint64_t deadline = TickCountMs() + StreamTimings().metadataWaitMs;
    while (!giveUp_) {
        const std::uint64_t seen = news_.Count();
        const int state = KvBT_Downloader_GetState(handle);
        // The engine refused the torrent its metadata describes.
        if (state == KVBT_STATE_UNKNOWN) break;
        if (state == KVBT_STATE_READY) {
            // The metadata is kept as the task's torrent file; a failed write only costs a
            // later fetch.
            const std::string part = torrentFile + ".part";
            if (KvBT_Downloader_SaveTorrentFile(handle, part.c_str(), 0) == 0 &&
                IsTorrentFile(part)) {
                std::rename(part.c_str(), torrentFile.c_str());
            } else {
                ForceDeleteFile(part);
            }
            return true;
        }
        const std::uint64_t now = TickCountMs();
        if (now >= deadline) break;
        // The engine's news ends the wait at once (the first piece is then asked for); the
        // look every 100 ms stays for metadata that comes without it.
        news_.WaitFor(seen, static_cast<int>(std::min<std::uint64_t>(deadline - now, 100)));
    }
    KvBT_Downloader_Release(handle, 0);
    handle_ = nullptr;
    return false;
}

bool CStreamDownloader::InitFromTorrent(const std::string& torrentFile,
                                        const std::string& saveFolder, const std::string& stateFile,
                                        const std::string& resumeFile) {
    if (!FileExists(torrentFile)) return false;
    std::printf("下载添加：%s\n", torrentFile.c_str());
    std::fflush(stdout);
    handle_ = KvBT_Downloader_Initialize(torrentFile.c_str(), saveFolder.c_str(), stateFile.c_str(),
                                         1, 1, 0, options_.crypt ? kCryptTorrentPassword : nullptr,
                                         resumeFile.c_str(), options_.isPrivate, 0);
    return handle_ != nullptr;
}

void CStreamDownloader::AddPeerSources() {
    if (handle_ == nullptr) return;
    for (const std::string& source : options_.peerSources) {
        if (source.size() < 4) continue;
        const std::vector<std::string> parts = SplitString(source, ":");
        if (parts.size() == 2) {
            KvBT_Downloader_AddPeerSource(handle_, parts[0].c_str(), std::atoi(parts[1].c_str()));
        } else {
            KvBT_Downloader_AddPeerSource(handle_, source.c_str(), 9010);
        }
    }
}

void CStreamDownloader::ChooseFile() {
    if (handle_ == nullptr || fileIndex_ != -1) return;
    const int count = KvBT_Downloader_GetFileCount(handle_);
    std::int64_t best = -1;
    for (int i = 0; i < count; ++i) {
        if (KvBT_Downloader_IsPadFile(handle_, i)) continue;
        const std::int64_t size = KvBT_Downloader_GetFileSize(handle_, i);
        if (count != 1 && size <= best) continue;
        std::vector<char> path(4096, '\0');
        int length = static_cast<int>(path.size());
        if (KvBT_Downloader_GetFilePathName(handle_, i, path.data(), &length, 1) != 0) {
            if (length <= static_cast<int>(path.size())) continue;
            path.assign(static_cast<std::size_t>(length), '\0');
            if (KvBT_Downloader_GetFilePathName(handle_, i, path.data(), &length, 1) != 0) {
                continue;
            }
        }
        best = size;
        fileIndex_ = i;
        filePath_ = path.data();
        fileSize_ = size > 0 ? static_cast<std::uint64_t>(size) : 0;
        const std::int64_t offset = count == 1 ? 0 : KvBT_Downloader_GetFileOffset(handle_, i);
        fileOffset_ = offset > 0 ? static_cast<std::uint64_t>(offset) : 0;
        if (count == 1) break;
    }
}

bool CStreamDownloader::UpdatePiecePriorities(std::uint64_t position, std::int64_t previousCount) {
    if (handle_ == nullptr) return false;
    // Pieces are counted in the torrent; positions are in the chosen file.
    const std::uint64_t p = position + fileOffset_;
    const std::int64_t s = KvBT_Downloader_GetPieceSize(handle_);
    const int n = KvBT_Downloader_GetPieceCount(handle_);
    if (n <= 0 || s <= 0) return false;
    const std::uint64_t size = static_cast<std::uint64_t>(s);
    const std::uint64_t first = p / size;
    std::uint64_t last = static_cast<std::uint64_t>(n);
    const std::uint64_t end = rangeEnd_ != 0 ? rangeEnd_ : fileSize_;
    if (end != 0) last = std::min<std::uint64_t>(last, (fileOffset_ + end - 1) / size + 1);

    int held = 0;
    const std::vector<unsigned char> status = ReadPieceStatus(handle_, n, held);
    const std::uint64_t now = TickCountMs();
    // A new play position is aimed at at once; otherwise only when pieces arrived or now
    // and then.
    const bool recompute =
        static_cast<std::uint64_t>(held) > static_cast<std::uint64_t>(previousCount) ||
        now - lastPrioritiseStamp_ > 500 || p != prioritisedPosition_;
    bool wanted = false;
    int contiguous = 0;
    if (recompute) {
        const int window = WindowLength(s);
        int taken = 0;
        bool gap = false;
        for (int i = 0; i < n; ++i) {
            const std::uint64_t piece = static_cast<std::uint64_t>(i);
            const bool inside = piece >= first && piece < last;
            if (status[piece] != 0) {
                if (inside && !gap) ++contiguous;
                continue;
            }
            if (inside) gap = true;
            if (!inside || taken >= window) {
                KvBT_Downloader_SetPiecePrioritize(handle_, i, 0, 0);
                continue;
            }
            KvBT_Downloader_SetPiecePrioritize(handle_, i, taken < 4 ? 2 : 1, 0);
            ++taken;
        }
        KvBT_Downloader_ApplyPrioritize(handle_);
        lastPrioritiseStamp_ = now;
        prioritisedPosition_ = p;
        wanted = taken > 0;
    }
    piecesHeld_ = held;
    if (wanted) {
        if (!waiting_) waitingSince_ = now;
        contiguousPieces_ = contiguous;
        waiting_ = true;
    }
    return wanted;
}

void CStreamDownloader::SwitchLimits(bool throttle, bool force, int downloadLimit) {
    if (handle_ == nullptr) return;
    if (throttle) {
        KvBT_Downloader_SetMaxTotalConnections(handle_, 10);
        KvBT_SetMaxHalfOpenConnection(2);
        KvBT_Downloader_SetDownloadLimit(handle_, downloadLimit);
        throttleStamp_ = TickCountMs();
        throttled_ = true;
        return;
    }
    if (!throttled_) return;
    if (!force && TickCountMs() - throttleStamp_ <
                      static_cast<std::uint64_t>(StreamTimings().throttleRestoreMs)) {
        return;
    }
    const AppSettings& settings = TheAppSettings();
    KvBT_Downloader_SetMaxTotalConnections(handle_,
                                           settings.maxConns > 0 ? settings.maxConns : 160);
    KvBT_SetMaxHalfOpenConnection(4);
    KvBT_Downloader_SetDownloadLimit(handle_, LimitInBytes(settings.maxDownload));
    KvBT_Downloader_SetUploadLimit(handle_, LimitInBytes(settings.maxUpload));
    if (KvBT_Downloader_IsPaused(handle_)) KvBT_Downloader_Resume(handle_);
    throttled_ = false;
    throttleStamp_ = TickCountMs();
    AddPeerSources();
    lastSourceStamp_ = TickCountMs();
    if (UpdatePiecePriorities(GetPosition(), piecesHeld_)) lastProductiveStamp_ = TickCountMs();
}

void CStreamDownloader::AddHttpSources(bool force) {
    if (handle_ == nullptr) return;
    const std::uint64_t now = TickCountMs();
    const int speed = KvBT_Downloader_GetDownloadSpeed(handle_);
    if (!force && now - lastSourceStamp_ <= 20000 && speed >= 4096) return;
    if (!throttled_ && speed < 143360) {
        for (const std::string& url : options_.httpUrls) {
            KvBT_Downloader_AddHttpDownload(handle_, url.c_str());
        }
    }
    AddPeerSources();
    lastSourceStamp_ = now;
}

void CStreamDownloader::Maintain(bool force) {
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        if (busy_) return;
        busy_ = true;
    }
    // Limits and sources are looked after every 200 ms; the download window moves on as soon
    // as pieces arrive, or a fast link would drain it long before the next pass.
    const bool pass = force || TickCountMs() - lastMaintainStamp_ >= 200;
    if (pass && !idle_) {
        SwitchLimits(false, false, 30720);
        AddHttpSources(false);
    }
    if (UpdatePiecePriorities(GetPosition(), piecesHeld_)) lastProductiveStamp_ = TickCountMs();
    if (pass) lastMaintainStamp_ = TickCountMs();
    std::lock_guard<std::recursive_mutex> guard(lock_);
    busy_ = false;
}

bool CStreamDownloader::ReleaseConnection() {
    if (openConnections_ > 0) --openConnections_;
    if (openConnections_ != 0) return false;
    idle_ = true;
    SwitchLimits(true, false, 10240);
    return true;
}

void CStreamDownloader::GetInfo(TaskInfoRecord& record) {
    if (handle_ == nullptr) return;
    record.valid = 1;
    if (KvBT_GetDownloaderInfo(handle_, record.info) != 0) return;
    std::int32_t count = 0;
    for (int i = 0; i < 4; ++i) count |= static_cast<std::int32_t>(record.info[168 + i]) << (8 * i);
    if (count <= 0) return;
    int held = 0;
    const std::vector<unsigned char> status = ReadPieceStatus(handle_, count, held);
    record.pieceMap.resize(status.size());
    for (std::size_t i = 0; i < status.size(); ++i) {
        record.pieceMap[i] = static_cast<char>('0' + status[i]);
    }
}

void CStreamDownloader::Close() {
    if (handle_ != nullptr) {
        std::printf("下载清除：%s\n", filePath_.c_str());
        std::fflush(stdout);
        KvBT_Downloader_Release(handle_, 0);
        handle_ = nullptr;
    }
    httpClient_->CloseMainThread();
    piecesHeld_ = 0;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        position_ = 0;
    }
    rangeEnd_ = 0;
    fileOffset_ = 0;
    fileIndex_ = -1;
}
