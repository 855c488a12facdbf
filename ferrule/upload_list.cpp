#include "upload_list.h"

#include <climits>
#include <cstdio>

#include "file_utils.h"

const char kCryptTorrentPassword[] = "3B7E0C52A9D14F86E2C07A5B19F4D63C";

namespace {

const char kSection[] = "FILES";

std::string EntryText(const UploadEntry& entry) {
    return entry.torrentFile + ";" + entry.saveFolder + ";" + entry.key + ";" +
           (entry.isPrivate ? "1" : "0") + ";" + (entry.crypt ? "1" : "0");
}

// The torrent file's folder and name without its extension.
std::string WithoutExtension(const std::string& path) {
    const std::string name = GetFileNamePart(path);
    const auto dot = name.find_last_of('.');
    return GetDirectoryPart(path) + (dot == std::string::npos ? name : name.substr(0, dot));
}

void ReleaseSeeder(const UploadingEntry& seeder) {
    std::printf("上传清除：%s\n", seeder.torrentFile.c_str());
    std::fflush(stdout);
    KvBT_Downloader_Release(seeder.handle, 0);
}

}  // namespace

int LimitInBytes(int kibPerSecond) {
    if (kibPerSecond <= 0 || kibPerSecond > INT_MAX / 1024) return -1;
    return kibPerSecond * 1024;
}

CUploadList::CUploadList() = default;

CUploadList::~CUploadList() = default;

void CUploadList::SetSilentUpload(int kibPerSecond) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    silentUpload_ = kibPerSecond;
}

void CUploadList::SetUserUploadLimit(int bytesPerSecond) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    userUploadLimit_ = bytesPerSecond > 0 ? bytesPerSecond : -1;
}

void CUploadList::Add(const std::string& torrentFile, const std::string& saveFolder,
                      const std::string& key, bool isPrivate, bool crypt) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (IsListedLocked(torrentFile)) return;
    StopAllSeedingLocked();
    bool evicted = false;
    UploadEntry oldest;
    if (entries_.size() >= kMaxEntries) {
        oldest = entries_.front();
        entries_.erase(entries_.begin());
        evicted = true;
    }
    entries_.push_back(UploadEntry{torrentFile, saveFolder, key, isPrivate ? 1 : 0, crypt ? 1 : 0});
    SaveLocked();
    if (!evicted || oldest.torrentFile.empty() || IsListedLocked(oldest.torrentFile) ||
        IsUploadingLocked(oldest.torrentFile)) {
        return;
    }
    ForceDeleteFile(oldest.torrentFile);
    ForceDeleteFile(WithoutExtension(oldest.torrentFile) + ".rent");
    // The engine's state file of the torrent would otherwise stay behind for ever.
    ForceDeleteFile(GetDirectoryPart(oldest.torrentFile) + oldest.key + ".kvbt");
}

void CUploadList::Remove(const std::string& torrentFile) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (auto it = seeders_.begin(); it != seeders_.end(); ++it) {
        if (it->torrentFile == torrentFile) {
            ReleaseSeeder(*it);
            seeders_.erase(it);
            return;
        }
    }
}

void CUploadList::StartSeeding(const std::string& key) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!seeders_.empty()) {
        MaintainLocked();
        return;
    }
    for (const UploadEntry& entry : entries_) {
        if (entry.key != key || !FileExists(entry.torrentFile) ||
            IsUploadingLocked(entry.torrentFile)) {
            continue;
        }
        if (seeders_.size() >= kMaxSeeders) break;
        std::printf("上传添加：%s\n", entry.torrentFile.c_str());
        std::fflush(stdout);
        const std::string stateFile = GetDirectoryPart(entry.torrentFile) + entry.key + ".kvbt";
        const std::string resumeFile = entry.key + ".dat";
        KvBTHandle handle = KvBT_Downloader_Initialize(
            entry.torrentFile.c_str(), entry.saveFolder.c_str(), stateFile.c_str(), 1, 1, 0,
            entry.crypt ? kCryptTorrentPassword : nullptr, resumeFile.c_str(), entry.isPrivate, 0);
        if (handle == nullptr) continue;
        KvBT_Downloader_SetOnlyUpload(handle, 1);
        seeding_ = 1;
        seeders_.push_back(UploadingEntry{handle, 0, entry.torrentFile});
    }
}

void CUploadList::Maintain() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    MaintainLocked();
}

void CUploadList::MaintainLocked() {
    if (!seeding_) return;
    KvBT_SetUploadSpeedLimit(LimitInBytes(silentUpload_));
    bool waiting = false;
    for (UploadingEntry& seeder : seeders_) {
        if (seeder.started) continue;
        const int count = KvBT_Downloader_GetPieceCount(seeder.handle);
        if (KvBT_Downloader_GetState(seeder.handle) != KVBT_STATE_UPLOAD_READY || count < 1) {
            waiting = true;
            continue;
        }
        std::vector<unsigned char> status(static_cast<std::size_t>(count), 0);
        int held = 0;
        KvBT_Downloader_GetPiecesStatus(seeder.handle, status.data(), count, &held);
        for (int piece = 0; piece < count; ++piece) {
            KvBT_Downloader_SetPiecePrioritize(seeder.handle, piece,
                                               status[static_cast<std::size_t>(piece)] ? 1 : 0, 0);
        }
        KvBT_Downloader_ApplyPrioritize(seeder.handle);
        KvBT_Downloader_Resume(seeder.handle);
        seeder.started = 1;
    }
    if (!waiting) seeding_ = 0;
}

void CUploadList::StopAllSeeding() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    StopAllSeedingLocked();
}

void CUploadList::StopAllSeedingLocked() {
    for (const UploadingEntry& seeder : seeders_) ReleaseSeeder(seeder);
    seeders_.clear();
    seeding_ = 0;
    // Seeding alone is held to its own limit; once it stops, the user's choice applies
    // again rather than none at all.
    KvBT_SetUploadSpeedLimit(userUploadLimit_);
}

bool CUploadList::IsListed(const std::string& torrentFile) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return IsListedLocked(torrentFile);
}

bool CUploadList::IsListedLocked(const std::string& torrentFile) const {
    for (const UploadEntry& entry : entries_) {
        if (entry.torrentFile == torrentFile) return true;
    }
    return false;
}

bool CUploadList::IsUploading(const std::string& torrentFile) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return IsUploadingLocked(torrentFile);
}

bool CUploadList::IsUploadingLocked(const std::string& torrentFile) const {
    for (const UploadingEntry& seeder : seeders_) {
        if (seeder.torrentFile == torrentFile) return true;
    }
    return false;
}

void CUploadList::Save() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    SaveLocked();
}

void CUploadList::SaveLocked() {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        ini_.SetString(kSection, "f" + std::to_string(i), EntryText(entries_[i]), false);
    }
    ini_.Save();
}

std::vector<UploadEntry> CUploadList::GetEntries() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return entries_;
}

std::vector<UploadingEntry> CUploadList::GetSeeders() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return seeders_;
}

bool CUploadList::IsSeeding() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return seeding_ != 0;
}

std::vector<std::string> CUploadList::GetSavedLines() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return ini_.GetLines();
}
