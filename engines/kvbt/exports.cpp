// The engine's C functions, each a thin wrapper over the session and its tasks.
#include <netdb.h>
#include <sys/socket.h>

#include <cstring>
#include <functional>
#include <libtorrent/load_torrent.hpp>
#include <libtorrent/magnet_uri.hpp>
#include <libtorrent/read_resume_data.hpp>
#include <libtorrent/torrent_status.hpp>

#include "engine.h"
#include "file_write.h"
#include "kvbt_api.h"
#include "kvbt_downloader_info.h"
#include "platform/regular_file.h"

using kvbt::Engine;
using kvbt::Task;

namespace {

constexpr int kFailed = -1;

// Runs `body` on the task of `handle`; an unknown handle or a libtorrent error gives
// `failed`.
template <typename T>
T WithTaskValue(KvBTHandle handle, T failed, const std::function<T(Task&)>& body) {
    const std::shared_ptr<Task> task = Engine::Instance().Find(handle);
    if (!task) return failed;
    try {
        return body(*task);
    } catch (const std::exception&) {
        return failed;
    }
}

int WithTask(KvBTHandle handle, const std::function<int(Task&)>& body) {
    return WithTaskValue<int>(handle, kFailed, body);
}

std::string Text(const char* text) { return text == nullptr ? std::string() : text; }

// Resume state kept from an earlier run of the same torrent, when there is one.
void MergeResumeState(const std::string& stateFile, lt::add_torrent_params& params) {
    std::string data;
    if (stateFile.empty() || !kvbt::ReadWholeFile(stateFile, data) || data.empty()) return;
    lt::error_code ec;
    lt::add_torrent_params resumed = lt::read_resume_data(data, ec);
    if (ec) return;
    if (params.ti && resumed.info_hashes != params.ti->info_hashes()) return;
    if (!params.ti && resumed.info_hashes != params.info_hashes) return;
    resumed.ti = params.ti ? params.ti : resumed.ti;
    for (const auto& peer : params.peers) resumed.peers.push_back(peer);
    for (const auto& tracker : params.trackers) resumed.trackers.push_back(tracker);
    params = std::move(resumed);
}

void PutInt32(unsigned char* block, std::size_t offset, std::int64_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) block[offset + i] = static_cast<unsigned char>(v >> (8 * i));
}

void PutInt64(unsigned char* block, std::size_t offset, std::int64_t value) {
    const auto v = static_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i) block[offset + i] = static_cast<unsigned char>(v >> (8 * i));
}

std::string BencodeText(const std::string& text) {
    return std::to_string(text.size()) + ":" + text;
}

bool ValidFile(const lt::torrent_info& info, int index) {
    return index >= 0 && index < info.num_files();
}

}  // namespace

