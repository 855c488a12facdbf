// The player view's play road against the recording engine stand-in, loaded the way the view
// loads the real engine: the exact text opened for each kind of request, the engine settings
// of every play, the page resolve request against the web-service stand-in, its segments and
// playlist, and answers that come too late.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <algorithm>
#include <functional>
#include <memory>

#include "app_values.h"
#include "engine_library.h"
#include "fake_engine/fake_engine_control.h"
#include "main_widget_calls.h"
#include "named_objects.h"
#include "page_resolve.h"
#include "player_controller.h"
#include "player_view_event_pump.h"
#include "scoped_app_directory.h"
#include "testsupport/temp_dir.h"
#include "webservice_process.h"
#include "widget_player_view.h"

namespace {

using Calls = std::vector<std::string>;

const QString kStreamBase = QStringLiteral("http://127.0.0.1:17766/");

class MainStandIn : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void ShowMain() { calls << QStringLiteral("ShowMain"); }
    QStringList calls;
};

class RecordsStandIn : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void StartRecord(int type, QString url, QString, int pos, QString title) {
        calls << QStringLiteral("StartRecord %1 %2 %3 %4").arg(type).arg(url).arg(pos).arg(title);
    }
    Q_INVOKABLE void StopRecord() { calls << QStringLiteral("StopRecord"); }
    QStringList calls;
};

QString B64(const QString& text) { return QString::fromLatin1(text.toUtf8().toBase64()); }

QVariantMap Request(int type, const QString& url) {
    return {{"type", type}, {"url", url}, {"title", "t"}, {"pos", 1500}};
}

class PlayerViewPlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::WriteFile(dir_.file("cache/.keep"), "");
        testsupport::WriteFile(dir_.file("bin/ini/path.ini"),
                               "[AppSetting]\nsavePath=" + dir_.file("cache") + "/\n");
        SetEngineFolder(QStringLiteral(ORVANE_FAKE_ENGINE_DIR));
        SetMainWidgetStandInForTesting(&main_);
        RegisterNamedObject(QStringLiteral("PlayerRecords"), &records_);
        SetAppValue("bturl", kStreamBase);
        SetAppValue("btroot", QStringLiteral("http://127.0.0.1:9001/btroot/"));
        view_ = std::make_unique<WidgetPlayerView>();
        view_->SetController(&bar_);
        view_->Engine().get()->QueryInterface(IFakeEngineControl::kIid, engine_.PutVoid());
        ASSERT_TRUE(engine_);
        engine_->ClearCalls();
    }
    void TearDown() override {
        view_.reset();
        engine_.reset();
        SetEngineFolder(QString());
        SetMainWidgetStandInForTesting(nullptr);
        for (const char* key : {"bturl", "btroot", "httpsurl"}) RemoveAppValue(key);
    }

    // The engine calls of one play, the ones made at once.
    Calls PlayCalls(const QVariantMap& request) {
        engine_->ClearCalls();
        view_->Play(request);
        return engine_->Calls();
    }
    static Calls Opened(const std::string& target) {
        return {"Close",
                "Open " + target,
                "SetConfig 8=0",
                "SetConfig 606=20",
                "SetConfig 607=20",
                "SetConfig 115=1",
                "SetConfig 613=;12;65535;0",
                "SetConfig 18=1"};
    }
    bool WasOpened(const std::string& target) {
        for (const std::string& call : engine_->Calls())
            if (call == "Open " + target) return true;
        return false;
    }
    // Runs the loop until the engine was asked to open `target`.
    bool OpensEventually(const std::string& target) {
        return PumpUntil([&] { return WasOpened(target); });
    }

    testsupport::TempDir dir_;
    ScopedAppDirectory app_{dir_.file("bin")};
    MainStandIn main_;
    RecordsStandIn records_;
    PlayerController bar_;
    std::unique_ptr<WidgetPlayerView> view_;
    com::Ptr<IFakeEngineControl> engine_;
};

