#include "engine.h"

#include <chrono>
#include <fstream>
#include <libtorrent/alert_types.hpp>
#include <libtorrent/download_priority.hpp>
#include <libtorrent/ip_filter.hpp>
#include <libtorrent/session_params.hpp>
#include <libtorrent/settings_pack.hpp>
#include <libtorrent/write_resume_data.hpp>
#include <vector>

#include "file_write.h"
#include "peer_links.h"
#include "records_guard.h"

namespace kvbt {

namespace {

constexpr auto kResumeWait = std::chrono::seconds(3);

KvBTHandle ToHandle(std::uint64_t id) { return reinterpret_cast<KvBTHandle>(id); }
std::uint64_t ToId(KvBTHandle handle) { return reinterpret_cast<std::uint64_t>(handle); }

std::string ListenInterfaces(const std::string& address, int port) {
    const std::string p = std::to_string(port);
    if (address.empty()) return "0.0.0.0:" + p + ",[::]:" + p;
    if (address.find(':') != std::string::npos && address.front() != '[') {
        return "[" + address + "]:" + p;
    }
    return address + ":" + p;
}

}  // namespace

Engine& Engine::Instance() {
    static Engine engine;
    return engine;
}

Engine::~Engine() { Shutdown(); }

void Engine::SetListenInterface(const std::string& address) {
    std::lock_guard<std::mutex> guard(lock_);
    listenInterface_ = address;
}

int Engine::Startup(const KvBTStartupParams& params) {
    std::lock_guard<std::mutex> guard(lock_);
    if (session_) return 0;
    lt::settings_pack pack;
    pack.set_int(lt::settings_pack::alert_mask,
                 lt::alert_category::status | lt::alert_category::storage |
                     lt::alert_category::error | lt::alert_category::piece_progress);
    pack.set_str(lt::settings_pack::listen_interfaces,
                 ListenInterfaces(listenInterface_, params.listenPort));
    pack.set_bool(lt::settings_pack::enable_dht, params.enableDht != 0);
    pack.set_bool(lt::settings_pack::enable_lsd, params.enableLsd != 0);
    pack.set_bool(lt::settings_pack::enable_upnp, params.enableUpnp != 0);
    pack.set_bool(lt::settings_pack::enable_natpmp, params.enableNatPmp != 0);
    // uTP is taken from peers that connect with it, but this engine reaches peers over TCP.
    // libtorrent's uTP crawls at local speeds (its 1 MiB receive window outruns a default
    // UDP socket buffer, and every drop halves the sender's window), and a peer that ignores
    // uTP was tried over uTP again each time its source was named, so it was never reached.
    pack.set_bool(lt::settings_pack::enable_outgoing_utp, false);
    pack.set_bool(lt::settings_pack::enable_outgoing_tcp, true);
    pack.set_bool(lt::settings_pack::enable_incoming_utp, params.enableUtp != 0);
    pack.set_bool(lt::settings_pack::enable_incoming_tcp, true);
    // TCP peers are never slowed down to make room for uTP peers.
    pack.set_int(lt::settings_pack::mixed_mode_algorithm, lt::settings_pack::prefer_tcp);
    // A 50 ms tick asks for the urgent pieces of a seek (which cancels what was asked
    // before) sooner: a stream waiting for its first pieces feels it. New peers are still
    // dialled once a second, apart from those a tracker's answer brings.
    pack.set_int(lt::settings_pack::tick_interval, 50);
    // Several seeders on one machine (or behind one address) are all used.
    pack.set_bool(lt::settings_pack::allow_multiple_connections_per_ip, true);
    // A stream wants its urgent pieces first, not a few random ones to share early.
    pack.set_int(lt::settings_pack::initial_picker_threshold, 0);
    pack.set_int(lt::settings_pack::alert_queue_size, 100000);
    // A stream asks for pieces a window at a time: between two windows the task holds all it
    // asked for, and dropping the seeder then (with a 60 s wait before reconnecting) would
    // stall the video. Keep links open and reconnect quickly.
    pack.set_bool(lt::settings_pack::close_redundant_connections, false);
    pack.set_int(lt::settings_pack::min_reconnect_time, 1);
    pack.set_int(lt::settings_pack::stop_tracker_timeout, 1);
    pack.set_int(lt::settings_pack::upload_rate_limit, uploadLimit_);
    pack.set_int(lt::settings_pack::download_rate_limit, downloadLimit_);
    try {
        lt::session_params sessionParams(std::move(pack));
        sessionParams.extensions.push_back(MakePeerLinkPlugin());
        session_ = std::make_unique<lt::session>(std::move(sessionParams));
        // Peers on the local network are normally exempt from rate limits; the user's
        // limits are meant for every peer, so every address goes to the global class.
        lt::ip_filter classes;
        const std::uint32_t global =
            1u << static_cast<std::uint32_t>(lt::session::global_peer_class_id);
        classes.add_rule(lt::make_address("0.0.0.0"), lt::make_address("255.255.255.255"), global);
        classes.add_rule(lt::make_address("::"),
                         lt::make_address("ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"), global);
        session_->set_peer_class_filter(classes);
    } catch (const std::exception&) {
        session_.reset();
        return -1;
    }
    stopping_ = false;
    alertThread_ = std::thread([this] { AlertLoop(); });
    return 0;
}

int Engine::SetRateLimit(bool upload, int bytesPerSecond) {
    std::lock_guard<std::mutex> guard(lock_);
    const int value = bytesPerSecond > 0 ? bytesPerSecond : 0;
    (upload ? uploadLimit_ : downloadLimit_) = value;
    if (!session_) return 0;
    lt::settings_pack pack;
    pack.set_int(
        upload ? lt::settings_pack::upload_rate_limit : lt::settings_pack::download_rate_limit,
        value);
    session_->apply_settings(std::move(pack));
    return 0;
}

void Engine::SetEventCallback(KvBTEventCallback callback, void* context) {
    std::lock_guard<std::mutex> guard(callbackLock_);
    callback_ = callback;
    callbackContext_ = context;
}

void Engine::Notify(const Task& task, int event) {
    std::lock_guard<std::mutex> guard(callbackLock_);
    if (callback_ != nullptr) callback_(ToHandle(task.Id()), event, callbackContext_);
}

KvBTHandle Engine::Add(lt::add_torrent_params params, const std::string& saveFolder,
                       const std::string& stateFile, bool startPaused, bool isPrivate) {
    // The files are named by the torrent alone, as they are checked: a rename kept in a state
    // file would name them past the check.
    params.renamed_files.clear();
    if (params.ti && LandsAmongRecords(params.ti->files(), saveFolder, stateFile)) return nullptr;
    if (!params.ti) {
        // A magnet link's files are checked when its metadata comes; until then none is made.
        params.flags |= lt::torrent_flags::default_dont_download;
        params.file_priorities.clear();
    }
    std::lock_guard<std::mutex> guard(lock_);
    if (!session_) return nullptr;
    params.save_path = saveFolder;
    params.flags &= ~(lt::torrent_flags::auto_managed | lt::torrent_flags::paused |
                      lt::torrent_flags::upload_mode | lt::torrent_flags::stop_when_ready |
                      lt::torrent_flags::sequential_download);
    params.flags |= lt::torrent_flags::duplicate_is_error;
    // A paused task still checks its files, so that it is ready when resumed, but requests
    // nothing until its priorities are set.
    const bool holdBack = startPaused && params.ti;
    if (startPaused) params.flags |= lt::torrent_flags::stop_when_ready;
    if (holdBack) {
        params.piece_priorities.assign(static_cast<std::size_t>(params.ti->num_pieces()),
                                       lt::dont_download);
    }
    if (isPrivate) {
        params.flags |= lt::torrent_flags::disable_dht | lt::torrent_flags::disable_lsd |
                        lt::torrent_flags::disable_pex;
    }
    auto task = std::make_shared<Task>(nextId_, saveFolder, stateFile);
    if (params.ti) task->SetMetadata(params.ti);
    lt::error_code ec;
    lt::torrent_handle handle = session_->add_torrent(std::move(params), ec);
    if (ec || !handle.is_valid()) return nullptr;
    task->SetHandle(handle);
    task->SetHeldBack(holdBack);
    tasks_[nextId_] = task;
    byTorrent_[handle] = task;
    return ToHandle(nextId_++);
}

std::shared_ptr<Task> Engine::Find(KvBTHandle handle) const {
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = tasks_.find(ToId(handle));
    return it == tasks_.end() ? nullptr : it->second;
}

std::shared_ptr<Task> Engine::FindByTorrent(const lt::torrent_handle& handle) const {
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = byTorrent_.find(handle);
    return it == byTorrent_.end() ? nullptr : it->second;
}

void Engine::SaveResumeState(const std::shared_ptr<Task>& task) {
    if (task->StateFile().empty() || !task->Metadata()) return;
    task->ExpectResumeData();
    try {
        task->Handle().save_resume_data(lt::torrent_handle::flush_disk_cache |
                                        lt::torrent_handle::save_info_dict);
    } catch (const std::exception&) {
        task->ResumeDataDone();
        return;
    }
    task->WaitResumeData(kResumeWait);
}

void Engine::RemoveTask(const std::shared_ptr<Task>& task, bool deleteFiles) {
    std::lock_guard<std::mutex> guard(lock_);
    const lt::torrent_handle handle = task->Handle();
    byTorrent_.erase(handle);
    if (session_ && handle.is_valid()) {
        session_->remove_torrent(handle,
                                 deleteFiles ? lt::session::delete_files : lt::remove_flags_t{});
    }
}

int Engine::Release(KvBTHandle handle, bool deleteFiles) {
    std::shared_ptr<Task> task;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto it = tasks_.find(ToId(handle));
        if (it == tasks_.end()) return -1;
        task = it->second;
        tasks_.erase(it);
    }
    if (!deleteFiles) SaveResumeState(task);
    RemoveTask(task, deleteFiles);
    return 0;
}

