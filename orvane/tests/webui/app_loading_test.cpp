// The loading page over the home-page view and the web-service stand-in: the 1000 ms it stays
// at least, "Try again", the web configuration it stores, and the update watcher it starts.
#include "app_loading.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "app_paths.h"
#include "app_values.h"
#include "browser_page.h"
#include "main_widget_stand_in.h"
#include "platform/ini_file.h"
#include "progress_indicator.h"
#include "scoped_app_directory.h"
#include "testsupport/temp_dir.h"
#include "testsupport/user_folders.h"
#include "web_config.h"
#include "webservice_process.h"

namespace {

using webservice_testing::WebServiceProcess;

const char kLoadingText[] = "Orvane Demo is initializing, please wait...";
const char kFailedText[] = "Video list load failed, please try again...";

bool WaitFor(const std::function<bool()>& condition, int ms = 10000) {
    return QTest::qWaitFor(condition, ms);
}

class AppLoadingTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(temp.file("cfg")); }
    // Starts the service and makes the home page its index.html.
    void StartService(const std::vector<std::string>& arguments = {}) {
        service = std::make_unique<WebServiceProcess>(arguments);
        ASSERT_TRUE(service->Started());
        SetAppValue("weburl", QString::fromStdString(service->Url("index.html")));
    }
    // The home-page view, its load results going to the loading page.
    void MakeHomePage() {
        home = std::make_unique<BrowserPage>();
        QObject::connect(home.get(), &QWebView::loadFinished, &loading, &AppLoading::WebLoaded);
    }
    template <typename T>
    T* Child(const char* name) {
        return loading.findChild<T*>(name);
    }
    QString Status() { return Child<QLabel>("labelInfo")->text(); }
    bool Retrying() { return Child<QPushButton>("buttonRetry")->isVisibleTo(&loading); }
    bool Spinning() {
        auto* indicator = Child<QProgressIndicator>("widgetLoading");
        return indicator->isAnimated() && indicator->isVisibleTo(&loading);
    }
    // Delivers what is posted; what is due later stays due.
    static void RunPosted() { QCoreApplication::sendPostedEvents(); }

    testsupport::TempDir temp;
    ScopedAppDirectory app{temp.file("bin")};
    testsupport::ScopedUserFolders user;
    MainWidgetStandIn main;
    AppLoading loading;
    std::unique_ptr<WebServiceProcess> service;
    std::unique_ptr<BrowserPage> home;
};

TEST_F(AppLoadingTest, ALoadSwitchesNoEarlierThan1000MsAfterShowingAndTheHomePageOnlyOnce) {
    StartService();
    main.clock.start();
    loading.show();
    EXPECT_EQ(Status(), kLoadingText);
    loading.WebLoaded(true);  // early: waits out the rest of the 1000 ms
    RunPosted();
    EXPECT_EQ(main.switches, 0);
    ASSERT_TRUE(WaitFor([&] { return main.switches == 1; }));
    EXPECT_GE(main.switchedAfterMs, 1000);

    // Late: switches at once, and the page's later loads are left alone.
    MakeHomePage();
    QSignalSpy loaded(home.get(), &QWebView::loadFinished);
    ASSERT_TRUE(loaded.wait(10000));
    RunPosted();
    EXPECT_EQ(main.switches, 2);
    home->Home();
    ASSERT_TRUE(loaded.wait(10000));
    RunPosted();
    EXPECT_EQ(main.switches, 2);
}

TEST_F(AppLoadingTest, AFailedHomePageOffersTryAgainWhichLoadsItAgain) {
    {
        WebServiceProcess gone;
        SetAppValue("weburl", QString::fromStdString(gone.Url("index.html")));
    }
    loading.show();
    EXPECT_TRUE(Spinning());
    MakeHomePage();
    ASSERT_TRUE(WaitFor([&] { return Retrying(); }));
    EXPECT_EQ(Status(), kFailedText);
    EXPECT_FALSE(Spinning());

    StartService();
    QTest::mouseClick(Child<QPushButton>("buttonRetry"), Qt::LeftButton);
    EXPECT_FALSE(Retrying());
    EXPECT_TRUE(Spinning());
    EXPECT_EQ(Status(), kLoadingText);
    EXPECT_TRUE(WaitFor([&] { return main.switches == 1; }));
    EXPECT_EQ(service->CountRequests("GET /Orvane/index.html"), 1);

    QTest::mouseClick(Child<QPushButton>("buttonClose"), Qt::LeftButton);
    EXPECT_EQ(main.closes, 0);  // posted, not done inside the click
    RunPosted();
    EXPECT_EQ(main.closes, 1);
}

// The two stored files with these values, and keys of other kinds beside them.
std::string WebConfigFile(const std::string& home, const std::string& update,
                          const std::string& config, const std::string& main) {
    return "[url]\nhomepage=" + home + "\nupdate=" + update + "\nconfig=" + config +
           "\nother=kept\n[app]\nmain=" + main + "\nversion=3\n";
}
std::string UpdateFile(const std::string& checkUrl, const std::string& process) {
    return "[info]\nversion=7\n[update]\ncheckUrl=" + checkUrl + "\nprocess=" + process + "\n";
}

