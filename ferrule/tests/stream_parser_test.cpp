// The request parser, URL decoding, byte ranges, the request handler's classification and
// the stock replies.
#include <gtest/gtest.h>

#include <string>

#include "file_utils.h"
#include "mime_types.h"
#include "reply.h"
#include "request.h"
#include "request_handler.h"
#include "request_parser.h"
#include "testsupport/temp_dir.h"

using namespace http::server;

namespace {

request_parser::result_type Parse(const std::string& text, request& req) {
    request_parser parser;
    request_parser::result_type result;
    std::tie(result, std::ignore) = parser.parse(req, text.begin(), text.end());
    return result;
}

request_parser::result_type Parse(const std::string& text) {
    request req;
    return Parse(text, req);
}

request MakeRequest(const std::string& uri, const std::string& range = "",
                    const std::string& host = "127.0.0.1:9000") {
    request req;
    req.method = "GET";
    req.uri = uri;
    if (!host.empty()) req.headers.push_back({"Host", host});
    if (!range.empty()) req.headers.push_back({"Range", range});
    return req;
}

}  // namespace

TEST(StreamRequestParser, ReadsMethodUriVersionAndHeaders) {
    request req;
    ASSERT_EQ(request_parser::good,
              Parse("GET /a%20b?x=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: bytes=1-2\r\n"
                    " continued\r\n\r\n",
                    req));
    EXPECT_EQ("GET", req.method);
    EXPECT_EQ("/a%20b?x=1", req.uri);
    EXPECT_EQ(1, req.http_version_major);
    EXPECT_EQ(1, req.http_version_minor);
    ASSERT_EQ(2u, req.headers.size());
    EXPECT_EQ("Host", req.headers[0].name);
    EXPECT_EQ("127.0.0.1", req.headers[0].value);
    EXPECT_EQ("bytes=1-2continued", req.headers[1].value);
}

