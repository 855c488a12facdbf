// The play road's rules as table tests: figures and texts, the media index and buffered
// ranges, the page resolve request and its answer, the stream task's record, and the purge of
// the stream cache. (What the engine opens is checked through the view.)
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "kvbt_downloader_info.h"
#include "media_index.h"
#include "page_resolve.h"
#include "play_request.h"
#include "play_texts.h"
#include "stream_cache.h"
#include "task_info.h"
#include "task_status.h"
#include "testsupport/temp_dir.h"
#include "torrent_name.h"

namespace {

constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 kGiB = 1024 * kMiB;

TEST(PlayTextsTest, BufferPercentGrowsByHalvesAndReadsFilesPast2GiB) {
    const struct {
        qint64 bytes;
        double expected;
    } rows[] = {{-5, 0},
                {0, 0},
                {kMiB / 2, 23.5},
                {kMiB, 47},
                {kMiB * 3 / 2, 58.75},
                {3 * kMiB, 82.25},
                // Past 2 GiB the 32-bit low part would read as negative (or nothing).
                {2 * kGiB + 1, 94},
                {5 * kGiB, 94},
                {1024 * kGiB, 94}};
    for (const auto& row : rows)
        EXPECT_NEAR(BufferPercent(3, row.bytes), row.expected, 1e-9) << row.bytes;
}

TEST(PlayTextsTest, SizesAndTimesReadAsTheUserSeesThem) {
    const struct {
        double bytes;
        const char* text;
    } sizes[] = {{0, "0 Bytes"},          {1024, "1024 Bytes"},       {1025, "1.00 KB"},
                 {1048576, "1024.00 KB"}, {1048577, "1.00 MB"},       {1073741824, "1024.00 MB"},
                 {2.5 * kGiB, "2.50 GB"}, {5.0 * kGiB + 1, "5.00 GB"}};
    for (const auto& row : sizes) EXPECT_EQ(FormatSize(row.bytes), row.text) << row.bytes;
    const struct {
        qint64 ms;
        const char* text;
    } times[] = {{-5, "0:00:00"},
                 {0, "0:00:00"},
                 {59999, "0:00:59"},
                 {3723000, "1:02:03"},
                 {360000000, "100:00:00"}};
    for (const auto& row : times) EXPECT_EQ(FormatTime(row.ms), row.text) << row.ms;
}

TEST(PlayRequestTest, OnlyANumberResumes) {
    const struct {
        QVariant pos;
        int expected;
    } rows[] = {{QVariant(), 0},
                {QVariant(15000), 15000},
                {QVariant(15000.7), 15000},
                {QVariant(QStringLiteral("15000")), 15000},
                {QVariant(QStringLiteral("soon")), 0},
                {QVariant(-3), 0},
                {QVariant(true), 0},
                {QVariant(1e12), INT_MAX}};
    for (const auto& row : rows)
        EXPECT_EQ(ResumePosition(row.pos), row.expected) << row.pos.toString().toStdString();
}

MediaIndex Linear(int entries) {
    MediaIndex index;
    for (int i = 0; i < entries; ++i) {
        index.times.append(i * 1000);
        index.offsets.append(i * 100);
    }
    return index;
}

TEST(MediaIndexTest, IndexTextAndTheTimeOfAnOffset) {
    const MediaIndex parsed = ParseMediaIndex(QStringLiteral("0-0;1000-5000000000;x-7;2000-y;"));
    EXPECT_EQ(parsed.times, (QVector<int>{0, 1000, 0, 2000, 0}));
    EXPECT_EQ(parsed.offsets, (QVector<qint64>{0, 5000000000LL, 7, 0, 0}));

    const struct {
        int entries;
        qint64 offset;
        int time;
    } rows[] = {{0, 500, 0},     {1, 500, 0},     {2, 500, 0},     {11, 100, 1000},
                {11, 300, 3000}, {11, 500, 5000}, {11, 250, 3000}, {11, 5000, 9000}};
    for (const auto& row : rows)
        EXPECT_EQ(TimeForOffset(Linear(row.entries), row.offset), row.time)
            << row.entries << " entries, offset " << row.offset;
}

TEST(MediaIndexTest, BufferedRunsBecomeFractionsOfThePlay) {
    const MediaIndex index = Linear(11);  // 100 bytes a second, 10 s
    const struct {
        const char* map;
        int duration;
        BufferRanges ranges;
    } rows[] = {
        {"0110", 10000, {{0.1f, 0.3f}}},
        // Other characters neither start nor end a run.
        {"01x10", 10000, {{0.1f, 0.4f}}},
        {"0110111000", 10000, {{0.1f, 0.3f}, {0.4f, 0.7f}}},
        {"0000", 10000, {}},
        // A run no longer than a hundredth of the play is left out.
        {"0110", 200000, {}},
        // Without a duration there is nothing to divide by.
        {"0110", 0, {}},
        {"", 10000, {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(BufferedRanges(QString::fromLatin1(row.map), 100, index, row.duration),
                  row.ranges)
            << row.map << " " << row.duration;
}

TEST(PageResolveTest, TheTokenReadsUtf8BytesAndTheQueryKeepsItsBase64) {
    // The ninth byte from the end is the second byte of "é", read as a Latin-1 character.
    EXPECT_EQ(PageResolveToken(QString::fromUtf8("http://video.example.com/\xC3\xA9"
                                                 "12345678")),
              "02496a6dd31540bad36a238281fc15c1");
    EXPECT_EQ(PageResolveToken(QStringLiteral("12345678")), QString());
    EXPECT_EQ(PageResolveRequestUrl(QStringLiteral("http://127.0.0.1:8600"),
                                    QStringLiteral("http://例子.com/视频?x=1>>?"))
                  .toEncoded(),
              "http://127.0.0.1:8600/Orvane/?tk=383873f7d8f420f615985ee18f9839b6"
              "&url=aHR0cDovL+S+i+WtkC5jb20v6KeG6aKRP3g9MT4+Pw==&t=json&hd=102");
}

TEST(PageResolveTest, AnswersGiveTheirSegmentsOrNothing) {
    using Segments = QVector<MediaSegment>;
    const struct {
        const char* body;
        std::optional<Segments> segments;
    } rows[] = {
        {R"({"error":"","files":[{"seg":[{"furl":"http://a/1.mp4","seconds":12}]}]})",
         Segments{{"http://a/1.mp4", 12}}},
        {R"({"error":null,"files":[{"seg":[{"furl":"u1","seconds":"3"}]},)"
         R"({"seg":[{"furl":"u2","seconds":4},{"furl":"u3"}]}]})",
         Segments{{"u1", 3}, {"u2", 4}, {"u3", 0}}},
        {R"({"error":"not found","files":[]})", std::nullopt},
        {R"({"error":0,"files":[{"seg":[{"furl":"u"}]}]})", std::nullopt},
        {R"({"files":[{"seg":[{"furl":"u"}]}]})", std::nullopt},
        {R"({"error":"","files":{}})", std::nullopt},
        {R"({"error":"","files":[{"segs":[]}]})", std::nullopt},
        {R"({"error":"","files":[{"seg":[]}]})", std::nullopt},
        {R"({"error":"","files":[{"seg":[{"furl":"u\n#EXT-X-KEY:x"}]}]})", std::nullopt},
        {R"([1,2])", std::nullopt},
        {"not json", std::nullopt},
    };
    for (const auto& row : rows) {
        QString reason;
        const auto segments = ParseResolveReply(QByteArray(row.body), &reason);
        ASSERT_EQ(segments.has_value(), row.segments.has_value()) << row.body;
        if (!segments) {
            EXPECT_FALSE(reason.isEmpty()) << row.body;
            continue;
        }
        ASSERT_EQ(segments->size(), row.segments->size()) << row.body;
        for (int i = 0; i < segments->size(); ++i) {
            EXPECT_EQ((*segments)[i].url, (*row.segments)[i].url);
            EXPECT_EQ((*segments)[i].seconds, (*row.segments)[i].seconds);
        }
    }
    EXPECT_EQ(SegmentListText({{"http://a/1.mp4", 12}, {"/tmp/视频 2.mp4", 7}}),
              QByteArray("#EXTM3U\n#EXTINF:12,\nhttp://a/1.mp4\n#EXTINF:7,\n") +
                  QStringLiteral("/tmp/视频 2.mp4").toUtf8() + "\n#EXT-X-ENDLIST\n");
}

void Put32(ZP2PTaskInfo& record, std::size_t offset, qint32 value) {
    task_info_wire::PutU32(record.info + offset, static_cast<quint32>(value));
}

void Put64(ZP2PTaskInfo& record, std::size_t offset, qint64 value) {
    Put32(record, offset, static_cast<qint32>(value & 0xFFFFFFFF));
    Put32(record, offset + 4, static_cast<qint32>(value >> 32));
}

QByteArray Answer(const ZP2PTaskInfo& record, const char* pieceMap) {
    ZP2PTaskInfo wire = record;
    // Only whether a map is attached travels in the record.
    wire.pieceMap = const_cast<char*>(pieceMap);
    return QByteArray::fromStdString(task_info_wire::ToWire(wire)) + (pieceMap ? pieceMap : "");
}

TEST(TaskStatusTest, TheRecordReadsIntoFiguresAndTexts) {
    using namespace kvbt_info;
    ZP2PTaskInfo record{};
    Put32(record, kConnections, 5);
    Put32(record, kTrackerIncomplete, -1);
    Put32(record, kTrackerComplete, 9);
    Put32(record, kConnectedSeeds, 2);
    Put32(record, kConnectedDownloaders, 3);
    Put32(record, kDownloadRate, 3 * 1024 * 1024 + 100);
    Put64(record, kTotalSize, 3 * kGiB);
    Put64(record, kBytesHeld, 3 * kGiB - 1);
    Put64(record, kBytesDownloaded, 3 * kGiB);
    Put32(record, kPiecesHeld, 7);
    Put64(record, kTotalSizeAgain, 3 * kGiB);
    Put32(record, kPieceLength, 4 * 1024 * 1024);

    const auto task = ReadTaskStatus(Answer(record, "0110"));
    ASSERT_TRUE(task.has_value());
    EXPECT_EQ(task->connections, 5);
    EXPECT_EQ(task->downloadRate, 3u * 1024 * 1024 + 100);
    EXPECT_EQ(task->totalSize, 3 * kGiB);
    EXPECT_EQ(task->bytesHeld, 3 * kGiB - 1);
    EXPECT_EQ(task->pieceLength, 4 * 1024 * 1024);
    EXPECT_EQ(task->pieceMap, "0110");
    EXPECT_EQ(SpeedText(task->downloadRate), "3072kb/s");

    const TaskStatusTexts texts = StatusTexts(*task);
    // 3 + 93.99999999999999, cut to a whole percent.
    EXPECT_EQ(texts.percent, 96);
    EXPECT_EQ(texts.title, "<p style=\"font-size:14px;\"><b>已缓冲 &nbsp;&nbsp;97.00%</b></p>");
    for (const char* part : {"<b>当前连接数</b>：</td><td align=\"right\">5<", "3072 kb/s",
                             "3.00 GB", "<b>Tracker总完成人数</b>"})
        EXPECT_TRUE(texts.status.contains(QString::fromUtf8(part))) << part;
    EXPECT_FALSE(texts.status.contains(QStringLiteral("Tracker总未完成人数")));
    EXPECT_TRUE(texts.status.startsWith(
        QStringLiteral("<p style=\"color:white;line-height:18px;\"><table")));

    // Nothing held yet: the download has only begun.
    Put32(record, kPiecesHeld, 0);
    const TaskStatusTexts start = StatusTexts(*ReadTaskStatus(Answer(record, nullptr)));
    EXPECT_EQ(start.percent, 0);
    EXPECT_EQ(start.title, "<p style=\"font-size:14px;\"><b>开始下载</b></p>");
    EXPECT_EQ(start.status, EmptyStatusParagraph());
    // A map the record does not announce is not read.
    QByteArray unannounced = Answer(record, nullptr) + "111";
    EXPECT_EQ(ReadTaskStatus(unannounced)->pieceMap, QString());
}

TEST(TaskStatusTest, AnswersThatAreNoRecordHoldNoInformation) {
    const QByteArray record = QByteArray::fromStdString(task_info_wire::ToWire(ZP2PTaskInfo{}));
    EXPECT_TRUE(ReadTaskStatus(record).has_value());
    EXPECT_FALSE(ReadTaskStatus(QByteArray()).has_value());
    EXPECT_FALSE(ReadTaskStatus(record.left(447)).has_value());
    QByteArray wrongSize = record;
    wrongSize[0] = char(0xBF);
    EXPECT_FALSE(ReadTaskStatus(wrongSize).has_value());
}

TEST(TorrentNameTest, TheContentNameIsReadSafely) {
    const struct {
        QByteArray torrent;
        const char* name;
    } rows[] = {
        {"d8:announce9:http://t/4:infod6:lengthi5e4:name5:a.mp4ee", "a.mp4"},
        {"d4:infod5:filesld6:lengthi1e4:pathl1:xeee4:name6:\xE5\xBD\xB1\xE7\x89\x87"
         "12:piece lengthi16384eee",
         "影片"},
        {"d4:infod4:name2:..ee", ""},
        {"d4:infod4:name4:a/bcee", ""},
        {"d4:infod4:name0:ee", ""},
        {"d4:infod4:name9:shortee", ""},
        {"d4:infod6:lengthi5eee", ""},
        {"l4:infoe", ""},
        {QByteArray(100000, 'l'), ""},
        {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TorrentContentName(row.torrent), QString::fromUtf8(row.name))
            << row.torrent.left(60).toStdString();
}

// A cache folder with the streaming service's media folder beside it.
class StreamCacheTest : public ::testing::Test {
protected:
    QString Cache(const QString& name = QString()) {
        return QString::fromStdString(dir_.file("cache/" + name.toStdString()));
    }
    QString Media(const QString& name) {
        return QString::fromStdString(dir_.file("MediaData/" + name.toStdString()));
    }
    // A task whose torrent names `content`; its file in the cache has `size` bytes (sparse).
    void AddTask(const QString& key, const QString& content, qint64 size, bool folder = false) {
        const QByteArray name = content.toUtf8();
        testsupport::WriteFile(
            Media(key + ".torrent").toStdString(),
            ("d4:infod4:name" + QByteArray::number(name.size()) + ":" + name + "ee").toStdString());
        testsupport::WriteFile(Media(key + ".kvbt").toStdString(), "state");
        const QString file = folder ? Cache(content + "/part/x.bin") : Cache(content);
        testsupport::WriteFile(file.toStdString(), "");
        QFile sized(file);
        ASSERT_TRUE(sized.resize(size));
    }
    bool Exists(const QString& path) { return QFileInfo(path).exists(); }

    testsupport::TempDir dir_;
};

TEST_F(StreamCacheTest, TheLimitItselfIsKept) {
    AddTask("AAAA", "a.mp4", kStreamCacheLimit / 2);
    AddTask("BBBB", "b.mp4", kStreamCacheLimit / 2);
    // The user's own file counts for nothing and never goes.
    testsupport::WriteFile(Cache("mine.txt").toStdString(), std::string(1000, 'x'));
    EXPECT_EQ(PurgeStreamCache(Cache(), Media(""), QString(), kStreamCacheLimit), 0);
    EXPECT_TRUE(Exists(Cache("a.mp4")));
    EXPECT_TRUE(Exists(Cache("b.mp4")));

    AddTask("CCCC", "c.mp4", 1);
    EXPECT_EQ(PurgeStreamCache(Cache(), Media(""), QStringLiteral("CCCC"), kStreamCacheLimit), 2);
    EXPECT_FALSE(Exists(Cache("a.mp4")));
    EXPECT_FALSE(Exists(Cache("b.mp4")));
    EXPECT_TRUE(Exists(Cache("c.mp4")));
    EXPECT_TRUE(Exists(Cache("mine.txt")));
}

TEST_F(StreamCacheTest, OnlyTheServicesEntriesGoAndNeverThePlayingOne) {
    AddTask("PLAY", "playing.mkv", 300);
    AddTask("OLD1", "old folder", 300, true);
    AddTask("OLD2", "old.mp4", 300);
    // Two torrents naming one content: the playing task keeps it.
    AddTask("TWIN", "playing.mkv", 300);
    testsupport::WriteFile(Media("BAD.torrent").toStdString(), "d4:infod4:name2:..ee");
    // A link to something outside the cache goes, what it points at stays.
    testsupport::WriteFile(dir_.file("outside/keep.bin"), "keep");
    testsupport::WriteFile(Media("LINK.torrent").toStdString(), "d4:infod4:name4:linkee");
    ASSERT_TRUE(QFile::link(QString::fromStdString(dir_.file("outside")), Cache("link")));
    testsupport::WriteFile(Cache("user/own.mp4").toStdString(), std::string(5000, 'u'));

    ASSERT_EQ(StreamCacheEntries(Cache(), Media("")).size(), 5);
    EXPECT_EQ(PurgeStreamCache(Cache(), Media(""), QStringLiteral("PLAY"), 1000), 3);
    EXPECT_TRUE(Exists(Cache("playing.mkv")));
    EXPECT_TRUE(Exists(Media("PLAY.kvbt")));
    EXPECT_FALSE(Exists(Cache("old folder")));
    EXPECT_FALSE(Exists(Cache("old.mp4")));
    EXPECT_FALSE(Exists(Media("OLD1.kvbt")));
    EXPECT_FALSE(QFileInfo(Cache("link")).isSymLink());
    EXPECT_TRUE(Exists(QString::fromStdString(dir_.file("outside/keep.bin"))));
    EXPECT_TRUE(Exists(Cache("user/own.mp4")));
    EXPECT_TRUE(QFileInfo(Cache()).isDir());
    EXPECT_TRUE(Exists(Media("OLD1.torrent")));
}

}  // namespace
