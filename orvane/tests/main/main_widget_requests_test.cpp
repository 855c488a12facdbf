// The main widget's requests against the web service stand-in: ov:// addresses resolved with
// their advertisement page, the time-out, a newer address winning, advertisement texts, the
// promotion ping and the update notice.
#include <QApplication>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QTimer>

#include "app_values.h"
#include "js_ext_obj.h"
#include "key_value_store.h"
#include "main_widget_fixture.h"
#include "web_service_answers.h"
#include "widget_player_view.h"

namespace {

using namespace main_widget_testing;

// Debug output of the widget, for the failures it reports nowhere else.
QStringList& Messages() {
    static QStringList messages;
    return messages;
}

class RequestsTest : public MainWidgetTest {
protected:
    void SetUp() override {
        MainWidgetTest::SetUp();
        Messages().clear();
        previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
                Messages() << text;
                std::fprintf(stderr, "%s\n", qPrintable(text));
            });
    }
    void TearDown() override {
        qInstallMessageHandler(previous);
        MainWidgetTest::TearDown();
    }
    bool Said(const QString& part) {
        return std::any_of(Messages().begin(), Messages().end(),
                           [&](const QString& m) { return m.contains(part); });
    }
    // A getvideo.js of the test's own whose "url" is "echo:" and the seed it was asked for,
    // with the advertisement page set by "--set ad=..." (none without).
    std::string EchoingSite() {
        testsupport::WriteFile(temp.file("site/getvideo.js"),
                               "{\"title\":\"t\",\"url\":\"echo:${seed}\",\"ad\":\"${ad}\"}");
        return temp.path() + "/site";
    }
    // Counts the resolve replies that have ended, answered or aborted.
    void CountResolveReplies() {
        auto* manager =
            main->findChild<QNetworkAccessManager*>(QString(), Qt::FindDirectChildrenOnly);
        ASSERT_NE(manager, nullptr);
        QObject::connect(manager, &QNetworkAccessManager::finished, main,
                         [this](QNetworkReply* reply) {
                             if (reply->property("type") == "getvideo") ++resolveReplies;
                         });
    }
    // Waits with the event loop running, so the widget's requests go out meanwhile.
    bool Requested(const std::string& request, int times = 1) {
        return WaitFor([&] { return service->CountRequests(request) >= times; });
    }
    QWidget* View() { return Child<QStackedWidget>("stackedWidget")->widget(2); }

    QtMessageHandler previous = nullptr;
    int resolveReplies = 0;
};

TEST_F(RequestsTest, OvAddressResolvesShowsItsAdvertisementAndPlaysWhenTheAdIsDone) {
    StartService({"--set", "title=%E8%A7%86%E9%A2%91%201", "--set", "url=${base}media/a.torrent",
                  "--set", "ad=${base}ad.html?ms=200", "--set", "servers=127.0.0.1:6881", "--set",
                  "siyou=true", "--set", "httpurl=${base}media/a.mp4"});
    MakeControl();
    QList<QWidget*> pages;
    auto* stack = Child<QStackedWidget>("stackedWidget");
    QObject watch;
    QObject::connect(stack, &QStackedWidget::currentChanged, &watch,
                     [&](int index) { pages << stack->widget(index); });
    // The web-page road hands the address to the control; the menus and pages to PlayVideo
    // (trimmed, the prefix in any case).
    struct Road {
        std::function<void()> start;
        QString address;
    };
    for (const Road& road : {Road{[&] { control->setOvUrl("ov://abc"); }, "ov://abc"},
                             Road{[&] {
                                      main->PlayVideo({{"type", 2}, {"url", "  OV://Abc+1  "}});
                                  },
                                  "OV://Abc+1"}}) {
        pages.clear();
        road.start();
        ASSERT_TRUE(WaitFor([&] { return CurrentPage() == Child<QWidget>("adPage"); }));
        EXPECT_TRUE(Requested("GET /Orvane/ad.html?ms=200"));
        // Playback waits for the page's AdvFinished.
        ASSERT_TRUE(WaitFor([&] { return main->LastVideoInfo().value("type").toInt() == 3; }));
        const QVariantMap played = main->LastVideoInfo();
        EXPECT_EQ(played.value("url"), QString::fromStdString(service->Url("media/a.torrent")));
        EXPECT_EQ(played.value("title"), "视频 1");
        EXPECT_EQ(played.value("ovurl"), road.address);
        EXPECT_EQ(played.value("sources"), "127.0.0.1:6881");
        EXPECT_EQ(played.value("httpurl"), QString::fromStdString(service->Url("media/a.mp4")));
        EXPECT_TRUE(played.value("private").toBool());
        EXPECT_TRUE(played.value("crypt").toBool());
        ASSERT_GE(pages.size(), 2);
        EXPECT_EQ(pages.first(), Child<QWidget>("adPage"));
        EXPECT_TRUE(pages.contains(View()));
    }
    EXPECT_EQ(service->CountRequests("getvideo.js?seed=ov://abc"), 1);
    EXPECT_EQ(service->CountRequests("getvideo.js?seed=OV://Abc%2B1"), 1);
}

