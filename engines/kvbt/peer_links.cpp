#include "peer_links.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <boost/asio/detail/socket_option.hpp>
#include <boost/asio/post.hpp>
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

// A peer that keeps Nagle's rule sends a block's header and then holds the block itself until
// the header is acknowledged, and Linux, seeing this side answer every block with requests,
// delays that acknowledgement up to 40 ms: a seek's first block stood still that long. Quick
// acknowledgement is asked for again after every block read and every request or cancel
// written, since sending is what makes Linux delay its acknowledgements again.
using QuickAck = boost::asio::detail::socket_option::boolean<IPPROTO_TCP, TCP_QUICKACK>;

class Link final : public lt::peer_plugin, public std::enable_shared_from_this<Link> {
public:
    explicit Link(lt::peer_connection_handle peer) : peer_(std::move(peer)) {}
    // An outgoing link has its socket connected only after the link is made.
    void on_connected() override { SendAtOnce(peer_); }
    bool on_piece(const lt::peer_request&, lt::span<const char>) override {
        AckAtOnce();
        return false;
    }
    void sent_request(const lt::peer_request&) override { AckAtOnce(); }
    void sent_cancel(const lt::peer_request&) override { AckAtOnce(); }

private:
    // Once after whatever the current network event read and wrote: a batch of requests or
    // several blocks read together need one call, not one each.
    void AckAtOnce() {
        if (ackQueued_) return;
        const std::shared_ptr<lt::peer_connection> connection = peer_.native_handle();
        if (!connection) return;
        using Tcp = lt::aux::socket_type::first_socket;
        Tcp* tcp = boost::get<Tcp>(&connection->get_socket());
        if (tcp == nullptr) return;  // a uTP link acknowledges on its own terms
        ackQueued_ = true;
        boost::asio::post(
            tcp->get_executor(),
            [self = weak_from_this(), link = std::weak_ptr<lt::peer_connection>(connection), tcp] {
                const auto plugin = self.lock();
                const auto alive = link.lock();
                if (!plugin || !alive) return;
                plugin->ackQueued_ = false;
                lt::error_code ignored;  // a closed link needs none
                tcp->set_option(QuickAck(true), ignored);
            });
    }

    lt::peer_connection_handle peer_;
    bool ackQueued_ = false;  // only touched on libtorrent's network thread
};

class TorrentLinks final : public lt::torrent_plugin {
public:
    std::shared_ptr<lt::peer_plugin> new_connection(
        const lt::peer_connection_handle& peer) override {
        if (peer.type() != lt::connection_type::bittorrent) return nullptr;
        // An accepted link is connected before it is tied to its torrent.
        if (!peer.is_outgoing()) SendAtOnce(peer);
        return std::make_shared<Link>(peer);
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