TEST(StreamRequestParser, RejectsMalformedInput) {
    EXPECT_EQ(request_parser::bad, Parse("GE(T / HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(request_parser::bad, Parse("GET / HTTP/1.1\r\n Host: x\r\n\r\n"));
    EXPECT_EQ(request_parser::bad, Parse("GET / HTXP/1.1\r\n\r\n"));
    EXPECT_EQ(request_parser::bad, Parse("GET / HTTP/1.x\r\n\r\n"));
    EXPECT_EQ(request_parser::bad, Parse("GET /\x01 HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(request_parser::bad, Parse("GET / HTTP/1.1\r\nHost:x\r\n\r\n"));
    EXPECT_EQ(request_parser::bad, Parse("GET / HTTP/1.1\r\nHo st: x\r\n\r\n"));
    EXPECT_EQ(request_parser::bad, Parse("GET / HTTP/1.1\n\n"));
    EXPECT_EQ(request_parser::bad, Parse(" / HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(request_parser::bad, Parse("G\xc3\xa9T / HTTP/1.1\r\n\r\n"));
}

TEST(StreamRequestParser, VersionDigitsCannotOverflow) {
    EXPECT_EQ(request_parser::bad, Parse("GET / HTTP/99999999999999999999.1\r\n\r\n"));
    EXPECT_EQ(request_parser::bad, Parse("GET / HTTP/1.99999999999999999999\r\n\r\n"));
    request req;
    EXPECT_EQ(request_parser::good, Parse("GET / HTTP/10.25\r\n\r\n", req));
    EXPECT_EQ(10, req.http_version_major);
    EXPECT_EQ(25, req.http_version_minor);
}

TEST(StreamRequestParser, KeepsStateAcrossReadsAndStopsAtTheEnd) {
    const std::string text = "GET /x HTTP/1.0\r\nA: b\r\n\r\nTRAILING";
    request req;
    request_parser parser;
    request_parser::result_type result = request_parser::indeterminate;
    std::string::const_iterator rest;
    for (std::size_t i = 0; i < text.size() && result == request_parser::indeterminate; ++i) {
        std::tie(result, rest) = parser.parse(req, text.begin() + i, text.begin() + i + 1);
    }
    EXPECT_EQ(request_parser::good, result);
    EXPECT_EQ("TRAILING", std::string(rest, text.end()));
    EXPECT_EQ("/x", req.uri);
    EXPECT_EQ(request_parser::indeterminate, Parse("GET /x HTTP/1.0\r\nA: b\r\n"));
}

TEST(StreamUrlDecode, DecodesEscapesAndPlus) {
    std::string out;
    EXPECT_TRUE(request_handler::url_decode("/a%20b+c%2Fd", out));
    EXPECT_EQ("/a b c/d", out);
    EXPECT_TRUE(request_handler::url_decode("%41x", out));
    EXPECT_EQ("Ax", out);
    EXPECT_FALSE(request_handler::url_decode("/abc%4", out));
    EXPECT_FALSE(request_handler::url_decode("/abc%", out));
    EXPECT_FALSE(request_handler::url_decode("/%zz", out));
}

TEST(StreamByteRange, HeaderFormsResolveInclusively) {
    struct Case {
        const char* header;
        std::uint64_t begin, end;  // [begin, end) of a 1000-byte file
    };
    const Case cases[] = {
        {"bytes=0-", 0, 1000},       {"bytes=100-", 100, 1000},
        {"Bytes=100-199", 100, 200}, {"bytes=-300", 700, 1000},
        {"bytes=-5000", 0, 1000},    {"bytes=900-99999", 900, 1000},  // clamped
        {"bytes=5-9, 20-30", 5, 10},                                  // the first range of a list
    };
    for (const Case& c : cases) {
        byte_range r;
        std::uint64_t b = 0, e = 0;
        ASSERT_TRUE(request_handler::parse_range_header(c.header, r)) << c.header;
        ASSERT_TRUE(r.resolve(1000, b, e)) << c.header;
        EXPECT_EQ(c.begin, b) << c.header;
        EXPECT_EQ(c.end, e) << c.header;
    }
}

TEST(StreamByteRange, EmptyOrInvertedRangesAreNotSatisfiable) {
    byte_range r;
    std::uint64_t b = 0, e = 0;
    ASSERT_TRUE(request_handler::parse_range_header("bytes=200-100", r));
    EXPECT_FALSE(r.resolve(1000, b, e));
    ASSERT_TRUE(request_handler::parse_range_header("bytes=1000-", r));
    EXPECT_FALSE(r.resolve(1000, b, e));
    ASSERT_TRUE(request_handler::parse_range_header("bytes=-0", r));
    EXPECT_FALSE(r.resolve(1000, b, e));
    ASSERT_TRUE(request_handler::parse_range_header("bytes=99999999999999999999999-", r));
    EXPECT_FALSE(r.resolve(1000, b, e));
    ASSERT_TRUE(request_handler::parse_range_header("bytes=0-", r));
    EXPECT_FALSE(r.resolve(0, b, e));
    EXPECT_FALSE(request_handler::parse_range_header("bytes=abc", r));
    EXPECT_FALSE(request_handler::parse_range_header("", r));
}

TEST(StreamRequestHandler, RangeHeaderAndQueryMakeStreams) {
    request_handler handler("/nonexistent");
    reply rep;
    request_target t;
    handler.handle_request(MakeRequest("/bturl:abc", "bytes=100-200"), rep, t);
    EXPECT_EQ(kind_stream, t.kind);
    EXPECT_EQ(100u, t.range.first);
    EXPECT_EQ(200u, t.range.last);
    EXPECT_TRUE(t.range.from_header);

    request_target q;
    handler.handle_request(MakeRequest("/bturl:abc?start=5&end=9"), rep, q);
    EXPECT_EQ(kind_stream, q.kind);
    EXPECT_EQ("/bturl:abc", q.path);
    std::uint64_t b = 0, e = 0;
    ASSERT_TRUE(q.range.resolve(1000, b, e));
    EXPECT_EQ(5u, b);
    EXPECT_EQ(9u, e);  // the query's end is not sent

    request_target only_start;
    handler.handle_request(MakeRequest("/x?start=7"), rep, only_start);
    ASSERT_TRUE(only_start.range.resolve(1000, b, e));
    EXPECT_EQ(7u, b);
    EXPECT_EQ(1000u, e);

    // A Base64 stream item may end in '/': it is not a folder.
    request_target slash;
    handler.handle_request(MakeRequest("/bturl:ab/", "bytes=0-"), rep, slash);
    EXPECT_EQ("/bturl:ab/", slash.path);

    // '+' became a space before anything else looked at the path.
    request_target plus;
    handler.handle_request(MakeRequest("/bturl:a+b", "bytes=0-"), rep, plus);
    EXPECT_EQ("/bturl:a b", plus.path);
}

TEST(StreamRequestHandler, BadPathsAreRejected) {
    request_handler handler("/nonexistent");
    for (const char* uri : {"/a/../b", "/abc%4", "", "abc", "/..%2fetc"}) {
        reply rep;
        request_target t;
        handler.handle_request(MakeRequest(uri), rep, t);
        EXPECT_EQ(reply::bad_request, rep.status) << uri;
        EXPECT_EQ(kind_file, t.kind) << uri;
    }
    reply rep;
    request_target t;
    handler.handle_request(MakeRequest("/x?parse=true"), rep, t);
    EXPECT_EQ(kind_parse, t.kind);
    EXPECT_EQ(reply::not_found, rep.status);
}

TEST(StreamRequestHandler, ServesOnlyPublicRegularFilesToLoopbackHosts) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("index.html"), "<p>home</p>");
    testsupport::WriteFile(dir.file("clip.MP4"), "1234");
    testsupport::WriteFile(dir.file("ini/app.ini"), "[AppSetting]\nbLog=1\n");
    testsupport::WriteFile(dir.file("MediaData/k.torrent"), "d4:infode");
    testsupport::WriteFile(dir.file("D2IZedavi.log"), "secret");
    testsupport::WriteFile(dir.file("sub/page.htm"), "<p/>");
    testsupport::TempDir outside;
    testsupport::WriteFile(outside.file("other.txt"), "outside");
    ASSERT_EQ(0, ::symlink(outside.file("other.txt").c_str(), dir.file("link.txt").c_str()));
    request_handler handler(dir.path());

    reply rep;
    request_target t;
    handler.handle_request(MakeRequest("/"), rep, t);
    ASSERT_EQ(reply::ok, rep.status);
    // The reply carries the headers; the file follows them in pieces.
    EXPECT_EQ("", rep.content);
    EXPECT_EQ(dir.file("index.html"), t.file);
    EXPECT_EQ(11u, t.file_size);
    ASSERT_EQ(3u, rep.headers.size());
    EXPECT_EQ("Content-Length", rep.headers[0].name);
    EXPECT_EQ("11", rep.headers[0].value);
    EXPECT_EQ("text/html", rep.headers[1].value);
    EXPECT_EQ("Accept-Ranges", rep.headers[2].name);
    EXPECT_EQ("bytes", rep.headers[2].value);

    rep = reply();
    handler.handle_request(MakeRequest("/clip.MP4", "", "localhost"), rep, t);
    ASSERT_EQ(reply::ok, rep.status);
    EXPECT_EQ("application/octet-stream", rep.headers[1].value);

    rep = reply();
    handler.handle_request(MakeRequest("/sub/page.htm"), rep, t);
    EXPECT_EQ(reply::ok, rep.status);

    for (const char* uri :
         {"/ini/app.ini", "/INI/app.ini", "/MediaData/k.torrent", "/D2IZedavi.log"}) {
        rep = reply();
        handler.handle_request(MakeRequest(uri), rep, t);
        EXPECT_EQ(reply::forbidden, rep.status) << uri;
    }
    for (const char* uri : {"/missing.txt", "/sub", "/link.txt"}) {
        rep = reply();
        handler.handle_request(MakeRequest(uri), rep, t);
        EXPECT_EQ(reply::not_found, rep.status) << uri;
        EXPECT_EQ(
            "<html><head><title>Not Found</title></head><body><h1>404 Not Found</h1>"
            "</body></html>",
            rep.content);
    }
    for (const char* host : {"evil.example:80", "", "127.0.0.2"}) {
        rep = reply();
        handler.handle_request(MakeRequest("/index.html", "", host), rep, t);
        EXPECT_EQ(reply::forbidden, rep.status) << host;
    }
}

TEST(StreamRequestHandler, OnlyLoopbackHostsMayAskForFilesAndStreams) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("index.html"), "<p>home</p>");
    request_handler handler(dir.path());
    struct Case {
        const char* host;
        bool allowed;
    };
    const Case cases[] = {
        {"127.0.0.1", true},
        {"127.0.0.1:17766", true},
        {"localhost", true},
        {"LocalHost:9", true},
        {"[::1]", true},
        {"[::1]:17766", true},
        {"", false},
        {"evil.example:80", false},
        {"127.0.0.2", false},
        {"[::1", false},
        {"[::2]:80", false},
        {"localhost:http", false},
        {"127.0.0.1.evil", false},
        {"localhost:80:80", false},
        {"[::1]x", false},
    };
    for (const Case& c : cases) {
        reply rep;
        request_target file;
        handler.handle_request(MakeRequest("/index.html", "", c.host), rep, file);
        EXPECT_EQ(c.allowed ? reply::ok : reply::forbidden, rep.status) << c.host;
        rep = reply();
        request_target stream;
        handler.handle_request(MakeRequest("/bturl:abc", "bytes=0-", c.host), rep, stream);
        EXPECT_EQ(c.allowed ? kind_stream : kind_file, stream.kind) << c.host;
        if (!c.allowed) {
            EXPECT_EQ(reply::forbidden, rep.status) << c.host;
        }
    }
}

TEST(StreamRequestHandler, AnEscapedNulInThePathIsRefused) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("program"),
                           "\x7f"
                           "ELF");
    request_handler handler(dir.path());
    const std::pair<const char*, const char*> cases[] = {
        {"/program%00.mp4", ""}, {"/program%00", ""}, {"/bturl:abc%00", "bytes=0-"}};
    for (const auto& [uri, range] : cases) {
        reply rep;
        request_target t;
        handler.handle_request(MakeRequest(uri, range), rep, t);
        EXPECT_EQ(reply::bad_request, rep.status) << uri;
        EXPECT_EQ(kind_file, t.kind) << uri;
    }
}

TEST(StreamReply, StatusLinesAndStockBodies) {
    reply r = reply::stock_reply(reply::no_content);
    EXPECT_EQ(
        "<html><head><title>No Content</title></head><body><h1>204 Content</h1></body>"
        "</html>",
        r.content);
    r = reply::stock_reply(static_cast<reply::status_type>(299));
    EXPECT_EQ(
        "<html><head><title>Internal Server Error</title></head><body><h1>500 Internal "
        "Server Error</h1></body></html>",
        r.content);
    EXPECT_EQ(0u, r.to_string().find("HTTP/1.1 500 Internal Server Error\r\n"));
    r = reply::stock_reply(reply::ok);
    EXPECT_EQ("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nContent-Type: text/html\r\n\r\n",
              r.to_string());
    r = reply::stock_reply(reply::moved_temporarily);
    EXPECT_EQ(0u, r.to_string().find("HTTP/1.1 302 Moved Temporarily\r\n"));
    EXPECT_EQ("video/x-flv", mime_types::extension_to_type("flv"));
    EXPECT_EQ("application/octet-stream", mime_types::extension_to_type("HTML"));
}
