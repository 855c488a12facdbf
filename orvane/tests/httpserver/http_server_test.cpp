#include "http_server.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTest>
#include <future>

#include "http_test_client.h"
#include "testsupport/hostile_files.h"
#include "testsupport/loopback.h"
#include "testsupport/media.h"
#include "testsupport/other_user.h"
#include "testsupport/temp_dir.h"

namespace {

std::string Base64(const std::string& text) {
    return QByteArray::fromStdString(text).toBase64().toStdString();
}

class HttpServerTest : public ::testing::Test {
protected:
    testsupport::TempDir temp;
    HttpServer server;
    int port = 0;

    void SetUp() override {
        testsupport::WriteFile(temp.file("web/index.html"), "<html>home</html>");
        testsupport::WriteFile(temp.file("web/style.CSS"), "body{}");
        testsupport::WriteFile(temp.file("web/site.css"), "p{}");
        testsupport::WriteFile(temp.file("web/app.js"), "var a;");
        testsupport::WriteFile(temp.file("web/logo.png"), "PNG");
        testsupport::WriteFile(temp.file("web/a.b/file"), "no extension");
        testsupport::WriteFile(temp.file("web/sub/page.htm"), "<p>sub</p>");
        testsupport::WriteFile(temp.file("secret.txt"), "secret");
        const int first = testsupport::FreeLoopbackPort();
        port = server.Start(first, first + 50, QString::fromStdString(temp.file("web")));
        ASSERT_GT(port, 0);
    }

