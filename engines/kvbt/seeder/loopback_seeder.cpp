#include "loopback_seeder.h"

#include <fstream>
#include <iterator>
#include <libtorrent/add_torrent_params.hpp>
#include <libtorrent/bencode.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/ip_filter.hpp>
#include <libtorrent/magnet_uri.hpp>
#include <libtorrent/session.hpp>
#include <libtorrent/session_params.hpp>
#include <libtorrent/torrent_handle.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/torrent_status.hpp>
#include <vector>

namespace kvbt_testing {

namespace {

std::string ParentOf(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const auto slash = p.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

}  // namespace

bool MakeTorrent(const std::string& content, int pieceSize, const std::string& torrentPath,
                 bool padFiles, const std::string& tracker) {
    try {
        lt::file_storage files;
        lt::add_files(files, content);
        if (files.num_files() == 0) return false;
        lt::create_flags_t flags = lt::create_torrent::v1_only;
        if (padFiles) flags |= lt::create_torrent::canonical_files;
        lt::create_torrent torrent(files, pieceSize, flags);
        if (!tracker.empty()) torrent.add_tracker(tracker);
        lt::error_code ec;
        lt::set_piece_hashes(torrent, ParentOf(content), ec);
        if (ec) return false;
        std::vector<char> data;
        lt::bencode(std::back_inserter(data), torrent.generate());
        std::ofstream out(torrentPath, std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        return static_cast<bool>(out);
    } catch (const std::exception&) {
        return false;
    }
}

std::string MagnetOf(const std::string& torrentPath) {
    lt::error_code ec;
    lt::torrent_info info(torrentPath, ec);
    if (ec) return std::string();
    return lt::make_magnet_uri(info);
}

struct LoopbackSeeder::State {
    std::unique_ptr<lt::session> session;
    lt::torrent_handle torrent;
};

LoopbackSeeder::LoopbackSeeder(int uploadLimit, int downloadLimit, SeederTransport transport)
    : state_(std::make_unique<State>()) {
    const bool utp = transport == SeederTransport::TcpAndUtp;
    lt::settings_pack pack;
    pack.set_str(lt::settings_pack::listen_interfaces, "127.0.0.1:0");
    pack.set_bool(lt::settings_pack::enable_dht, false);
    pack.set_bool(lt::settings_pack::enable_lsd, false);
    pack.set_bool(lt::settings_pack::enable_upnp, false);
    pack.set_bool(lt::settings_pack::enable_natpmp, false);
    pack.set_bool(lt::settings_pack::enable_outgoing_utp, utp);
    pack.set_bool(lt::settings_pack::enable_incoming_utp, utp);
    pack.set_bool(lt::settings_pack::allow_multiple_connections_per_ip, true);
    pack.set_int(lt::settings_pack::tick_interval, 100);
    // The downloader may hold every piece it asked for between two stream windows.
    pack.set_bool(lt::settings_pack::close_redundant_connections, false);
    pack.set_int(lt::settings_pack::upload_rate_limit, uploadLimit);
    pack.set_int(lt::settings_pack::download_rate_limit, downloadLimit);
    pack.set_int(lt::settings_pack::alert_mask, lt::alert_category::error);
    pack.set_int(lt::settings_pack::stop_tracker_timeout, 1);
    state_->session = std::make_unique<lt::session>(lt::session_params(std::move(pack)));
    // Loopback peers count against the limits like any other peer.
    lt::ip_filter classes;
    const std::uint32_t global = 1u
                                 << static_cast<std::uint32_t>(lt::session::global_peer_class_id);
    classes.add_rule(lt::make_address("0.0.0.0"), lt::make_address("255.255.255.255"), global);
    state_->session->set_peer_class_filter(classes);
}

LoopbackSeeder::~LoopbackSeeder() = default;

int LoopbackSeeder::Port() const { return state_->session->listen_port(); }

bool LoopbackSeeder::Seed(const std::string& torrentPath, const std::string& saveFolder) {
    lt::error_code ec;
    lt::add_torrent_params params;
    params.ti = std::make_shared<lt::torrent_info>(torrentPath, ec);
    if (ec) return false;
    params.save_path = saveFolder;
    params.flags |= lt::torrent_flags::seed_mode;
    params.flags &= ~(lt::torrent_flags::paused | lt::torrent_flags::auto_managed);
    state_->torrent = state_->session->add_torrent(std::move(params), ec);
    return !ec;
}

bool LoopbackSeeder::Fetch(const std::string& torrentPath, const std::string& saveFolder,
                           int peerPort) {
    lt::error_code ec;
    lt::add_torrent_params params;
    params.ti = std::make_shared<lt::torrent_info>(torrentPath, ec);
    if (ec) return false;
    params.save_path = saveFolder;
    params.flags &= ~(lt::torrent_flags::paused | lt::torrent_flags::auto_managed);
    if (peerPort > 0) {
        params.peers.emplace_back(lt::make_address("127.0.0.1"),
                                  static_cast<unsigned short>(peerPort));
    }
    state_->torrent = state_->session->add_torrent(std::move(params), ec);
    return !ec;
}

long long LoopbackSeeder::BytesDone() const {
    if (!state_->torrent.is_valid()) return 0;
    return state_->torrent.status(lt::status_flags_t{}).total_done;
}

bool LoopbackSeeder::Complete() const {
    if (!state_->torrent.is_valid()) return false;
    const auto status = state_->torrent.status(lt::status_flags_t{});
    return status.is_seeding;
}

long long LoopbackSeeder::BytesUploaded() const {
    if (!state_->torrent.is_valid()) return 0;
    return state_->torrent.status(lt::status_flags_t{}).total_payload_upload;
}

}  // namespace kvbt_testing
