#include "peer_links.h"

#include <libtorrent/peer_connection.hpp>
#include <libtorrent/peer_connection_handle.hpp>

namespace kvbt {

namespace {

// Requests, cancels and handshake messages are a few dozen bytes each. With Nagle's rule a
// small message waits while an earlier one is unacknowledged, and a peer that has nothing to
// send delays its acknowledgement (40 ms on Linux): the requests of a seek stood still that
// long. libtorrent gathers its writes itself, so nothing is gained by holding them back.
void SendAtOnce(const lt::peer_connection_handle& peer) {
    const std::shared_ptr<lt::peer_connection> connection = peer.native_handle();
    if (!connection) return;
    lt::error_code ignored;  // a uTP link has no such option; a closed one needs none
    connection->get_socket().set_option(lt::tcp::no_delay(true), ignored);
}

// An outgoing link has its socket connected only later.
class OutgoingLink final : public lt::peer_plugin {
public:
    explicit OutgoingLink(lt::peer_connection_handle peer) : peer_(std::move(peer)) {}
    void on_connected() override { SendAtOnce(peer_); }

private:
    lt::peer_connection_handle peer_;
};

class TorrentLinks final : public lt::torrent_plugin {
public:
    std::shared_ptr<lt::peer_plugin> new_connection(
        const lt::peer_connection_handle& peer) override {
        if (peer.type() != lt::connection_type::bittorrent) return nullptr;
        if (peer.is_outgoing()) return std::make_shared<OutgoingLink>(peer);
        // An accepted link is connected before it is tied to its torrent.
        SendAtOnce(peer);
        return nullptr;
    }
};

class SessionLinks final : public lt::plugin {
public:
    std::shared_ptr<lt::torrent_plugin> new_torrent(const lt::torrent_handle&,
                                                    lt::client_data_t) override {
        return std::make_shared<TorrentLinks>();
    }
};

}  // namespace

std::shared_ptr<lt::plugin> MakePeerLinkPlugin() { return std::make_shared<SessionLinks>(); }

}  // namespace kvbt