    HttpTestReply Fetch(const std::string& path) {
        const auto exchange = HttpExchange(port, {Get(path, true)});
        return exchange.replies.empty() ? HttpTestReply{} : exchange.replies.front();
    }
};

TEST_F(HttpServerTest, WebFilesAreServedWithTheirTypesAndExactLengths) {
    struct Case {
        std::string path, type, body;
    };
    const Case cases[] = {
        {"/index.html", "text/html", "<html>home</html>"},
        {"/sub/page.htm", "text/html", "<p>sub</p>"},
        {"/site.css", "text/css", "p{}"},
        {"/app.js", "application/x-javascript", "var a;"},
        {"/logo.png", "image/png", "PNG"},
        {"/style.CSS", "application/octet-stream", "body{}"},       // the table has case
        {"/a.b/file", "application/octet-stream", "no extension"},  // last dot in a folder
        {"/index.html?x=1.png", "text/html", "<html>home</html>"},  // the query is not the path
    };
    for (const Case& c : cases) {
        const HttpTestReply reply = Fetch(c.path);
        EXPECT_EQ(reply.status, 200) << c.path;
        EXPECT_EQ(reply.header("content-type"), c.type) << c.path;
        EXPECT_EQ(reply.header("content-length"), std::to_string(c.body.size())) << c.path;
        EXPECT_EQ(reply.body, c.body) << c.path;
    }
}

TEST_F(HttpServerTest, PathsOutsideTheRootDirectoriesAndSpecialFilesAreRefused) {
    ASSERT_EQ(symlink(temp.file("secret.txt").c_str(), temp.file("web/link.txt").c_str()), 0);
    ASSERT_EQ(mkfifo(temp.file("web/pipe.html").c_str(), 0600), 0);
    std::vector<std::string> refused = {"/",
                                        "/sub",
                                        "/sub/",
                                        "/missing.html",
                                        "/../secret.txt",
                                        "/%2e%2e/secret.txt",
                                        "/sub/../../secret.txt",
                                        "/sub/%2E%2E/%2e%2e/secret.txt",
                                        "//etc/passwd",
                                        "/%2Fetc%2Fpasswd",
                                        "/link.txt",
                                        "/pipe.html",
                                        "/index.html%00.png",
                                        "/" + temp.file("secret.txt")};
    // A device node needs the privilege to make one; without it, the fifo stands in.
    if (mknod(temp.file("web/null.html").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        refused.push_back("/null.html");
    for (const std::string& path : refused) {
        const HttpTestReply reply = Fetch(path);
        EXPECT_EQ(reply.status, 400) << path;
        EXPECT_TRUE(reply.body.empty()) << path;
    }
}

TEST_F(HttpServerTest, MissingWebFolderAnswers400) {
    HttpServer other;
    const int first = testsupport::FreeLoopbackPort();
    const int otherPort = other.Start(first, first + 50, QString::fromStdString(temp.file("none")));
    ASSERT_GT(otherPort, 0);
    const auto exchange = HttpExchange(otherPort, {Get("/index.html", true)});
    ASSERT_EQ(exchange.replies.size(), 1u);
    EXPECT_EQ(exchange.replies[0].status, 400);
}

TEST_F(HttpServerTest, PublishedFilesAreServedUnderBtrootAndNothingElse) {
    const std::string torrent = temp.file("下载 files/片 #1.torrent");
    const std::string content = std::string("d8:announce") + '\0' + "\xff binary";
    testsupport::WriteFile(torrent, content);
    const std::string unpublished = temp.file("secret.txt");

    EXPECT_EQ(Fetch("/btroot/" + Base64(torrent)).status, 400);  // not yet published
    ASSERT_TRUE(server.Publish(QString::fromStdString(torrent)));
    EXPECT_FALSE(server.Publish(QString::fromStdString(temp.file("web"))));  // a folder
    EXPECT_FALSE(server.Publish(QString::fromStdString(temp.file("nothing.torrent"))));
    for (const auto& hostile : testsupport::MakeHostileFiles(temp.path()))
        EXPECT_FALSE(server.Publish(QString::fromStdString(hostile.path))) << hostile.what;

    const HttpTestReply reply = Fetch("/btroot/" + Base64(torrent));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.header("content-type"), "application/octet-stream");
    EXPECT_EQ(reply.body, content);

    for (const std::string& path : std::vector<std::string>{
             std::string("/btroot/"), "/btroot/" + Base64(unpublished),
             "/btroot/" + Base64("/dev/zero"), "/btroot//btroot/" + Base64(torrent),
             "/btroot/!!notbase64!!",
             "/btroot/" + Base64(temp.file("下载 files/../下载 files/片 #1.torrent"))}) {
        EXPECT_EQ(Fetch(path).status, 400) << path;
    }
}

TEST_F(HttpServerTest, HeadAnswersTheHeadOnlyAndTheConnectionGoesOn) {
    const auto exchange = HttpExchange(port, {Head("/index.html"), Get("/app.js")});
    ASSERT_EQ(exchange.replies.size(), 2u);
    EXPECT_FALSE(exchange.parseError);
    EXPECT_EQ(exchange.replies[0].status, 200);
    EXPECT_EQ(exchange.replies[0].header("content-length"), "17");
    EXPECT_TRUE(exchange.replies[0].body.empty());
    EXPECT_EQ(exchange.replies[1].body, "var a;");
}

TEST_F(HttpServerTest, KeepAliveServesSeveralRequestsOnOneConnection) {
    const auto exchange =
        HttpExchange(port, {Get("/index.html"), Get("/missing"), Get("/site.css")});
    ASSERT_EQ(exchange.replies.size(), 3u);
    EXPECT_FALSE(exchange.parseError);
    EXPECT_EQ(exchange.replies[0].status, 200);
    EXPECT_EQ(exchange.replies[1].status, 400);
    EXPECT_EQ(exchange.replies[2].body, "p{}");
    EXPECT_FALSE(exchange.closedByServer);

    const auto pipelined = HttpExchange(port, {Get("/app.js"), Get("/logo.png")}, true);
    ASSERT_EQ(pipelined.replies.size(), 2u);
    EXPECT_EQ(pipelined.replies[0].body, "var a;");
    EXPECT_EQ(pipelined.replies[1].body, "PNG");
}

TEST_F(HttpServerTest, ConnectionCloseAndHttp10EndTheConnection) {
    const auto closing = HttpExchange(port, {Get("/index.html", true)}, false, 30000, true);
    ASSERT_EQ(closing.replies.size(), 1u);
    EXPECT_TRUE(closing.closedByServer);

    // An answer without a length, to a client that cannot take chunks, ends with the close.
    const auto old = HttpExchange(
        port, {{"GET /missing HTTP/1.0\r\nHost: localhost\r\n\r\n", false}}, false, 30000, true);
    ASSERT_EQ(old.replies.size(), 1u);
    EXPECT_EQ(old.replies[0].status, 400);
    EXPECT_TRUE(old.closedByServer);
}

TEST_F(HttpServerTest, LargeFilesArriveWhole) {
    const std::string big = temp.file("web/big.bin");
    ASSERT_TRUE(testsupport::MakeRandomFile(big, 5 * 1024 * 1024 + 123, 7));
    const auto exchange = HttpExchange(port, {Get("/big.bin"), Get("/app.js")}, false, 30000);
    ASSERT_EQ(exchange.replies.size(), 2u);
    EXPECT_EQ(exchange.replies[0].header("content-length"), std::to_string(5 * 1024 * 1024 + 123));
    EXPECT_TRUE(exchange.replies[0].body == testsupport::ReadFile(big));
    EXPECT_EQ(exchange.replies[1].body, "var a;");
}

TEST_F(HttpServerTest, MalformedRequestsDropTheConnectionAndTheServerGoesOn) {
    const auto bad = HttpExchange(port, {{"NONSENSE\r\n\r\n", false}});
    EXPECT_TRUE(bad.replies.empty());
    EXPECT_TRUE(bad.closedByServer);
    EXPECT_EQ(Fetch("/index.html").status, 200);
}

TEST_F(HttpServerTest, RequestBodiesAndUpgradesDoNotConfuseTheConnection) {
    // A body, given by length or in chunks, is skipped whole: the next request still parses.
    const auto bodies = HttpExchange(
        port, {{"POST /index.html HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 26\r\n\r\n"
                "GET /secret.txt HTTP/1.1\r\n",
                false},
               {"PUT /app.js HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n"
                "5\r\nhello\r\n0\r\n\r\n",
                false},
               Get("/site.css")});
    ASSERT_EQ(bodies.replies.size(), 3u);
    EXPECT_EQ(bodies.replies[0].body, "<html>home</html>");
    EXPECT_EQ(bodies.replies[1].body, "var a;");
    EXPECT_EQ(bodies.replies[2].body, "p{}");

    // An upgrade that is not granted leaves the connection speaking HTTP.
    const auto upgrade = HttpExchange(
        port, {{"GET /index.html HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: Upgrade\r\n"
                "Upgrade: websocket\r\n\r\n",
                false},
               Get("/app.js")});
    ASSERT_EQ(upgrade.replies.size(), 2u);
    EXPECT_EQ(upgrade.replies[0].body, "<html>home</html>");
    EXPECT_EQ(upgrade.replies[1].body, "var a;");

    // CONNECT and the asterisk form name no file.
    for (const std::string& raw :
         {std::string("CONNECT 127.0.0.1:22 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"),
          std::string("OPTIONS * HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")}) {
        const auto exchange = HttpExchange(port, {{raw, false}});
        ASSERT_EQ(exchange.replies.size(), 1u) << raw;
        EXPECT_EQ(exchange.replies[0].status, 400) << raw;
    }
}

TEST_F(HttpServerTest, OversizedHeadsDropTheConnectionAndTheServerGoesOn) {
    const auto longUrl =
        HttpExchange(port, {{"GET /" + std::string(200 * 1024, 'a') + " HTTP/1.1\r\n\r\n", false}});
    EXPECT_TRUE(longUrl.replies.empty());
    EXPECT_TRUE(longUrl.closedByServer);
    const auto longHeader = HttpExchange(
        port,
        {{"GET /index.html HTTP/1.1\r\nX: " + std::string(200 * 1024, 'b') + "\r\n\r\n", false}});
    EXPECT_TRUE(longHeader.replies.empty());
    EXPECT_TRUE(longHeader.closedByServer);
    EXPECT_EQ(Fetch("/index.html").status, 200);
}

TEST_F(HttpServerTest, APathTooLongToLocateIsNotReadAsAShorterOne) {
    // 65536 more bytes: a 16-bit length of the path would read just "/index.html".
    const auto exchange = HttpExchange(port, {{"GET /index.html" + std::string(65536, 'a') +
                                                   " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
                                               false}});
    ASSERT_EQ(exchange.replies.size(), 1u);
    EXPECT_EQ(exchange.replies[0].status, 400);
    EXPECT_EQ(Fetch("/index.html").status, 200);
}

TEST_F(HttpServerTest, AClientThatLeavesDuringALargeAnswerCostsNothing) {
    ASSERT_TRUE(testsupport::MakeRandomFile(temp.file("web/big.bin"), 8 * 1024 * 1024, 3));
    // The client sends its requests and goes almost at once, long before the body is out.
    for (int round = 0; round < 5; ++round)
        HttpExchange(port, {Get("/big.bin"), Get("/big.bin")}, true, 1);
    EXPECT_EQ(Fetch("/index.html").status, 200);
}

// The player answers the user who runs it: another user's program reaches the loopback port
// too, and its connection is closed before anything of it is read, published files included.
TEST_F(HttpServerTest, AConnectionFromAnotherUsersSocketIsClosedUnanswered) {
    if (!testsupport::CanActAsOtherUsers()) GTEST_SKIP() << "needs root to act as another user";
    const std::string torrent = temp.file("a.torrent");
    testsupport::WriteFile(torrent, "d8:announce");
    ASSERT_TRUE(server.Publish(QString::fromStdString(torrent)));
    const struct {
        uid_t uid;
        bool answered;
    } cases[] = {{::geteuid(), true}, {testsupport::kOtherUserId, false}};
    for (const auto& c : cases) {
        for (const std::string& path : {std::string("/index.html"), "/btroot/" + Base64(torrent)}) {
            SCOPED_TRACE(std::to_string(c.uid) + " " + path);
            auto exchange = std::async(std::launch::async, [&] {
                return testsupport::ExchangeAsUser(c.uid, port, Get(path, true).raw);
            });
            // The server answers on this thread's event loop.
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    return exchange.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
                },
                30000));
            const auto received = exchange.get();
            ASSERT_TRUE(received) << "no close within the limit";
            if (c.answered)
                EXPECT_EQ(received->rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << *received;
            else
                EXPECT_EQ(*received, "");
        }
    }
}

