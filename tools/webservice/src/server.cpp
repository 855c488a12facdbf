#include "server.h"

#include <cstring>

#include "session.h"

namespace webservice {
namespace {

constexpr int kMaxConnections = 64;
// Running out of descriptors makes accept fail at once; try again a little later.
constexpr std::chrono::milliseconds kAcceptRetry(100);

}  // namespace

Server::Server(boost::asio::io_context& io, const Options& options)
    : io_(io), options_(options), acceptor_(io), retry_(io) {}

std::string Server::Listen() {
    namespace ip = boost::asio::ip;
    const ip::tcp::endpoint endpoint(ip::address_v4::loopback(),
                                     static_cast<unsigned short>(options_.port));
    boost::system::error_code ec;
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec) acceptor_.set_option(ip::tcp::acceptor::reuse_address(true), ec);
    if (!ec) acceptor_.bind(endpoint, ec);
    if (!ec) acceptor_.listen(kMaxConnections, ec);
    if (ec)
        return "cannot listen on 127.0.0.1:" + std::to_string(options_.port) + ": " + ec.message();
    port_ = acceptor_.local_endpoint().port();
    state_ = std::make_shared<ServiceState>(options_, port_);
    if (!state_->log.Open(options_.logPath))
        return "cannot open the log " + options_.logPath + ": " + std::strerror(errno);
    return {};
}

void Server::Start() { Accept(); }

void Server::Accept() {
    acceptor_.async_accept(
        [this](boost::system::error_code ec, boost::asio::ip::tcp::socket socket) {
            if (ec == boost::asio::error::operation_aborted) return;
            if (ec) {
                retry_.expires_after(kAcceptRetry);
                retry_.async_wait([this](boost::system::error_code wait) {
                    if (!wait) Accept();
                });
                return;
            }
            if (state_->openConnections >= kMaxConnections) {
                boost::system::error_code ignored;
                socket.close(ignored);
            } else {
                std::make_shared<Session>(std::move(socket), state_)->Start();
            }
            Accept();
        });
}

}  // namespace webservice