TEST_F(RequestsTest, DestroyedWhileItsAdvertisementPageStillLoadsTheControlEndsCleanly) {
    // The page never comes while the control lives: its load is stopped by the control's end.
    StartService({"--set", "url=${base}media/a.torrent", "--set", "ad=${base}ad.html?ms=200",
                  "--delay", "ad.html=60000"});
    MakeControl();
    control->setOvUrl("ov://abc");
    ASSERT_TRUE(WaitFor([&] { return CurrentPage() == Child<QWidget>("adPage"); }));
    ASSERT_TRUE(Requested("GET /Orvane/ad.html"));
    QPointer<orvane> widget(main);
    control.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(widget.isNull());
}

TEST_F(RequestsTest, SeedTravelsWholeAndOnlyTheNewestAddressPlays) {
    StartService({"--root", EchoingSite(), "--delay", "seed=ov://slow=1500"});
    MakeControl();
    const QString odd = "ov://a b&c=d#e+f%g";
    main->setOvUrl("ov://slow");
    main->PlayVideo({{"url", odd}});
    ASSERT_TRUE(WaitFor([&] { return main->LastVideoInfo().value("type").toInt() == 3; }));
    EXPECT_EQ(main->LastVideoInfo().value("url"), "echo:" + odd);
    EXPECT_EQ(main->LastVideoInfo().value("ovurl"), odd);
    EXPECT_EQ(CurrentPage(), View());
    // A negative can only be waited out: the abandoned answer would be due by now.
    QTest::qWait(2000);
    EXPECT_EQ(main->LastVideoInfo().value("url"), "echo:" + odd);
}

TEST_F(RequestsTest, ResolveThatNeverAnswersIsGivenUpAndTheNextOnePlays) {
    // A short wait instead of the shipped 10 s keeps the test short.
    SetResolveTimeoutForTesting(300);
    StartService({"--root", EchoingSite(), "--delay", "seed=ov://slow=60000"});
    MakeControl();
    main->PlayVideo({{"url", "ov://slow"}});
    ASSERT_TRUE(WaitFor([&] { return Said("getvideo failed"); }));
    EXPECT_EQ(CurrentPage(), Child<QWidget>("emptyPage"));
    EXPECT_NE(main->LastVideoInfo().value("type").toInt(), 3);
    main->ContinuePlay();  // nothing was resolved: the main page
    EXPECT_EQ(CurrentPage(), Child<QWidget>("emptyPage"));
    main->PlayVideo({{"url", "ov://fast"}});
    ASSERT_TRUE(WaitFor([&] { return main->LastVideoInfo().value("type").toInt() == 3; }));
    EXPECT_EQ(main->LastVideoInfo().value("url"), "echo:ov://fast");
}

