// The BT server program with the real streaming service: a torrent published by the
// player's local file server streams from a loopback seeder through "orvane -startbt", and
// the task record then describes that torrent.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <chrono>
#include <cstring>
#include <future>
#include <libtorrent/session.hpp>
#include <libtorrent/settings_pack.hpp>
#include <libtorrent/torrent_info.hpp>

#include "app_values.h"
#include "bt_server_queries.h"
#include "bt_server_test_support.h"
#include "http_server.h"
#include "loopback_seeder.h"
#include "testsupport/loopback.h"
#include "testsupport/media.h"

namespace {

using Clock = std::chrono::steady_clock;

// GET with "Range: bytes=0-"; answers the body (empty on failure) once `expected` bytes came,
// the server closed, or `limit` passed.
std::string FetchWholeRange(int port, const std::string& path, std::size_t expected,
                            std::chrono::seconds limit) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return {};
    }
    const std::string request = "GET " + path +
                                " HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: bytes=0-\r\n"
                                "Connection: close\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string received;
    const auto deadline = Clock::now() + limit;
    char buffer[65536];
    for (;;) {
        const std::size_t headerEnd = received.find("\r\n\r\n");
        if (headerEnd != std::string::npos && received.size() - headerEnd - 4 >= expected) break;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) break;
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        received.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    const std::size_t headerEnd = received.find("\r\n\r\n");
    return headerEnd == std::string::npos ? std::string() : received.substr(headerEnd + 4);
}

std::string Base64(const std::string& text) {
    return QByteArray::fromStdString(text).toBase64().toStdString();
}

template <typename T>
T ReadLe(const QByteArray& bytes, int at) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<T>(static_cast<unsigned char>(bytes[at + static_cast<int>(i)]))
                 << (8 * i);
    return value;
}

// A seeding peer on 127.0.0.1 that takes uTP as well as TCP, as most peers do. The BT server
// starts its engine with the service's own switches.
class UtpSeeder {
public:
    UtpSeeder() {
        lt::settings_pack pack;
        pack.set_str(lt::settings_pack::listen_interfaces, "127.0.0.1:0");
        for (const auto off : {lt::settings_pack::enable_dht, lt::settings_pack::enable_lsd,
                               lt::settings_pack::enable_upnp, lt::settings_pack::enable_natpmp})
            pack.set_bool(off, false);
        pack.set_bool(lt::settings_pack::allow_multiple_connections_per_ip, true);
        session_ = std::make_unique<lt::session>(lt::session_params(std::move(pack)));
    }
    int Port() const { return session_->listen_port(); }
    bool Seed(const std::string& torrent, const std::string& folder) {
        lt::error_code ec;
        lt::add_torrent_params params;
        params.ti = std::make_shared<lt::torrent_info>(torrent, ec);
        if (ec) return false;
        params.save_path = folder;
        params.flags |= lt::torrent_flags::seed_mode;
        params.flags &= ~(lt::torrent_flags::paused | lt::torrent_flags::auto_managed);
        session_->add_torrent(std::move(params), ec);
        return !ec;
    }

private:
    std::unique_ptr<lt::session> session_;
};

class BtServerStreamE2ETest : public PipeTestEnvironment {};

TEST_F(BtServerStreamE2ETest, ATorrentStreamsThroughTheBtServerAndItsTaskIsReported) {
    constexpr long long kSize = 3 * 1024 * 1024 + 777;
    constexpr int kPieceSize = 256 * 1024;
    const std::string bin = MakeInstallFolder("bin", ORVANE_REAL_FERRULE, {ORVANE_KVBT_LIBRARY});
    testsupport::WriteFile(bin + "/ini/path.ini",
                           "[AppSetting]\nsavePath=" + temp.file("media") + "/\n");
    testsupport::WriteFile(temp.file("work/.keep"), "");
    testsupport::WriteFile(temp.file("web/index.html"), "");

    // The source, its torrent and a seeder on loopback.
    const std::string source = temp.file("seed/movie.bin");
    testsupport::WriteFile(source, "");
    ASSERT_TRUE(testsupport::MakeRandomFile(source, kSize, 7));
    const std::string torrent = temp.file("seed/movie.torrent");
    ASSERT_TRUE(kvbt_testing::MakeTorrent(source, kPieceSize, torrent));
    UtpSeeder seeder;
    ASSERT_TRUE(seeder.Seed(torrent, temp.file("seed")));

    // The torrent file as the player publishes a torrent the user chose.
    HttpServer files;
    const int filesPort = testsupport::FreeLoopbackPort();
    ASSERT_EQ(files.Start(filesPort, filesPort, QString::fromStdString(temp.file("web"))),
              filesPort);
    ASSERT_TRUE(files.Publish(QString::fromStdString(torrent)));
    const std::string torrentUrl =
        "http://127.0.0.1:" + std::to_string(filesPort) + "/btroot/" + Base64(torrent);

    BtServerProcess server(bin, temp.file("work"));
    ASSERT_NE(WaitForBtServer(), "<no reply>");
    QueryBtUrl();
    const QString base = AppValue("bturl").toString();
    RemoveAppValue("bturl");
    const auto match = QRegularExpression("^http://127\\.0\\.0\\.1:(\\d+)/$").match(base);
    ASSERT_TRUE(match.hasMatch()) << base.toStdString();
    const int streamPort = match.captured(1).toInt();

    // The stream URL as the play road writes it for a resolved video: every item present,
    // the seeder as the peer source.
    const std::string path = "/bturl:" + Base64(torrentUrl) + ",httpurl:" + Base64("") +
                             ",sources:" + Base64("127.0.0.1:" + std::to_string(seeder.Port())) +
                             ",private:" + Base64("false") + ",crypt:" + Base64("false");
    auto fetched = std::async(std::launch::async, FetchWholeRange, streamPort, path,
                              static_cast<std::size_t>(kSize), std::chrono::seconds(60));
    // The local file server answers the service's torrent download on this thread's loop.
    while (fetched.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const std::string body = fetched.get();
    ASSERT_EQ(body.size(), static_cast<std::size_t>(kSize));
    EXPECT_TRUE(body == testsupport::ReadFile(source)) << "streamed bytes differ";

    // The task's record, refreshed by the service once a second.
    constexpr int kPieces = (kSize + kPieceSize - 1) / kPieceSize;
    QByteArray info;
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] {
            QueryTaskInfo(QString::fromStdString(torrentUrl), info);
            return info.size() >= 448 && ReadLe<qint64>(info, 8 + 72) == kSize;
        },
        std::chrono::seconds(15), std::chrono::milliseconds(200)));
    ASSERT_GE(info.size(), 448);
    EXPECT_EQ(ReadLe<quint32>(info, 0), 448u);
    EXPECT_EQ(ReadLe<qint64>(info, 8 + 72), kSize);
    EXPECT_EQ(ReadLe<qint32>(info, 8 + 168), kPieces);
    EXPECT_EQ(ReadLe<qint32>(info, 8 + 172), kPieceSize);
    EXPECT_NE(ReadLe<quint32>(info, 440), 0u);
    EXPECT_EQ(info.size() - 448, kPieces);
}

}  // namespace