extern "C" {

int KvBT_AddAppToWindowsXPFirewall(const char*, const char*) { return 0; }
int KvBT_GetCurrentXPLimit(void) { return 0; }
int KvBT_ChangeXPConnectionLimit(int) { return 0; }

int KvBT_AddAppSettings(int, int, const char* listenInterface, int, int, const char*, int, int) {
    Engine::Instance().SetListenInterface(Text(listenInterface));
    return 0;
}

int KvBT_Startup(const KvBTStartupParams* params, int, int, int) {
    KvBTStartupParams defaults{1, 1, 1, 0, 1, 0, 0};
    return Engine::Instance().Startup(params != nullptr ? *params : defaults);
}

int KvBT_SetMaxCacheSize(int) { return 0; }

int KvBT_SetUploadSpeedLimit(int bytesPerSecond) {
    return Engine::Instance().SetRateLimit(true, bytesPerSecond);
}

int KvBT_SetDownloadSpeedLimit(int bytesPerSecond) {
    return Engine::Instance().SetRateLimit(false, bytesPerSecond);
}

int KvBT_SetMaxHalfOpenConnection(int) { return 0; }

int KvBT_SetEventCallback(KvBTEventCallback callback, void* context) {
    Engine::Instance().SetEventCallback(callback, context);
    return 0;
}

int KvBT_PreShutdown(void) {
    Engine::Instance().PreShutdown();
    return 0;
}

int KvBT_Shutdown(void) {
    Engine::Instance().Shutdown();
    return 0;
}

KvBTHandle KvBT_Downloader_Initialize(const char* torrentFile, const char* saveFolder,
                                      const char* stateFile, int startPaused, int, int, const char*,
                                      const char*, int isPrivate, int) {
    if (torrentFile == nullptr || saveFolder == nullptr) return nullptr;
    lt::add_torrent_params params;
    // Read here rather than by name inside the library: whatever stands under the name must
    // be a regular file of a torrent's size, never a FIFO to wait on or an endless device.
    std::string torrent, error;
    if (!platform::ReadRegularFile(torrentFile, lt::load_torrent_limits{}.max_buffer_size, torrent,
                                   error))
        return nullptr;
    try {
        lt::error_code ec;
        auto info = std::make_shared<lt::torrent_info>(torrent, ec, lt::from_span);
        if (ec || !info->is_valid()) return nullptr;
        params.ti = std::move(info);
    } catch (const std::exception&) {
        return nullptr;
    }
    MergeResumeState(Text(stateFile), params);
    return Engine::Instance().Add(std::move(params), saveFolder, Text(stateFile), startPaused != 0,
                                  isPrivate != 0);
}

KvBTHandle KvBT_Downloader_Initialize_FromUrl(const char* url, const char* saveFolder,
                                              const char* stateFile, int, int startPaused,
                                              const char*, int isPrivate, int) {
    if (url == nullptr || saveFolder == nullptr) return nullptr;
    lt::error_code ec;
    lt::add_torrent_params params = lt::parse_magnet_uri(url, ec);
    if (ec) return nullptr;
    MergeResumeState(Text(stateFile), params);
    return Engine::Instance().Add(std::move(params), saveFolder, Text(stateFile), startPaused != 0,
                                  isPrivate != 0);
}

int KvBT_Downloader_GetState(KvBTHandle handle) {
    return WithTaskValue<int>(handle, KVBT_STATE_UNKNOWN, [](Task& task) {
        if (task.Refused()) return static_cast<int>(KVBT_STATE_UNKNOWN);
        if (!task.Metadata()) return static_cast<int>(KVBT_STATE_METADATA);
        if (task.UploadOnly()) {
            return static_cast<int>(task.Checked() ? KVBT_STATE_UPLOAD_READY : KVBT_STATE_CHECKING);
        }
        return static_cast<int>(KVBT_STATE_READY);
    });
}

int KvBT_Downloader_SaveTorrentFile(KvBTHandle handle, const char* path, int) {
    if (path == nullptr) return kFailed;
    return WithTask(handle, [path](Task& task) {
        const auto info = task.Metadata();
        if (!info) return kFailed;
        // The info dictionary is written back byte for byte so the torrent keeps its hash.
        const auto section = info->info_section();
        std::string out = "d";
        const auto trackers = task.Handle().trackers();
        if (!trackers.empty()) {
            out += BencodeText("announce") + BencodeText(trackers.front().url);
            out += BencodeText("announce-list") + "l";
            for (const auto& tracker : trackers) out += "l" + BencodeText(tracker.url) + "e";
            out += "e";
        }
        out += BencodeText("info");
        out.append(section.data(), static_cast<std::size_t>(section.size()));
        out += "e";
        return kvbt::WriteFileReplacing(path, out) ? 0 : kFailed;
    });
}

int KvBT_Downloader_Release(KvBTHandle handle, int deleteFiles) {
    return Engine::Instance().Release(handle, deleteFiles != 0);
}

int KvBT_Downloader_SetDownloadSequence(KvBTHandle handle, int sequential) {
    return WithTask(handle, [sequential](Task& task) {
        if (sequential) {
            task.Handle().set_flags(lt::torrent_flags::sequential_download);
        } else {
            task.Handle().unset_flags(lt::torrent_flags::sequential_download);
        }
        return 0;
    });
}

int KvBT_Downloader_AddPeerSource(KvBTHandle handle, const char* host, int port) {
    if (host == nullptr || *host == '\0' || port <= 0 || port > 65535) return kFailed;
    return WithTask(handle, [host, port](Task& task) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (::getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return kFailed;
        int added = 0;
        for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
            lt::tcp::endpoint endpoint;
            if (a->ai_family == AF_INET) {
                std::memcpy(endpoint.data(), a->ai_addr, sizeof(sockaddr_in));
            } else if (a->ai_family == AF_INET6) {
                std::memcpy(endpoint.data(), a->ai_addr, sizeof(sockaddr_in6));
            } else {
                continue;
            }
            endpoint.port(static_cast<unsigned short>(port));
            // Plain handshake first, as libtorrent does for peers a tracker names: the
            // encrypted one costs two key computations before the first request, and a peer
            // that insists on encryption is tried with it next time.
            task.Handle().connect_peer(endpoint, lt::peer_source_flags_t{},
                                       lt::pex_utp | lt::pex_holepunch);
            ++added;
        }
        ::freeaddrinfo(found);
        return added > 0 ? 0 : kFailed;
    });
}

