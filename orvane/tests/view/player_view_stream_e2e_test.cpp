// The player view with the real engine and the real BT server ("orvane -startbt" with the
// streaming service): a torrent file the player publishes and a magnet link each play as a
// stream of the service from a loopback seeder, and the view shows the task's progress from
// its real record (the buffered percentage while the video opens, the speed, the buffered
// parts, the end of the download). A web page that names the same stream server meanwhile is
// refused.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QWebFrame>
#include <QWebView>
#include <memory>

#include "app_values.h"
#include "bt_server_queries.h"
#include "bt_server_test_support.h"
#include "buffer_slider.h"
#include "engine_library.h"
#include "init_environment.h"
#include "loopback_seeder.h"
#include "loopback_tracker.h"
#include "main_widget_calls.h"
#include "play_urls.h"
#include "player_loading.h"
#include "player_view_event_pump.h"
#include "player_window_stand_in.h"
#include "scoped_app_directory.h"
#include "testsupport/media.h"
#include "webservice_process.h"

namespace {

// What the player showed of the stream task while it played.
struct Shown {
    int percentBeforeOpen = 0;        // the loading overlay's percentage while the video opened
    int fastestSpeed = 0;             // kb/s of the speed label
    bool speedGoneWhileOpen = false;  // the download ended while the video was open
    BufferRanges ranges;
};

class PlayerViewStreamE2ETest : public PipeTestEnvironment {
protected:
    void SetUp() override {
        bin_ = MakeInstallFolder("bin", ORVANE_REAL_FERRULE, {ORVANE_KVBT_LIBRARY});
        testsupport::WriteFile(bin_ + "/ini/path.ini",
                               "[AppSetting]\nsavePath=" + temp.file("cache") + "/\n");
        testsupport::WriteFile(temp.file("cache/.keep"), "");
        testsupport::WriteFile(temp.file("work/.keep"), "");
        testsupport::WriteFile(temp.file("seed/.keep"), "");
        app_ = std::make_unique<ScopedAppDirectory>(bin_);
        // The player's start-up: its file server, which publishes torrent files under "btroot".
        InitEnvironment();
    }
    void TearDown() override {
        window_.reset();
        SetMainWidgetStandInForTesting(nullptr);
        app_.reset();
    }

    void MakeWindow() {
        SetEngineFolder(QStringLiteral(ORVANE_ENGINE_DIR));
        window_ = std::make_unique<PlayerWindowStandIn>();
        SetEngineFolder(QString());
        SetMainWidgetStandInForTesting(window_.get());
        window_->resize(480, 360);
        window_->show();
    }

    // A seeded torrent of a video made for the test, announced at `tracker`.
    std::string SeededTorrent(const std::string& name, kvbt_testing::LoopbackSeeder& seeder,
                              const kvbt_testing::LoopbackTracker& tracker) {
        const std::string video = temp.file("seed/" + name + ".mp4");
        EXPECT_TRUE(testsupport::MakeTestVideo(video, 6.0, 160, 120));
        const std::string torrent = temp.file("seed/" + name + ".torrent");
        EXPECT_TRUE(kvbt_testing::MakeTorrent(video, 16384, torrent, false, tracker.AnnounceUrl()));
        EXPECT_TRUE(seeder.Seed(torrent, temp.file("seed")));
        return torrent;
    }

    // Plays `request` until the picture plays, pauses it, and follows the task's progress until
    // the download is complete.
    Shown PlayAndWatch(const QVariantMap& request) {
        CountingView* view = window_->view;
        auto* slider = window_->bar->findChild<BufferSlider*>("progressSlider");
        auto* speed = window_->bar->findChild<QLabel*>("labelSpeed");
        auto* percent = view->findChild<PlayerLoading*>()->findChild<QProgressBar*>();
        const int pictures = view->pictureSizes;
        Shown shown;
        const QRegularExpression speedText(QStringLiteral("^(\\d+)kb/s$"));
        // Every percentage the overlay is given, as it is given: the bar's progress stays
        // disabled until the video is open. (A look now and then can miss the one second
        // between the first status and the opening on a loaded machine.)
        QObject percentWatch;
        QObject::connect(percent, &QProgressBar::valueChanged, &percentWatch, [&](int value) {
            if (!slider->isEnabled())
                shown.percentBeforeOpen = std::max(shown.percentBeforeOpen, value);
        });
        const auto watch = [&] {
            const auto match = speedText.match(speed->text());
            if (speed->isVisible() && match.hasMatch())
                shown.fastestSpeed = std::max(shown.fastestSpeed, match.captured(1).toInt());
        };

        view->Play(request);
        // The picture is decoded and plays on.
        EXPECT_TRUE(PumpUntil(
            [&] {
                watch();
                return view->pictureSizes > pictures && view->Engine().GetState() == 5 &&
                       view->Engine().GetPosition() >= 1000;
            },
            std::chrono::seconds(90)));
        // Paused, the video stays open while the rest of the torrent arrives. The ranges are
        // those of a status that came: a second whose query got no record shows none.
        view->Engine().Pause();
        shown.speedGoneWhileOpen = PumpUntil(
            [&] {
                watch();
                return view->Engine().GetState() == 3 && shown.fastestSpeed > 0 &&
                       !speed->isVisible() && !slider->Ranges().isEmpty();
            },
            std::chrono::seconds(90));
        shown.ranges = slider->Ranges();
        return shown;
    }