void Engine::PreShutdown() {
    std::vector<std::shared_ptr<Task>> tasks;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const auto& entry : tasks_) tasks.push_back(entry.second);
    }
    for (const auto& task : tasks) SaveResumeState(task);
}

void Engine::Shutdown() {
    std::vector<std::shared_ptr<Task>> tasks;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const auto& entry : tasks_) tasks.push_back(entry.second);
        tasks_.clear();
    }
    for (const auto& task : tasks) RemoveTask(task, false);
    stopping_ = true;
    if (alertThread_.joinable()) alertThread_.join();
    std::unique_ptr<lt::session> session;
    {
        std::lock_guard<std::mutex> guard(lock_);
        session = std::move(session_);
        byTorrent_.clear();
    }
    session.reset();
}

void Engine::AlertLoop() {
    std::vector<lt::alert*> alerts;
    while (!stopping_) {
        lt::session* session = nullptr;
        {
            std::lock_guard<std::mutex> guard(lock_);
            session = session_.get();
        }
        if (session == nullptr) return;
        // The session outlives this thread: Shutdown joins the thread before it goes.
        session->wait_for_alert(std::chrono::milliseconds(100));
        session->pop_alerts(&alerts);
        for (lt::alert* alert : alerts) HandleAlert(alert);
    }
}