TEST_F(RequestsTest, AnAnswerThatIsItselfAnOvAddressIsNotResolvedAgainAndThePlayFails) {
    StartService({"--set", "url=ov://again", "--set", "ad="});
    MakeControl();
    main->PlayVideo({{"url", "ov://first"}});
    ASSERT_TRUE(WaitFor([&] { return Said("answered another ov:// address"); }));
    // Whatever was still to come has come by the time the loop has run once more.
    QCoreApplication::processEvents();
    EXPECT_EQ(service->CountRequests("getvideo.js"), 1);
    EXPECT_EQ(CurrentPage(), Child<QWidget>("emptyPage"));
    EXPECT_EQ(main->LastVideoInfo().value("url"), "ov://first");
}

TEST_F(RequestsTest, AnOvAddressStoredAsTheStartUpVideoIsResolvedOnce) {
    StartService({"--root", EchoingSite()});
    SetAppValue("videoPath", "ov://start");
    MakeControl();
    ASSERT_TRUE(WaitFor([&] { return main->LastVideoInfo().value("type").toInt() == 3; }));
    EXPECT_EQ(main->LastVideoInfo().value("url"), "echo:ov://start");
    EXPECT_EQ(service->CountRequests("getvideo.js"), 1);
}

TEST_F(RequestsTest, APlayRequestedAfterAnOvAddressStaysWhenTheAddressAnswersOrItsAdEndsLater) {
    // Every answer names an advertisement page, which would take the picture's place; the
    // page itself never finishes: the test tells the bridge when it did.
    StartService({"--root", EchoingSite(), "--set", "ad=${base}ad.html?ms=600000", "--delay",
                  "seed=ov://slow=1500"});
    MakeControl();
    CountResolveReplies();
    const QString direct = "http://127.0.0.1:9/direct.mp4";
    const std::string file = temp.file("handed.mkv");
    testsupport::WriteFile(file, "x");
    struct Road {
        const char* name;
        std::function<void()> play;
        QString url;
    };
    // The address comes from the host's page, so the last request stays the direct one.
    const Road roads[] = {
        {"PlayVideo",
         [&] {
             main->PlayVideo({{"type", 2}, {"url", direct + "?2"}});
         },
         direct + "?2"},
        {"hand-off", [&] { ASSERT_TRUE(SendHandOff(file)); }, QString::fromStdString(file)},
        {"PlayRecent", [&] { main->PlayRecent(); }, direct},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        const auto played = [&] {
            EXPECT_EQ(main->LastVideoInfo().value("url"), road.url);
            EXPECT_EQ(CurrentPage(), View());
        };
        main->PlayVideo({{"type", 2}, {"url", direct}});

        // The answer comes after the play.
        const int before = resolveReplies;
        control->setOvUrl("ov://slow");
        road.play();
        ASSERT_TRUE(WaitFor([&] { return resolveReplies > before; }));
        QCoreApplication::processEvents();
        played();

        // The advertisement page ends after the play.
        main->PlayVideo({{"type", 2}, {"url", direct}});
        control->setOvUrl("ov://quick");
        ASSERT_TRUE(WaitFor([&] { return CurrentPage() == Child<QWidget>("adPage"); }));
        road.play();
        JsExtObjInstance()->AdvFinished();
        QCoreApplication::sendPostedEvents();
        played();
    }
}