    std::string bin_;
    std::unique_ptr<ScopedAppDirectory> app_;
    testsupport::ScopedEnv options_{"ORVANE_APLAYER_MPV_OPTIONS", "vo=null ao=null"};
    std::unique_ptr<PlayerWindowStandIn> window_;
};

TEST_F(PlayerViewStreamE2ETest, ATorrentFileAndAMagnetPlayAsStreamsWithTheirTaskProgress) {
    // Slow enough that the video opens only pieces after the first one arrived.
    kvbt_testing::LoopbackSeeder seeder(12 * 1024, 0, kvbt_testing::SeederTransport::TcpAndUtp);
    kvbt_testing::LoopbackTracker tracker(seeder.Port());
    const std::string torrent = SeededTorrent("first", seeder, tracker);
    const std::string magnet = kvbt_testing::MagnetOf(SeededTorrent("second", seeder, tracker));
    ASSERT_FALSE(magnet.empty());

    BtServerProcess server(bin_, temp.file("work"));
    ASSERT_NE(WaitForBtServer(), "<no reply>");
    QueryBtUrl();
    ASSERT_TRUE(AppValue("bturl").toString().startsWith("http://127.0.0.1:"));
    MakeWindow();

    const struct {
        int type;
        std::string url;
    } plays[] = {{8, torrent}, {9, magnet}};
    for (const auto& play : plays) {
        SCOPED_TRACE(play.url);
        const Shown shown =
            PlayAndWatch({{"type", play.type}, {"url", QString::fromStdString(play.url)}});
        EXPECT_GE(shown.percentBeforeOpen, 3);
        EXPECT_LE(shown.percentBeforeOpen, 97);
        // The seeder sends 12 KiB a second.
        EXPECT_GT(shown.fastestSpeed, 0);
        EXPECT_LT(shown.fastestSpeed, 100);
        EXPECT_TRUE(shown.speedGoneWhileOpen);
        ASSERT_FALSE(shown.ranges.isEmpty());
        EXPECT_LT(shown.ranges.first().first, 0.2f);
        EXPECT_GT(shown.ranges.last().second, 0.8f);
    }
}

// A page elsewhere names the stream server in <img> tags, as a browser on this machine would
// load them: one for the very task the player streams (at another position, which would re-aim
// it), one for a torrent of the page's own (which would be fetched, and its data written to the
// save folder). One page sends its address as Referer; the other keeps it back with a
// "no-referrer" policy, so that only its browser's User-Agent tells it from the engine. All of
// them are refused; the player's stream plays on, and its torrent still comes from the player's
// own file server.
TEST_F(PlayerViewStreamE2ETest, APagesStreamRequestsAreRefusedWhileThePlayersStreamPlays) {
    kvbt_testing::LoopbackSeeder seeder(64 * 1024, 0, kvbt_testing::SeederTransport::TcpAndUtp);
    kvbt_testing::LoopbackTracker tracker(seeder.Port());
    const std::string torrent = SeededTorrent("own", seeder, tracker);
    const struct {
        std::string name, head;
    } pages[] = {{"plain", ""}, {"hidden", "<meta name='referrer' content='no-referrer'>"}};
    for (const auto& page : pages)
        testsupport::WriteFile(temp.file("site/" + page.name + ".torrent"), "d8:announce4:nonee");
    webservice_testing::WebServiceProcess service({"--root", temp.file("site")});
    ASSERT_TRUE(service.Started());

    BtServerProcess server(bin_, temp.file("work"));
    ASSERT_NE(WaitForBtServer(), "<no reply>");
    QueryBtUrl();
    MakeWindow();
    CountingView* view = window_->view;
    view->Play({{"type", 8}, {"url", QString::fromStdString(torrent)}});
    ASSERT_TRUE(PumpUntil(
        [&] { return view->Engine().GetState() == 5 && view->Engine().GetPosition() >= 500; },
        std::chrono::seconds(90)));

    const QString base = AppValue("bturl").toString();
    const QString own = SourceStreamUrl(
        base, PublishedFileUrl(AppValue("btroot").toString(), QString::fromStdString(torrent)));
    const int position = view->Engine().GetPosition();
    QWebView browser;
    for (const auto& page : pages) {
        SCOPED_TRACE(page.name);
        const QString foreign =
            SourceStreamUrl(base, QString::fromStdString(service.Url(page.name + ".torrent")));
        const QString html =
            QString::fromStdString("<html><head>" + page.head + "</head><body>") + "<img src='" +
            own + "?start=4096' onerror='done()' onload='done()'>" + "<img src='" + foreign +
            "?start=0' onerror='done()' onload='done()'>" +
            "<script>var answered = 0; function done() { ++answered; }</script></body></html>";
        testsupport::WriteFile(temp.file("site/" + page.name + ".html"), html.toStdString());
        const QUrl address(QString::fromStdString(service.Url(page.name + ".html")));
        browser.load(address);
        // Both images have had their answer, on this page, not still on the one before.
        QWebFrame* frame = browser.page()->mainFrame();
        ASSERT_TRUE(PumpUntil(
            [&] {
                return frame->url() == address &&
                       frame->evaluateJavaScript("answered").toInt() == 2;
            },
            std::chrono::seconds(30)));
    }
    EXPECT_TRUE(PumpUntil(
        [&] {
            return view->Engine().GetState() == 5 &&
                   view->Engine().GetPosition() >= position + 1500;
        },
        std::chrono::seconds(60)));
    for (const auto& page : pages)
        EXPECT_EQ(service.CountRequests(page.name + ".torrent"), 0) << page.name;
}

}  // namespace