void Engine::OnMetadata(const std::shared_ptr<Task>& task, const lt::torrent_handle& handle) {
    const std::shared_ptr<const lt::torrent_info> info = handle.torrent_file();
    if (!info) return;
    if (LandsAmongRecords(info->files(), task->SaveFolder(), task->StateFile())) {
        task->Refuse();
        RemoveTask(task, false);
        return;
    }
    // The files were held back while their names were unknown.
    handle.prioritize_files(std::vector<lt::download_priority_t>(
        static_cast<std::size_t>(info->num_files()), lt::default_priority));
    task->SetMetadata(info);
    Notify(*task, KVBT_EVENT_METADATA);
}

void Engine::HandleAlert(lt::alert* alert) {
    auto* torrentAlert = dynamic_cast<lt::torrent_alert*>(alert);
    if (torrentAlert == nullptr) return;
    const std::shared_ptr<Task> task = FindByTorrent(torrentAlert->handle);
    if (!task) return;
    try {
        if (auto* a = lt::alert_cast<lt::piece_finished_alert>(alert)) {
            if (task->OnPieceFinished(static_cast<int>(a->piece_index))) a->handle.flush_cache();
        } else if (auto* f = lt::alert_cast<lt::cache_flushed_alert>(alert)) {
            const bool again = task->OnFlushed();
            Notify(*task, KVBT_EVENT_PIECES);
            if (again) f->handle.flush_cache();
        } else if (auto* m = lt::alert_cast<lt::metadata_received_alert>(alert)) {
            OnMetadata(task, m->handle);
        } else if (auto* c = lt::alert_cast<lt::torrent_checked_alert>(alert)) {
            task->SetMetadata(c->handle.torrent_file());
            const lt::torrent_status status = c->handle.status(lt::torrent_handle::query_pieces);
            task->OnChecked(status.pieces);
            Notify(*task, KVBT_EVENT_PIECES);
        } else if (auto* r = lt::alert_cast<lt::save_resume_data_alert>(alert)) {
            const std::vector<char> data = lt::write_resume_data_buf(r->params);
            WriteFileReplacing(task->StateFile(), std::string(data.begin(), data.end()));
            task->ResumeDataDone();
        } else if (lt::alert_cast<lt::save_resume_data_failed_alert>(alert)) {
            task->ResumeDataDone();
        }
    } catch (const std::exception&) {
        // A torrent removed while its alert was on the way: nothing left to update.
    }
}

}  // namespace kvbt