TEST_F(RequestsTest, AdvertisementTextsRotateAndAreKept) {
    testsupport::WriteFile(temp.file("site/adtext.js"),
                           "{\"adlist\":[{\"title\":\"first\",\"url\":\"http://a.invalid/\","
                           "\"time\":1},{\"title\":\"second\",\"url\":\"http://b.invalid/\","
                           "\"time\":1}]}");
    StartService({"--root", temp.path() + "/site"});
    MakeControl();
    auto* label = Child<QPushButton>("adLabel");
    ASSERT_NE(label, nullptr);
    for (const char* title : {"first", "second", "first"})
        ASSERT_TRUE(WaitFor([&] { return label->text() == title; })) << title;
    const QVariantList stored = DbValue("adTextList").toList();
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored[1].toMap().value("url"), "http://b.invalid/");
    control.reset();

    // The service failing, the kept list goes on rotating.
    service = std::make_unique<webservice_testing::WebServiceProcess>(
        std::vector<std::string>{"--status", "adtext=500"});
    WriteConfig("[param]\nbaseurl=" + service->BaseUrl() + "\n");
    SetAppValue("adTextList", QVariantList());
    MakeControl();
    label = Child<QPushButton>("adLabel");
    ASSERT_TRUE(WaitFor([&] { return label->text() == "second"; }));
}

TEST(AdTextTest, ShowTimesAndAnswers) {
    for (auto [time, ms] :
         {std::pair{QVariant(3), 3000}, std::pair{QVariant(0), 10000},
          std::pair{QVariant(-5), 10000}, std::pair{QVariant(qint64(3000000000)), INT_MAX},
          std::pair{QVariant(2147484), INT_MAX}})
        EXPECT_EQ(AdTextShowMs(time), ms) << time.toLongLong();
    EXPECT_FALSE(ParseAdTextAnswer("{\"list\":[]}"));
    EXPECT_FALSE(ParseAdTextAnswer("not json"));
    const auto entries = ParseAdTextAnswer(R"({"adlist":[{"title":"a","url":"u","time":1e12}]})");
    ASSERT_TRUE(entries && entries->size() == 1);
    EXPECT_EQ(entries->at(0).value("time").toInt(), INT_MAX);
    EXPECT_FALSE(ParseResolveAnswer(R"({"title":"t","url":"u"})"));
    const auto video = ParseResolveAnswer(R"({"title":"a%20b","url":"u","ad":""})");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->title, "a b");
    EXPECT_TRUE(video->sources.isEmpty() && video->httpUrl.isEmpty() && !video->isPrivate);
    EXPECT_TRUE(IsRegistrationHost("REGSVR32.EXE") && IsRegistrationHost("Idc.exe") &&
                IsRegistrationHost("regsvr") && !IsRegistrationHost("orvane_proxy"));
}

TEST_F(RequestsTest, PromotionIsSentOncePerStoreWithTheConfiguredId) {
    extraConfig = "[promotion]\nid=7,8 x\n";
    StartService();
    MakeControl();
    ASSERT_TRUE(Requested("GET /Orvane/promotion.html?id=7%2C8%20x"));
    control.reset();
    MakeControl();
    ASSERT_TRUE(Requested("GET /Orvane/adtext.js", 2));
    EXPECT_EQ(service->CountRequests("promotion.html"), 1);
}

TEST_F(RequestsTest, UpdateNoticeAsksOrOnlyTells) {
    MakeControl();
    struct Case {
        const char* ini;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton press;
        QString text;
        bool answer;
    };
    for (const Case& c :
         {Case{"[update]\nINFO=New, now: 2.0\nSTATUS=1\n", QMessageBox::Ok, QMessageBox::Ok,
               "New, now: 2.0", true},
          Case{"[update]\nINFO=Later?\n", QMessageBox::Ok | QMessageBox::Cancel,
               QMessageBox::Cancel, "Later?", false},
          Case{"", QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok,
               "There is a new version of the client, click OK to immediately upgrade, click "
               "Cancel and then ask later.",
               true}}) {
        testsupport::WriteFile(temp.file("cfg/server.ini"), c.ini);
        QMessageBox::StandardButtons shown;
        QString text;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            shown = box->standardButtons();
            text = box->text();
            box->button(c.press)->click();
        });
        EXPECT_EQ(main->IsUpdate(), c.answer) << c.ini;
        EXPECT_EQ(shown, c.buttons) << c.ini;
        EXPECT_EQ(text, c.text);
    }
}

}  // namespace
