// The listening side: 127.0.0.1 only, a bounded number of connections at once.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <memory>
#include <string>

#include "options.h"
#include "service_state.h"

namespace webservice {

class Server {
public:
    Server(boost::asio::io_context& io, const Options& options);

    // Binds and listens; answers an error text (empty on success).
    std::string Listen();
    int Port() const { return port_; }
    // Starts accepting; connections run on the io_context's thread.
    void Start();

private:
    void Accept();

    boost::asio::io_context& io_;
    Options options_;
    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::steady_timer retry_;
    std::shared_ptr<ServiceState> state_;
    int port_ = 0;
};

}  // namespace webservice