TEST_F(AppLoadingTest, TheWebConfigurationReplacesOnlyTheValuesItBringsAndAnErrorNothing) {
    // A configuration that brings the update address alone (homepage and main empty).
    const std::string update = "http://example.test/update.ini";
    testsupport::WriteFile(temp.file("site/web_config.ini"),
                           "[url]\nhomepage=\nupdate=" + update + "\n[app]\nmain=\n");
    const std::string before = WebConfigFile("old-home", "old-update", "old-config", "old-main");
    const std::string updateBefore = UpdateFile("old-check", "old-process");
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        int timeoutMs;
        std::function<std::string()> webConfig, updateIni;  // afterwards
    } cases[] = {
        {"all four",
         {},
         10000,
         [&] {
             return WebConfigFile(service->Url("index.html"), service->Url("update.ini"),
                                  service->Url("web_config.ini"), "orvane");
         },
         [&] { return UpdateFile(service->Url("update.ini"), "orvane"); }},
        {"update alone",
         {"--root", temp.file("site")},
         10000,
         [&] { return WebConfigFile("old-home", update, "old-config", "old-main"); },
         [&] { return UpdateFile(update, "old-process"); }},
        {"error reply",
         {"--status", "web_config=500"},
         10000,
         [&] { return before; },
         [&] { return updateBefore; }},
        {"time-out",
         {"--delay", "web_config=20000"},
         300,
         [&] { return before; },
         [&] { return updateBefore; }},
    };
    // The user's copies change; the install folder's stay as shipped.
    const std::string shipped = "[url]\nhomepage=shipped\n";
    testsupport::WriteFile(temp.file("cfg/web_config.ini"), shipped);
    for (const auto& c : cases) {
        testsupport::WriteFile(user.Config("web_config.ini"), before);
        testsupport::WriteFile(user.Config("update.ini"), updateBefore);
        StartService(c.arguments);
        MakeHomePage();
        QSignalSpy homeLoaded(home.get(), &QWebView::loadFinished);
        ASSERT_TRUE(homeLoaded.wait(10000)) << c.name;
        QNetworkAccessManager network;
        QNetworkReply* reply = network.get(
            QNetworkRequest(QUrl(QString::fromStdString(service->Url("web_config.ini")))));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        loading.WaitForWebConfig(reply, c.timeoutMs);
        ASSERT_TRUE(finished.wait(10000)) << c.name;

        EXPECT_EQ(testsupport::ReadFile(user.Config("web_config.ini")), c.webConfig()) << c.name;
        EXPECT_EQ(testsupport::ReadFile(user.Config("update.ini")), c.updateIni()) << c.name;
        EXPECT_FALSE(std::filesystem::exists(user.Config("web_config.tmp"))) << c.name;
        EXPECT_EQ(testsupport::ReadFile(temp.file("cfg/web_config.ini")), shipped) << c.name;
        EXPECT_FALSE(std::filesystem::exists(temp.file("cfg/update.ini"))) << c.name;
        // Whatever came, the home page is loaded again.
        ASSERT_TRUE(WaitFor([&] { return homeLoaded.count() == 2; })) << c.name;
        EXPECT_EQ(service->CountRequests("GET /Orvane/index.html"), 2) << c.name;
    }
}

TEST_F(AppLoadingTest, TheHomePageAddressIsTheStoredOneOrTheFileBesideTheLibrary) {
    const QUrl beside(HomePageUrl());
    EXPECT_TRUE(beside.isLocalFile()) << beside.toString().toStdString();
    EXPECT_EQ(beside.host(), "");
    EXPECT_EQ(beside.toLocalFile().toStdString(), temp.file("bin/index.html"));
    // A packager's address, until the user's own configuration brings another.
    platform::IniWriteString(temp.file("cfg/web_config.ini"), "url", "homepage",
                             "http://127.0.0.1:1/home.html");
    EXPECT_EQ(HomePageUrl(), "http://127.0.0.1:1/home.html");
    platform::IniWriteString(user.Config("web_config.ini"), "url", "homepage",
                             "http://127.0.0.1:2/mine.html");
    EXPECT_EQ(HomePageUrl(), "http://127.0.0.1:2/mine.html");
}

// The library is loaded once per process; this is the test that loads it.
TEST_F(AppLoadingTest, TheRealWatcherStartedAfterTheConfigurationAsksOnceWhenANoticeAppears) {
    std::filesystem::create_directories(temp.file("bin"));
    std::filesystem::copy_file(PELLMOND_LIBRARY, temp.file("bin/libPellmond.so"));
    StartService();
    qRegisterMetaType<QNetworkReply*>();
    QNetworkAccessManager network;
    QObject::connect(&network, &QNetworkAccessManager::finished, &loading,
                     &AppLoading::ReplyFinished);
    QSignalSpy finished(&network, &QNetworkAccessManager::finished);
    network.get(QNetworkRequest(QUrl(QString::fromStdString(service->Url("web_config.ini")))));
    ASSERT_TRUE(finished.wait(10000));
    main.answer = true;
    EXPECT_FALSE(WaitFor([&] { return main.asked > 0; }, 500));  // no notice yet

    platform::IniWriteString(temp.file("cfg/server.ini"), "update", "INFO", "Version 2 is out");
    ASSERT_TRUE(WaitFor([&] { return main.asked == 1; }));
    EXPECT_EQ(main.askedOn, qApp->thread());
    EXPECT_FALSE(WaitFor([&] { return main.asked > 1; }, 1500));
}

}  // namespace