// A page whose own name resolves to 127.0.0.1 (DNS rebinding) sends its own name as Host: it
// must read neither the web folder nor a published file.
TEST_F(HttpServerTest, OnlyLoopbackHostsAreAnswered) {
    const std::string torrent = temp.file("a.torrent");
    testsupport::WriteFile(torrent, "d8:announce");
    ASSERT_TRUE(server.Publish(QString::fromStdString(torrent)));
    const std::string port = std::to_string(this->port);
    struct Case {
        std::string hostLine;  // the whole header line, or nothing
        int status;
    };
    const Case cases[] = {
        {"Host: 127.0.0.1\r\n", 200},
        {"Host: 127.0.0.1:" + port + "\r\n", 200},
        {"Host: localhost:" + port + "\r\n", 200},
        {"Host: LocalHost\r\n", 200},
        {"Host: [::1]\r\n", 200},
        {"Host: [::1]:" + port + "\r\n", 200},
        {"Host: 127.0.0.1:1\r\n", 200},  // any port
        {"Host: evil.example\r\n", 403},
        {"Host: evil.example:" + port + "\r\n", 403},
        {"Host: 127.0.0.1.evil.example\r\n", 403},
        {"Host: localhost.evil.example:" + port + "\r\n", 403},
        {"Host: 127.0.0.2\r\n", 403},
        {"Host: 0.0.0.0\r\n", 403},
        {"Host: [::2]:" + port + "\r\n", 403},
        {"Host: [::1]evil\r\n", 403},
        {"Host: ::1\r\n", 403},
        {"Host: 127.0.0.1:80x\r\n", 403},
        {"Host: 127.0.0.1@evil.example\r\n", 403},
        {"Host: \r\n", 403},
        {"", 403},
    };
    for (const Case& c : cases) {
        for (const std::string& path : {std::string("/index.html"), "/btroot/" + Base64(torrent)}) {
            const auto exchange = HttpExchange(
                this->port,
                {{"GET " + path + " HTTP/1.1\r\n" + c.hostLine + "Connection: close\r\n\r\n",
                  false}});
            ASSERT_EQ(exchange.replies.size(), 1u) << c.hostLine << path;
            EXPECT_EQ(exchange.replies[0].status, c.status) << c.hostLine << path;
            if (c.status == 403) {
                EXPECT_TRUE(exchange.replies[0].body.empty()) << c.hostLine;
            }
        }
    }
}