int KvBT_Downloader_SetMaxSessionPerHttp(KvBTHandle handle, int) {
    return WithTask(handle, [](Task&) { return 0; });
}

int KvBT_Downloader_AddHttpDownload(KvBTHandle handle, const char* url) {
    if (url == nullptr || *url == '\0') return kFailed;
    return WithTask(handle, [url](Task& task) {
        task.Handle().add_url_seed(url);
        return 0;
    });
}

int KvBT_Downloader_GetDownloadSpeed(KvBTHandle handle) {
    return WithTaskValue<int>(handle, 0, [](Task& task) {
        return task.Handle().status(lt::status_flags_t{}).download_payload_rate;
    });
}

int KvBT_Downloader_GetFileCount(KvBTHandle handle) {
    return WithTaskValue<int>(handle, 0, [](Task& task) {
        const auto info = task.Metadata();
        return info ? info->num_files() : 0;
    });
}

int KvBT_Downloader_IsPadFile(KvBTHandle handle, int index) {
    return WithTaskValue<int>(handle, 0, [index](Task& task) {
        const auto info = task.Metadata();
        if (!info || !ValidFile(*info, index)) return 0;
        return info->files().pad_file_at(lt::file_index_t(index)) ? 1 : 0;
    });
}

int64_t KvBT_Downloader_GetFileSize(KvBTHandle handle, int index) {
    return WithTaskValue<int64_t>(handle, 0, [index](Task& task) -> int64_t {
        const auto info = task.Metadata();
        if (!info || !ValidFile(*info, index)) return 0;
        return info->files().file_size(lt::file_index_t(index));
    });
}

int64_t KvBT_Downloader_GetFileOffset(KvBTHandle handle, int index) {
    return WithTaskValue<int64_t>(handle, 0, [index](Task& task) -> int64_t {
        const auto info = task.Metadata();
        if (!info || !ValidFile(*info, index)) return 0;
        return info->files().file_offset(lt::file_index_t(index));
    });
}

int64_t KvBT_Downloader_GetTotalFileSize(KvBTHandle handle) {
    return WithTaskValue<int64_t>(handle, 0, [](Task& task) -> int64_t {
        const auto info = task.Metadata();
        return info ? info->total_size() : 0;
    });
}

int KvBT_Downloader_GetFilePathName(KvBTHandle handle, int index, char* buffer, int* length,
                                    int fullPath) {
    if (buffer == nullptr || length == nullptr) return kFailed;
    return WithTask(handle, [=](Task& task) {
        const auto info = task.Metadata();
        if (!info || !ValidFile(*info, index)) return kFailed;
        const lt::file_index_t file(index);
        const std::string path = fullPath ? info->files().file_path(file, task.SaveFolder())
                                          : info->files().file_path(file);
        const int needed = static_cast<int>(path.size()) + 1;
        if (*length < needed) {
            *length = needed;
            return kFailed;
        }
        std::memcpy(buffer, path.c_str(), static_cast<std::size_t>(needed));
        *length = needed - 1;
        return 0;
    });
}

int KvBT_Downloader_GetPieceSize(KvBTHandle handle) {
    return WithTaskValue<int>(handle, 0, [](Task& task) {
        const auto info = task.Metadata();
        return info ? info->piece_length() : 0;
    });
}

int KvBT_Downloader_GetPieceCount(KvBTHandle handle) {
    return WithTaskValue<int>(handle, 0, [](Task& task) { return task.PieceCount(); });
}

int KvBT_Downloader_GetPiecesStatus(KvBTHandle handle, unsigned char* buffer, int count,
                                    int* held) {
    if (held != nullptr) *held = 0;
    if (buffer == nullptr && count > 0) return kFailed;
    return WithTask(handle, [=](Task& task) {
        const int n = task.CopyPieceStatus(buffer, count < 0 ? 0 : count);
        if (held != nullptr) *held = n;
        return 0;
    });
}

int KvBT_Downloader_SetPiecePrioritize(KvBTHandle handle, int piece, int priority, int) {
    return WithTask(handle,
                    [=](Task& task) { return task.StagePriority(piece, priority) ? 0 : kFailed; });
}

int KvBT_Downloader_ApplyPrioritize(KvBTHandle handle) {
    return WithTask(handle, [](Task& task) {
        task.ApplyPriorities();
        return 0;
    });
}

