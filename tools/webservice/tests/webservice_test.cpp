// The web-service stand-in, started as its own process the way every test starts it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <platform/crypto.h>
#include <platform/paths.h>
#include <spawn.h>
#include <sys/wait.h>
#include <testsupport/loopback.h>
#include <testsupport/media.h>
#include <testsupport/temp_dir.h>
#include <unistd.h>
#include <webservice_process.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <future>

#include "http_client.h"

extern char** environ;

namespace {

using webservice_test::Get;
using webservice_test::HttpConnection;
using webservice_test::HttpReply;
using webservice_testing::WebServiceProcess;

QJsonObject JsonOf(const HttpReply& reply) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(reply.body)).object();
}

std::string Base64(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).toBase64().toStdString();
}

// Runs the program to its end; its exit code and everything it printed.
int RunProgram(const std::vector<std::string>& arguments, std::string& output) {
    testsupport::TempDir dir;
    const std::string outputPath = dir.file("output.txt");
    std::vector<std::string> all{WebServiceProcess::ProgramPath()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    const bool ended = testsupport::WaitUntil(
        [&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(10));
    if (!ended) ::kill(pid, SIGKILL), ::waitpid(pid, &status, 0);
    output = testsupport::ReadFile(outputPath);
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(WebServiceTest, AnswersEveryRouteOfThePlayer) {
    WebServiceProcess service;
    ASSERT_TRUE(service.Started());
    const std::string base = service.BaseUrl();
    struct Row {
        std::string target;
        int status;
        std::string contentType;
        std::string contains;
    };
    const Row rows[] = {
        {"/Orvane/get_adlist.html?type=show", 200, "text/html", "window.open(\"" + base},
        {"/Orvane/get_adlist.html?type=login", 200, "text/html", "id=\"login1\""},
        {"/Orvane/get_adlist.html?type=focus", 200, "text/html", "id=\"focus1\""},
        {"/Orvane/promotion.html?id=7", 200, "text/html", "Promotion 7 counted"},
        {"/Orvane/ad.html?ms=250", 200, "text/html", "parseInt(\"250\""},
        {"/Orvane/update.ini?t=1700000000&ver=12", 200, "text/plain",
         "download_page_url=" + base + "download.html"},
        {"/Orvane/web_config.ini", 200, "text/plain", "homepage=" + base + "index.html"},
        {"/Orvane/", 200, "text/html", "function statusChanged"},
        {"/getvideo.js?seed=x", 200, "application/javascript", "\"url\":"},
        {"/Orvane/nothing.html", 404, "text/plain", ""},
        {"/Orvane/get_adlist.html?type=../index", 404, "text/plain", ""},
        {"/Orvane/../../../../etc/passwd", 404, "text/plain", ""},
        {"/Orvane/%2e%2e/%2e%2e/%2e%2e/etc/passwd", 404, "text/plain", ""},
        {"/Orvane/ad%zz.html", 400, "text/plain", ""},
        {"getvideo.js", 400, "text/plain", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.target);
        const HttpReply reply = Get(service.Port(), row.target);
        EXPECT_EQ(reply.status, row.status);
        EXPECT_EQ(reply.Header("content-type").rfind(row.contentType, 0), 0u);
        EXPECT_NE(reply.body.find(row.contains), std::string::npos) << reply.body;
        EXPECT_EQ(reply.body.find("root:"), std::string::npos);
    }
    EXPECT_EQ(service.CountRequests("GET /Orvane/promotion.html?id=7"), 1);
}

TEST(WebServiceTest, VideoAnswerCarriesTheValuesSetOnTheCommandLine) {
    WebServiceProcess service({"--set", "url=${base}media/clip.torrent", "--set",
                               "servers=127.0.0.1:6881", "--set", "ad=${origin}/Orvane/ad.html",
                               "--set", "title=say \"hi\"\\"});
    ASSERT_TRUE(service.Started());
    const auto video = JsonOf(Get(service.Port(), "/Orvane/getvideo.js?seed=ov%3A%2F%2Fabc"));
    EXPECT_EQ(video["url"].toString().toStdString(), service.Url("media/clip.torrent"));
    EXPECT_EQ(video["servers"].toString(), "127.0.0.1:6881");
    EXPECT_EQ(video["ad"].toString().toStdString(), service.Url("ad.html"));
    EXPECT_EQ(video["title"].toString(), "say \"hi\"\\");
    EXPECT_EQ(video["siyou"].toString(), "");
    EXPECT_TRUE(video.contains("httpurl"));

    const auto adText = JsonOf(Get(service.Port(), "/Orvane/adtext.js"));
    ASSERT_GE(adText["adlist"].toArray().size(), 1);
    const auto first = adText["adlist"].toArray()[0].toObject();
    EXPECT_FALSE(first["title"].toString().isEmpty());
    EXPECT_TRUE(first["url"].toString().startsWith(QString::fromStdString(service.BaseUrl())));
    EXPECT_GT(first["time"].toInt(), 0);
}

TEST(WebServiceTest, GivenRootsComeFirstAndTemplatesEscapeForTheirKind) {
    testsupport::TempDir root;
    testsupport::WriteFile(root.file("getvideo.js"), "{\"url\":\"own\"}");
    testsupport::WriteFile(root.file("echo.txt"), "${seed}|${port}|${none}|${ broken|$x");
    testsupport::WriteFile(root.file("echo.html"), "<p>${v}</p>");
    testsupport::WriteFile(root.file("echo.json"), "\"${v}\"");
    WebServiceProcess service({"--root", root.path()});
    ASSERT_TRUE(service.Started());
    const int port = service.Port();
    EXPECT_EQ(Get(port, "/Orvane/getvideo.js?seed=a").body, "{\"url\":\"own\"}");
    EXPECT_EQ(Get(port, "/Orvane/adtext.js").status, 200);  // from the default site
    EXPECT_EQ(Get(port, "/Orvane/echo.txt?seed=ov%3A%2F%2Fz").body,
              "ov://z|" + std::to_string(port) + "||${ broken|$x");
    const std::string hostile = "%3Ca%22%26%27%5C%3E%0A";  // <a"&'\> and a line break
    EXPECT_EQ(Get(port, "/Orvane/echo.html?v=" + hostile).body,
              "<p>&#60;a&#34;&#38;&#39;&#92;&#62;&#10;</p>");
    const auto json = QJsonDocument::fromJson(
        QByteArray::fromStdString("[" + Get(port, "/Orvane/echo.json?v=" + hostile).body + "]"));
    EXPECT_EQ(json.array()[0].toString(), "<a\"&'\\>\n");
}

TEST(WebServiceTest, ResolveChecksTheTokenAndAnswersTheSegments) {
    testsupport::TempDir root;
    testsupport::WriteFile(
        root.file("resolve/two.json"),
        "{\"error\":\"\",\"files\":[{\"seg\":[{\"furl\":\"${base}media/a.mp4\",\"seconds\":4},"
        "{\"furl\":\"${page}\",\"seconds\":6}]}]}");
    WebServiceProcess service({"--root", root.path()});
    ASSERT_TRUE(service.Started());
    const std::string salt = "{A41C7D2E-95B3-4F08-8E6A-2D5C09B7F314}";
    const auto token = [&](const std::string& url) {
        return platform::Md5Hex(url + "-" + url[url.size() - 9] + "-" + salt);
    };
    const auto resolve = [&](const std::string& tk, const std::string& url, const char* tail) {
        return Get(service.Port(), "/Orvane/?tk=" + tk + "&url=" + url + tail);
    };
    const std::string one = "http://video.example.com/watch/one";
    const std::string two = "http://video.example.com/watch/two?from=list";
    // The ninth byte from the end is the second byte of a two-byte character.
    const std::string wide =
        "http://video.example.com/\xC3\xA9"
        "12345678";
    const std::string wideToken = platform::Md5Hex(wide + "-\xC2\xA9-" + salt);

    auto segments = [](const HttpReply& reply) {
        return JsonOf(reply)["files"].toArray()[0].toObject()["seg"].toArray();
    };
    const auto single = resolve(token(one), Base64(one), "&t=json&hd=102");
    ASSERT_EQ(JsonOf(single)["error"].toString(), "");
    ASSERT_EQ(segments(single).size(), 1);
    EXPECT_EQ(segments(single)[0].toObject()["furl"].toString().toStdString(),
              service.Url("media/sample.mp4"));
    EXPECT_EQ(segments(single)[0].toObject()["seconds"].toInt(), 10);

    const auto several = resolve(token(two), Base64(two), "&t=json&hd=102");
    ASSERT_EQ(segments(several).size(), 2);
    EXPECT_EQ(segments(several)[1].toObject()["furl"].toString().toStdString(), two);

    EXPECT_EQ(JsonOf(resolve(wideToken, Base64(wide), "&t=json&hd=102"))["error"], "");
    EXPECT_EQ(JsonOf(resolve(token(one), Base64(two), "&t=json&hd=102"))["error"], "invalid token");
    EXPECT_EQ(JsonOf(resolve(token(one), "***", "&t=json&hd=102"))["error"], "invalid url");
    EXPECT_EQ(resolve(token(one), Base64(one), "").status, 400);
}

TEST(WebServiceTest, RangesSelectTheBytesAsHttpSays) {
    testsupport::TempDir root;
    ASSERT_TRUE(platform::MakeDirectories(root.file("media")));
    ASSERT_TRUE(testsupport::MakeRandomFile(root.file("media/clip.bin"), 1000, 7));
    const std::string content = testsupport::ReadFile(root.file("media/clip.bin"));
    WebServiceProcess service({"--root", root.path()});
    ASSERT_TRUE(service.Started());
    struct Row {
        std::string range;
        int status;
        std::string contentRange;
        size_t first, length;
    };
    const Row rows[] = {
        {"", 200, "", 0, 1000},
        {"bytes=0-99", 206, "bytes 0-99/1000", 0, 100},
        {"bytes=990-", 206, "bytes 990-999/1000", 990, 10},
        {"bytes=-10", 206, "bytes 990-999/1000", 990, 10},
        {"bytes=-5000", 206, "bytes 0-999/1000", 0, 1000},
        {"bytes=995-2000", 206, "bytes 995-999/1000", 995, 5},
        {"bytes=1000-", 416, "bytes */1000", 0, 0},
        {"bytes=-0", 416, "bytes */1000", 0, 0},
        {"bytes=5-2", 200, "", 0, 1000},
        {"bytes=0-1,5-6", 200, "", 0, 1000},
        {"items=0-1", 200, "", 0, 1000},
        {"bytes=x-", 200, "", 0, 1000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.range);
        const std::string header = row.range.empty() ? "" : "Range: " + row.range + "\r\n";
        const HttpReply reply = Get(service.Port(), "/Orvane/media/clip.bin", header);
        EXPECT_EQ(reply.status, row.status);
        EXPECT_EQ(reply.Header("content-range"), row.contentRange);
        if (row.status != 416) {
            EXPECT_EQ(reply.body, content.substr(row.first, row.length));
        }
    }
    EXPECT_EQ(Get(service.Port(), "/Orvane/media/clip.bin").Header("accept-ranges"), "bytes");
    EXPECT_EQ(Get(service.Port(), "/Orvane/getvideo.js", "Range: bytes=0-0\r\n").body, "{");
}

TEST(WebServiceTest, LargeMediaArrivesWholeAndHeadSendsNoBody) {
    testsupport::TempDir root;
    const long long size = 5 * 1024 * 1024 + 123;
    ASSERT_TRUE(platform::MakeDirectories(root.file("media")));
    ASSERT_TRUE(testsupport::MakeRandomFile(root.file("media/big.mkv"), size, 3));
    const std::string content = testsupport::ReadFile(root.file("media/big.mkv"));
    WebServiceProcess service({"--root", root.path()});
    ASSERT_TRUE(service.Started());
    const HttpReply whole = Get(service.Port(), "/Orvane/media/big.mkv");
    EXPECT_EQ(whole.Header("content-type"), "video/x-matroska");
    EXPECT_TRUE(whole.body == content);
    EXPECT_TRUE(Get(service.Port(), "/Orvane/media/big.mkv", "Range: bytes=3000000-\r\n").body ==
                content.substr(3000000));

    HttpConnection connection(service.Port());
    connection.Send("HEAD /Orvane/media/big.mkv HTTP/1.1\r\nHost: h\r\n\r\n");
    const HttpReply head = connection.Read(true);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.Header("content-length"), std::to_string(size));
    // The connection goes on with the next request: no body was sent in between.
    connection.Send("GET /Orvane/adtext.js HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(connection.Read().status, 200);
}

TEST(WebServiceTest, DelayHoldsOnlyTheMatchingRequests) {
    const int delayMs = 3000;
    WebServiceProcess service({"--delay", "seed=ov://slow=" + std::to_string(delayMs)});
    ASSERT_TRUE(service.Started());
    const auto started = std::chrono::steady_clock::now();
    auto slow = std::async(std::launch::async, [&] {
        return Get(service.Port(), "/Orvane/getvideo.js?seed=ov%3A%2F%2Fslow").status;
    });
    ASSERT_TRUE(service.WaitForRequest("seed=ov%3A%2F%2Fslow"));
    EXPECT_EQ(Get(service.Port(), "/Orvane/getvideo.js?seed=ov%3A%2F%2Ffast").status, 200);
    EXPECT_EQ(slow.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    EXPECT_EQ(slow.get(), 200);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(delayMs));
}

TEST(WebServiceTest, StatusRuleForcesTheAnswer) {
    WebServiceProcess service({"--status", "type=login=503"});
    ASSERT_TRUE(service.Started());
    EXPECT_EQ(Get(service.Port(), "/Orvane/get_adlist.html?type=login").status, 503);
    EXPECT_EQ(Get(service.Port(), "/Orvane/get_adlist.html?type=focus").status, 200);
}

TEST(WebServiceTest, BadRequestsAreRefusedAndTheConnectionEnds) {
    WebServiceProcess service;
    ASSERT_TRUE(service.Started());
    struct Row {
        std::string raw;
        int status;
    };
    const Row rows[] = {
        {"BLAH\r\n\r\n", 400},
        {"GET /Orvane/adtext.js HTTP/1.1\r\nX-Big: " + std::string(20000, 'a') + "\r\n\r\n", 431},
        {"GET /Orvane/adtext.js HTTP/1.1\r\nContent-Length: 100000\r\n\r\n", 413},
        {"POST /Orvane/adtext.js HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", 405},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.status);
        HttpConnection connection(service.Port());
        connection.Send(row.raw);
        EXPECT_EQ(connection.Read().status, row.status);
        if (row.status != 405) {
            EXPECT_TRUE(connection.WaitForClose(std::chrono::seconds(10)));
        }
    }
}

TEST(WebServiceTest, SilentAndIdleConnectionsAreDroppedAfterTheReadTimeout) {
    WebServiceProcess service({"--read-timeout", "300"});
    ASSERT_TRUE(service.Started());
    HttpConnection silent(service.Port());
    silent.Send("GET /Orv");
    EXPECT_TRUE(silent.WaitForClose(std::chrono::seconds(10)));

    HttpConnection idle(service.Port());
    idle.Send("GET /Orvane/adtext.js HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_EQ(idle.Read().status, 200);
    EXPECT_TRUE(idle.WaitForClose(std::chrono::seconds(10)));
}

TEST(WebServiceTest, CommandLineErrorsEndTheProgramWithAReason) {
    struct Row {
        std::vector<std::string> arguments;
        int exitCode;
        std::string says;
    };
    WebServiceProcess busy;
    ASSERT_TRUE(busy.Started());
    const Row rows[] = {
        {{"--port", "70000"}, 2, "--port"},
        {{"--delay", "getvideo.js"}, 2, "--delay"},
        {{"--set", "=1"}, 2, "--set"},
        {{"--root"}, 2, "--root wants a value"},
        {{"--bogus"}, 2, "unknown option --bogus"},
        {{"--help"}, 0, "usage: webservice"},
        {{"--port", std::to_string(busy.Port())}, 1, "cannot listen"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.says);
        std::string output;
        EXPECT_EQ(RunProgram(row.arguments, output), row.exitCode);
        EXPECT_NE(output.find(row.says), std::string::npos) << output;
    }
}

TEST(WebServiceTest, EndsOnTerminateAndWithTheProcessThatStartedIt) {
    WebServiceProcess service;
    ASSERT_TRUE(service.Started());
    EXPECT_EQ(service.Stop(), 0);

    // A test process that dies without cleaning up takes its service with it.
    testsupport::TempDir scratch;  // the orphan's own temporary folder lands here
    int portPipe[2];
    ASSERT_EQ(::pipe(portPipe), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("TMPDIR", scratch.path().c_str(), 1);
        auto* orphan = new WebServiceProcess();
        const int port = orphan->Port();
        (void)!::write(portPipe[1], &port, sizeof port);
        ::_exit(0);
    }
    int port = 0;
    ASSERT_EQ(::read(portPipe[0], &port, sizeof port), static_cast<ssize_t>(sizeof port));
    ::waitpid(child, nullptr, 0);
    ::close(portPipe[0]);
    ::close(portPipe[1]);
    ASSERT_GT(port, 0);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !HttpConnection(port).Connected(); }));
}

}  // namespace