TEST_F(PlayerViewPlayTest, EachKindOfRequestOpensItsOwnTextWithTheSixSettings) {
    const QString torrent = QString::fromStdString(dir_.file("種子 1.torrent"));
    testsupport::WriteFile(torrent.toStdString(), "d4:infod4:name1:aee");
    const QString published = "http://127.0.0.1:9001/btroot/" + B64(torrent);
    QVariantMap resolved = Request(3, QStringLiteral("http://files.example/影片.torrent"));
    resolved.insert({{"httpurl", "http://m/a.mp4"},
                     {"sources", "127.0.0.1:6881"},
                     {"private", "false"},
                     {"crypt", "true"}});
    const QString magnet = QStringLiteral("magnet:?xt=urn:btih:0123456789abcdef");
    const QString local = QString::fromStdString(dir_.file("a b/影片.mp4"));
    testsupport::WriteFile(local.toStdString(), "video");
    // Local names that are no regular file never reach the engine, which would open them on
    // a thread of its own: it opens what fails at once instead.
    const QString fifo = QString::fromStdString(dir_.file("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString fifoLink = QString::fromStdString(dir_.file("fifo link.mp4"));
    ASSERT_TRUE(QFile::link(fifo, fifoLink));
    const struct {
        QVariantMap request;
        QString opened;
    } rows[] = {
        {Request(6, local), local},
        {Request(6, fifo), "#"},
        {Request(6, fifoLink), "#"},
        {Request(6, "/dev/zero"), "#"},
        {Request(6, QString::fromStdString(dir_.path())), "#"},
        {Request(6, local + ".gone"), "#"},
        {Request(2, QStringLiteral("http://h/a b.mp4")), QStringLiteral("http://h/a%20b.mp4")},
        // No HTTPS relay is set up: the URL opens as it is.
        {Request(2, QStringLiteral("https://h.example/v.mp4")),
         QStringLiteral("https://h.example/v.mp4")},
        {resolved, kStreamBase + "bturl:" + B64("http://files.example/影片.torrent") +
                       ",httpurl:" + B64("http://m/a.mp4") + ",sources:" + B64("127.0.0.1:6881") +
                       ",private:" + B64("false") + ",crypt:" + B64("true")},
        {Request(3, magnet),
         kStreamBase + "bturl:" + B64(magnet) + ",httpurl:,sources:,private:,crypt:"},
        {Request(8, torrent), kStreamBase + "bturl:" + B64(published)},
        {Request(9, magnet), kStreamBase + "bturl:" + B64(magnet)},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PlayCalls(row.request), Opened(row.opened.toStdString()))
            << row.request.value("url").toString().toStdString();

    SetAppValue("httpsurl", QStringLiteral("http://relay.example/r"));
    EXPECT_EQ(PlayCalls(Request(2, QStringLiteral("https://h.example/v.mp4"))),
              Opened("http://relay.example/r?" + B64("https://h.example/v.mp4").toStdString()));
    // A type without a road opens nothing and still sets the engine up.
    Calls nothing = Opened("");
    nothing.erase(nothing.begin() + 1);
    EXPECT_EQ(PlayCalls(Request(4, QStringLiteral("/x"))), nothing);

    // Each play was recorded under its request's address, after the stop of the one before.
    QCoreApplication::processEvents();
    ASSERT_GE(records_.calls.size(), 4);
    EXPECT_EQ(records_.calls.mid(0, 2),
              (QStringList{"StopRecord", "StartRecord 6 " + local + " 1500 t"}));
    EXPECT_TRUE(records_.calls.contains("StartRecord 8 " + torrent + " 1500 t"));
}

TEST_F(PlayerViewPlayTest, AStopOrTheNextPlayLeavesNoTimeOfThePlayBefore) {
    auto* time = bar_.findChild<QLabel*>("titleLabel");
    ASSERT_NE(time, nullptr);
    for (const std::function<void()>& end :
         {std::function<void()>([&] { view_->Stop(true); }),
          std::function<void()>([&] { view_->Play(Request(2, "http://127.0.0.1:9/b.mp4")); })}) {
        bar_.SetTimeText("0:00:42\r\n0:01:00");
        end();
        EXPECT_TRUE(time->text().isEmpty()) << time->text().toStdString();
    }
}

// A page video resolved by the web-service stand-in, which checks the token itself.
class PlayerViewResolveTest : public PlayerViewPlayTest {
protected:
    void SetUp() override {
        const auto seg = [](const std::string& name, int seconds) {
            return "{\"furl\":\"${base}media/" + name +
                   "\",\"seconds\":" + std::to_string(seconds) + "}";
        };
        testsupport::WriteFile(
            site_.file("resolve/one.json"),
            "{\"error\":\"\",\"files\":[{\"seg\":[" + seg("one.mp4", 9) + "]}]}");
        testsupport::WriteFile(site_.file("resolve/three.json"),
                               "{\"error\":\"\",\"files\":[{\"seg\":[" + seg("p1.mp4", 5) + "," +
                                   seg("p2.mp4", 6) + "]},{\"seg\":[" + seg("p3.mp4", 7) + "]}]}");
        testsupport::WriteFile(site_.file("resolve/none.json"), "{\"error\":\"\",\"files\":[]}");
        service_ = std::make_unique<webservice_testing::WebServiceProcess>(
            std::vector<std::string>{"--root", site_.path(), "--delay",
                                     PageResolveToken(Page("slow")).toStdString() + "=3000"});
        ASSERT_TRUE(service_->Started());
        testsupport::WriteFile(dir_.file("cfg/config.ini"),
                               "[param]\nbaseurl=" + service_->BaseUrl() + "\n");
        PlayerViewPlayTest::SetUp();
    }
    static QString Page(const char* name) {
        return QStringLiteral("http://v.example.com/watch/") + QLatin1String(name);
    }
    std::string Media(const std::string& name) const { return service_->Url("media/" + name); }
    // A page's play: the engine is set up at once and opens the answer when it comes.
    static Calls Resolved(const std::string& target) {
        Calls calls = Opened(target);
        std::rotate(calls.begin() + 1, calls.begin() + 2, calls.end());
        return calls;
    }
    // The file the engine was last asked to open.
    QString LastOpened() {
        QString opened;
        for (const std::string& call : engine_->Calls())
            if (call.rfind("Open ", 0) == 0) opened = QString::fromStdString(call.substr(5));
        return opened;
    }

    testsupport::TempDir site_;
    std::unique_ptr<webservice_testing::WebServiceProcess> service_;
};

TEST_F(PlayerViewResolveTest, APageResolvesToItsSegments) {
    PlayCalls(Request(1, Page("one")));
    ASSERT_TRUE(OpensEventually(Media("one.mp4")));
    EXPECT_EQ(engine_->Calls(), Resolved(Media("one.mp4")));
    EXPECT_EQ(service_->Requests().back(),
              "GET /Orvane/?tk=037d77fdb172d73a2f732501281b153f"
              "&url=aHR0cDovL3YuZXhhbXBsZS5jb20vd2F0Y2gvb25l&t=json&hd=102");

    PlayCalls(Request(1, Page("none")));
    EXPECT_TRUE(OpensEventually("#"));

    PlayCalls(Request(1, Page("three")));
    ASSERT_TRUE(PumpUntil([&] { return LastOpened().startsWith(QDir::tempPath() + "/ov"); }));
    const QString list = LastOpened();
    EXPECT_EQ(QString::fromStdString(testsupport::ReadFile(list.toStdString())),
              QString::fromStdString("#EXTM3U\n#EXTINF:5,\n" + Media("p1.mp4") + "\n#EXTINF:6,\n" +
                                     Media("p2.mp4") + "\n#EXTINF:7,\n" + Media("p3.mp4") +
                                     "\n#EXT-X-ENDLIST\n"));
    // The playlist lives until the next play, a stop, or the end of the view.
    PlayCalls(Request(6, QStringLiteral("/media/x.mp4")));
    EXPECT_FALSE(QFileInfo::exists(list));
    PlayCalls(Request(1, Page("three")));
    ASSERT_TRUE(PumpUntil([&] { return LastOpened().startsWith(QDir::tempPath() + "/ov"); }));
    view_->Stop(false);
    EXPECT_FALSE(QFileInfo::exists(LastOpened()));
    PlayCalls(Request(1, Page("three")));
    ASSERT_TRUE(PumpUntil([&] { return LastOpened().startsWith(QDir::tempPath() + "/ov"); }));
    view_.reset();
    EXPECT_FALSE(QFileInfo::exists(LastOpened()));
}

TEST_F(PlayerViewResolveTest, AnAddressTooShortToResolveClosesTheView) {
    const int before = static_cast<int>(service_->Requests().size());
    EXPECT_EQ(PlayCalls(Request(1, QStringLiteral("http://ab"))), (Calls{"Close", "Close"}));
    EXPECT_EQ(main_.calls, QStringList{"ShowMain"});
    QCoreApplication::processEvents();
    EXPECT_EQ(static_cast<int>(service_->Requests().size()), before);
}

TEST_F(PlayerViewResolveTest, AnAnswerForAnEarlierPlayIsDropped) {
    const std::string slowToken = PageResolveToken(Page("slow")).toStdString();
    PlayCalls(Request(1, Page("slow")));
    ASSERT_TRUE(service_->WaitForRequest(slowToken));
    // The newer play replaces the one waiting for its answer; that answer must not open
    // anything, least of all the failure that would end the newer play.
    PlayCalls(Request(1, Page("one")));
    ASSERT_TRUE(OpensEventually(Media("one.mp4")));
    EXPECT_EQ(engine_->Calls(), Resolved(Media("one.mp4")));
    EXPECT_TRUE(main_.calls.isEmpty());
}

}  // namespace

#include "player_view_play_test.moc"
