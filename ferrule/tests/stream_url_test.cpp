// Stream paths as the player writes them, and the task record's form between processes.
#include "stream_url.h"

#include <gtest/gtest.h>

#include <cstring>

#include "server_test_http.h"
#include "stream_downloader.h"
#include "task_info.h"
#include "task_key.h"

using stream_testing::Base64Encode;

TEST(StreamUrl, TorrentUrlWithEveryItem) {
    const std::string url = "http://127.0.0.1:9001/btroot/L2EvYi50b3JyZW50";
    const std::string path = "/bturl:" + Base64Encode(url) +
                             ",httpurl:" + Base64Encode("http://m1/x;http://m2/x") +
                             ",sources:" + Base64Encode("10.0.0.1:6881;peerhost") +
                             ",private:" + Base64Encode("true") + ",crypt:" + Base64Encode("false");
    StreamTaskOptions o;
    ASSERT_TRUE(ParseStreamPath(path, o));
    EXPECT_EQ(MakeTaskKey(url), o.key);
    ASSERT_EQ(1u, o.torrentUrls.size());
    EXPECT_EQ(url, o.torrentUrls[0]);
    EXPECT_TRUE(o.engineUrl.empty());
    EXPECT_EQ((std::vector<std::string>{"http://m1/x", "http://m2/x"}), o.httpUrls);
    EXPECT_EQ((std::vector<std::string>{"10.0.0.1:6881", "peerhost"}), o.peerSources);
    EXPECT_EQ(1, o.isPrivate);
    EXPECT_EQ(0, o.crypt);
}

TEST(StreamUrl, LinksGoToTheEngineWhateverTheirCase) {
    for (const std::string link : {"magnet:?xt=urn:btih:0123", "MAGNET:?xt=urn:btih:0123",
                                   "kvbt://abcdef", "KvBt://abcdef"}) {
        StreamTaskOptions o;
        ASSERT_TRUE(ParseStreamPath("/bturl:" + Base64Encode(link), o)) << link;
        EXPECT_EQ(link, o.engineUrl);
        EXPECT_TRUE(o.torrentUrls.empty());
        EXPECT_EQ(MakeTaskKey(link), o.key);
    }
    // A doubled leading slash is dropped too.
    StreamTaskOptions o;
    ASSERT_TRUE(ParseStreamPath("//bturl:" + Base64Encode("magnet:?a"), o));
    EXPECT_EQ("magnet:?a", o.engineUrl);
}

TEST(StreamUrl, FlagsNeedExactlyTrueAndStaySet) {
    StreamTaskOptions o;
    ASSERT_TRUE(
        ParseStreamPath("/private:" + Base64Encode("True") + ",crypt:" + Base64Encode("true "), o));
    EXPECT_EQ(0, o.isPrivate);
    EXPECT_EQ(0, o.crypt);
    ASSERT_TRUE(
        ParseStreamPath("/crypt:" + Base64Encode("true") + ",crypt:" + Base64Encode("false"), o));
    EXPECT_EQ(1, o.crypt);
}

TEST(StreamUrl, PlusThatArrivedAsSpaceDecodesToTheWritersBytes) {
    // "\xfb\xff" encodes with '+' and '/' characters.
    const std::string source = "http://h/\xfb\xef\xbe?>";
    std::string encoded = Base64Encode(source);
    ASSERT_NE(std::string::npos, encoded.find('+'));
    std::string arrived = encoded;
    for (char& c : arrived) {
        if (c == '+') c = ' ';
    }
    StreamTaskOptions o;
    ASSERT_TRUE(ParseStreamPath("/bturl:" + arrived, o));
    ASSERT_EQ(1u, o.torrentUrls.size());
    EXPECT_EQ(source, o.torrentUrls[0]);
}

TEST(StreamUrl, RepeatsReplaceTheSourceAndAppendLists) {
    StreamTaskOptions o;
    ASSERT_TRUE(ParseStreamPath("/bturl:" + Base64Encode("magnet:?one") +
                                    ",httpurl:" + Base64Encode("a") +
                                    ",bturl:" + Base64Encode("http://h/two.torrent") +
                                    ",httpurl:" + Base64Encode("b") + ",title:" + Base64Encode("x"),
                                o));
    EXPECT_TRUE(o.engineUrl.empty());
    EXPECT_EQ(std::vector<std::string>{"http://h/two.torrent"}, o.torrentUrls);
    EXPECT_EQ(MakeTaskKey("http://h/two.torrent"), o.key);
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), o.httpUrls);
}