int KvBT_Downloader_SetMaxTotalConnections(KvBTHandle handle, int count) {
    return WithTask(handle, [count](Task& task) {
        task.Handle().set_max_connections(count > 0 ? count : -1);
        return 0;
    });
}

int KvBT_Downloader_SetDownloadLimit(KvBTHandle handle, int bytesPerSecond) {
    return WithTask(handle, [bytesPerSecond](Task& task) {
        task.Handle().set_download_limit(bytesPerSecond > 0 ? bytesPerSecond : -1);
        return 0;
    });
}

int KvBT_Downloader_SetUploadLimit(KvBTHandle handle, int bytesPerSecond) {
    return WithTask(handle, [bytesPerSecond](Task& task) {
        task.Handle().set_upload_limit(bytesPerSecond > 0 ? bytesPerSecond : -1);
        return 0;
    });
}

int KvBT_Downloader_IsPaused(KvBTHandle handle) {
    return WithTaskValue<int>(handle, 0, [](Task& task) {
        const auto flags = task.Handle().flags();
        return (flags & (lt::torrent_flags::paused | lt::torrent_flags::stop_when_ready)) ? 1 : 0;
    });
}

int KvBT_Downloader_Resume(KvBTHandle handle) {
    return WithTask(handle, [](Task& task) {
        if (task.HeldBack()) task.ApplyPriorities();
        task.Handle().unset_flags(lt::torrent_flags::stop_when_ready);
        task.Handle().resume();
        return 0;
    });
}

int KvBT_Downloader_SetOnlyUpload(KvBTHandle handle, int on) {
    return WithTask(handle, [on](Task& task) {
        task.SetUploadOnly(on != 0);
        if (on) {
            task.Handle().set_flags(lt::torrent_flags::upload_mode);
        } else {
            task.Handle().unset_flags(lt::torrent_flags::upload_mode);
        }
        return 0;
    });
}

int KvBT_GetDownloaderInfo(KvBTHandle handle, void* infoBlock) {
    if (infoBlock == nullptr) return kFailed;
    return WithTask(handle, [infoBlock](Task& task) {
        auto* block = static_cast<unsigned char*>(infoBlock);
        std::memset(block, 0, kvbt_info::kSize);
        const lt::torrent_status st = task.Handle().status(lt::status_flags_t{});
        const auto info = task.Metadata();
        const std::int64_t total = info ? info->total_size() : 0;
        PutInt32(block, kvbt_info::kConnections, st.num_peers);
        PutInt32(block, kvbt_info::kTrackerIncomplete, st.num_incomplete);
        PutInt32(block, kvbt_info::kTrackerComplete, st.num_complete);
        PutInt32(block, kvbt_info::kConnectedSeeds, st.num_seeds);
        PutInt32(block, kvbt_info::kConnectedDownloaders, st.num_peers - st.num_seeds);
        PutInt32(block, kvbt_info::kDownloadRate, st.download_payload_rate);
        PutInt64(block, kvbt_info::kTotalSize, total);
        PutInt64(block, kvbt_info::kBytesHeld, st.total_done);
        PutInt64(block, kvbt_info::kBytesDownloaded, st.total_payload_download);
        PutInt32(block, kvbt_info::kPiecesHeld, task.HeldCount());
        PutInt64(block, kvbt_info::kTotalSizeAgain, total);
        PutInt32(block, kvbt_info::kPieceCount, task.PieceCount());
        PutInt32(block, kvbt_info::kPieceLength, info ? info->piece_length() : 0);
        return 0;
    });
}

int KvBT_Downloader_AddPartPieceData(KvBTHandle handle, int64_t offset, int64_t length,
                                     const char* data) {
    if (data == nullptr || offset < 0 || length <= 0) return kFailed;
    return WithTask(handle, [=](Task& task) {
        const auto info = task.Metadata();
        if (!info) return kFailed;
        const std::int64_t pieceLength = info->piece_length();
        const std::int64_t end = offset + length;
        for (std::int64_t piece = (offset + pieceLength - 1) / pieceLength;
             piece < info->num_pieces(); ++piece) {
            const std::int64_t start = piece * pieceLength;
            const int size = info->piece_size(lt::piece_index_t(static_cast<int>(piece)));
            if (start + size > end) break;
            const char* from = data + (start - offset);
            task.AddPieceData(static_cast<int>(piece), std::vector<char>(from, from + size));
        }
        return 0;
    });
}

}  // extern "C"
