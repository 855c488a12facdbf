// The seeding list: torrents that were streamed, and the upload-only tasks that keep
// uploading the torrent of a stream task closed for idleness until the next stream opens.
// The list lives in memory for the life of the service.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ini_file.h"
#include "kvbt_api.h"

// The password that torrents of encrypted entries are opened with.
extern const char kCryptTorrentPassword[];

// A limit of the settings in KiB/s as the engine takes it: bytes per second, or -1 for none
// (a value of 0 or less, or one too large to count in bytes).
int LimitInBytes(int kibPerSecond);

struct UploadEntry {
    std::string torrentFile;
    std::string saveFolder;
    std::string key;
    std::int32_t isPrivate = 0;
    std::int32_t crypt = 0;
};

struct UploadingEntry {
    KvBTHandle handle = nullptr;
    std::int32_t started = 0;
    std::string torrentFile;
};

class CUploadList {
public:
    static constexpr std::size_t kMaxEntries = 100;
    static constexpr std::size_t kMaxSeeders = 10;

    CUploadList();
    virtual ~CUploadList();
    CUploadList(const CUploadList&) = delete;
    CUploadList& operator=(const CUploadList&) = delete;

    // Engine-wide upload limit while seeding, KiB per second (0: unlimited).
    void SetSilentUpload(int kibPerSecond);
    // The engine-wide upload limit the user chose, bytes per second (0 or less: none). It is
    // in force whenever seeding stops.
    void SetUserUploadLimit(int bytesPerSecond);

    // Remembers a streamed torrent (oldest entries go beyond 100, with their files).
    void Add(const std::string& torrentFile, const std::string& saveFolder, const std::string& key,
             bool isPrivate, bool crypt);
    // Releases the seeder of a torrent that is about to be streamed again.
    void Remove(const std::string& torrentFile);
    // Seeds the entries of `key`; while seeders exist, maintains them instead.
    void StartSeeding(const std::string& key);
    // Starts the seeders whose files have been checked.
    void Maintain();
    // Releases every seeder and puts the user's upload limit back (unlimited without one).
    void StopAllSeeding();

    bool IsListed(const std::string& torrentFile) const;
    bool IsUploading(const std::string& torrentFile) const;
    void Save();

    std::vector<UploadEntry> GetEntries() const;
    std::vector<UploadingEntry> GetSeeders() const;
    bool IsSeeding() const;
    // The entry lines as saved (section "FILES").
    std::vector<std::string> GetSavedLines() const;

private:
    void StopAllSeedingLocked();
    void MaintainLocked();
    bool IsListedLocked(const std::string& torrentFile) const;
    bool IsUploadingLocked(const std::string& torrentFile) const;
    void SaveLocked();

    mutable std::recursive_mutex lock_;
    CIniFile ini_;
    std::vector<UploadEntry> entries_;
    std::vector<UploadingEntry> seeders_;
    std::int32_t seeding_ = 0;
    int silentUpload_ = 0;
    int userUploadLimit_ = -1;
};