TEST(StreamUrl, PathsWithoutItemsGiveNothing) {
    for (const char* path : {"/", "", "/index.html", "/title:abc,,", "/,,,", "/bturl"}) {
        StreamTaskOptions o;
        EXPECT_FALSE(ParseStreamPath(path, o)) << path;
        EXPECT_TRUE(o.key.empty());
    }
}

TEST(StreamTaskInfoWire, RoundTripsTheLittleEndianLayout) {
    ZP2PTaskInfo info{};
    info.cbSize = sizeof(ZP2PTaskInfo);
    info.reserved1 = 0x01020304;
    for (int i = 0; i < 432; ++i) info.info[i] = static_cast<unsigned char>(i * 7);
    char map[] = "0101";
    info.pieceMap = map;
    info.reserved2 = 0xA0B0C0D0;

    const std::string wire = task_info_wire::ToWire(info);
    ASSERT_EQ(448u, wire.size());
    const auto* b = reinterpret_cast<const unsigned char*>(wire.data());
    EXPECT_EQ(448u, b[0] | (b[1] << 8) | (b[2] << 16) | (b[3] << 24));
    EXPECT_EQ(0x04, b[4]);
    EXPECT_EQ(0x01, b[7]);
    EXPECT_EQ(0, std::memcmp(b + 8, info.info, 432));
    EXPECT_NE(0, b[440] | b[441] | b[442] | b[443]);
    EXPECT_EQ(0xD0, b[444]);
    EXPECT_EQ(0xA0, b[447]);

    ZP2PTaskInfo back{};
    bool hasMap = false;
    ASSERT_TRUE(task_info_wire::FromWire(wire.data(), wire.size(), back, &hasMap));
    EXPECT_TRUE(hasMap);
    EXPECT_EQ(sizeof(ZP2PTaskInfo), back.cbSize);
    EXPECT_EQ(info.reserved1, back.reserved1);
    EXPECT_EQ(info.reserved2, back.reserved2);
    EXPECT_EQ(0, std::memcmp(back.info, info.info, 432));
    EXPECT_EQ(nullptr, back.pieceMap);

    info.pieceMap = nullptr;
    const std::string noMap = task_info_wire::ToWire(info);
    ASSERT_TRUE(task_info_wire::FromWire(noMap.data(), noMap.size(), back, &hasMap));
    EXPECT_FALSE(hasMap);
}

TEST(StreamTaskInfoWire, RejectsWrongSizes) {
    ZP2PTaskInfo info{};
    info.cbSize = sizeof(ZP2PTaskInfo);
    std::string wire = task_info_wire::ToWire(info);
    ZP2PTaskInfo out{};
    out.reserved1 = 77;
    EXPECT_FALSE(task_info_wire::FromWire(wire.data(), 447, out));
    std::string longer = wire + "x";
    EXPECT_FALSE(task_info_wire::FromWire(longer.data(), longer.size(), out));
    wire[0] = 0x40;
    EXPECT_FALSE(task_info_wire::FromWire(wire.data(), wire.size(), out));
    EXPECT_FALSE(task_info_wire::FromWire(nullptr, 448, out));
    EXPECT_EQ(77u, out.reserved1);
}

TEST(StreamDownloadWindow, MissingPiecesFetchedAheadDependOnThePieceSize) {
    EXPECT_EQ(256, CStreamDownloader::WindowLength(16 * 1024));
    EXPECT_EQ(16, CStreamDownloader::WindowLength(256 * 1024));
    EXPECT_EQ(8, CStreamDownloader::WindowLength(512 * 1024));
    EXPECT_EQ(8, CStreamDownloader::WindowLength(1024 * 1024));
    EXPECT_EQ(6, CStreamDownloader::WindowLength(2 * 1024 * 1024));
    EXPECT_EQ(6, CStreamDownloader::WindowLength(4 * 1024 * 1024));
}