// A page in a browser makes it send a request here with an <img> or a fetch: marked by an
// Origin header, or by the page's own address as Referer, or, when the page kept its Referer
// back, by the browser's User-Agent. Only the player's own clients (the streaming service's
// torrent download sends no agent) and pages this server serves (its own address as Referer)
// may read.
TEST_F(HttpServerTest, RequestsWebPagesMakeAreRefused) {
    const std::string torrent = temp.file("a.torrent");
    testsupport::WriteFile(torrent, "d8:announce");
    ASSERT_TRUE(server.Publish(QString::fromStdString(torrent)));
    const std::string own = "http://127.0.0.1:" + std::to_string(port);
    const std::string browser = "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/602.1\r\n";
    const struct {
        std::string lines;
        int status;
    } cases[] = {
        {"", 200},
        {"Accept: */*\r\n", 200},
        {"Referer: " + own + "/index.html\r\n", 200},
        {"Referer: " + own + "/\r\n" + browser, 200},
        {browser, 403},
        {"user-agent:  mozilla/5.0\r\n", 403},
        {"Origin: " + own + "\r\n", 403},
        {"Origin: null\r\n", 403},
        {"Referer: http://evil.example/page.html\r\n", 403},
        {"Referer: http://localhost:" + std::to_string(port) + "/\r\n", 403},
        {"Referer: http://127.0.0.1:" + std::to_string(port + 1) + "/\r\n", 403},
    };
    for (const auto& c : cases) {
        for (const std::string& path : {std::string("/index.html"), "/btroot/" + Base64(torrent)}) {
            const auto exchange =
                HttpExchange(port, {{"GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + c.lines +
                                         "Connection: close\r\n\r\n",
                                     false}});
            ASSERT_EQ(exchange.replies.size(), 1u) << c.lines << path;
            EXPECT_EQ(exchange.replies[0].status, c.status) << c.lines << path;
        }
    }
}

// A client that opens a connection and never completes its request, or keeps an answered
// connection open without asking again, is closed after the request time-out. (Shortened
// here so the test need not wait the shipped ten seconds; every other test runs with those.)
TEST(HttpServerTimeoutTest, IncompleteRequestsAndIdleConnectionsAreClosed) {
    testsupport::TempDir temp;
    testsupport::WriteFile(temp.file("index.html"), "home");
    HttpServer server;
    server.SetRequestTimeout(300);
    const int first = testsupport::FreeLoopbackPort();
    const int port = server.Start(first, first + 50, QString::fromStdString(temp.path()));
    ASSERT_GT(port, 0);

    const std::vector<std::string> incomplete = {
        "", "GET /index.html HTTP/1.1\r\nHost: 127.0.0.1\r\n",
        "POST /index.html HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 10\r\n\r\nabc"};
    for (const std::string& raw : incomplete) {
        const auto exchange = HttpExchange(port, {{raw, false}}, false, 30000, true);
        EXPECT_TRUE(exchange.replies.empty()) << raw;
        EXPECT_TRUE(exchange.closedByServer) << raw;
    }
    // Kept alive after its answer, then silent.
    const auto idle = HttpExchange(port, {Get("/index.html")}, false, 30000, true);
    ASSERT_EQ(idle.replies.size(), 1u);
    EXPECT_EQ(idle.replies[0].body, "home");
    EXPECT_TRUE(idle.closedByServer);
    // Complete requests are still answered.
    const auto exchange = HttpExchange(port, {Get("/index.html"), Get("/index.html", true)});
    ASSERT_EQ(exchange.replies.size(), 2u);
    EXPECT_EQ(exchange.replies[1].body, "home");
}

TEST(HttpServerPortTest, TakesTheFirstFreePortOfTheRange) {
    testsupport::TempDir temp;
    QTcpServer blocker;
    const int first = testsupport::FreeLoopbackPort();
    ASSERT_TRUE(blocker.listen(QHostAddress::LocalHost, static_cast<quint16>(first)));
    HttpServer server;
    EXPECT_EQ(server.Start(first, first, QString::fromStdString(temp.path())), 0);
    const int bound = server.Start(first, first + 50, QString::fromStdString(temp.path()));
    EXPECT_GT(bound, first);
    // Every port between the busy one and the chosen one was busy as well.
    for (int port = first + 1; port < bound; ++port) {
        QTcpServer probe;
        EXPECT_FALSE(probe.listen(QHostAddress::LocalHost, static_cast<quint16>(port))) << port;
    }
    EXPECT_EQ(server.Start(first + 10, first, QString::fromStdString(temp.path())), 0);
}

TEST(HttpServerPortTest, AStartAgainClosesTheOldListener) {
    testsupport::TempDir temp;
    testsupport::WriteFile(temp.file("index.html"), "x");
    HttpServer server;
    const int first = testsupport::FreeLoopbackPort();
    const int port = server.Start(first, first + 50, QString::fromStdString(temp.path()));
    ASSERT_GT(port, 0);
    const int again = server.Start(port, port + 50, QString::fromStdString(temp.path()));
    EXPECT_EQ(again, port);  // the old listener let go of the port
    const auto exchange = HttpExchange(again, {Get("/index.html", true)});
    ASSERT_EQ(exchange.replies.size(), 1u);
    EXPECT_EQ(exchange.replies[0].body, "x");
}

}  // namespace
