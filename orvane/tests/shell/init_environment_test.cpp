#include "init_environment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QUrl>
#include <QWebFrame>
#include <QWebSettings>

#include "app_paths.h"
#include "app_values.h"
#include "browser_page.h"
#include "http_test_client.h"
#include "testsupport/temp_dir.h"

namespace {

// The control start-up in the build tree's install folder: the server it starts answers
// at the URLs it publishes, with the pages copied beside the library.
TEST(InitEnvironmentTest, PublishesWorkingUrlsAndPreparesTheProcess) {
    for (int round = 0; round < 2; ++round) {  // a second control starts everything again
        ASSERT_TRUE(InitEnvironment());
        const QUrl web(AppValue("weburl").toString());
        ASSERT_EQ(web.host(), "127.0.0.1");
        EXPECT_GE(web.port(), 9001);
        EXPECT_LE(web.port(), 10000);
        EXPECT_EQ(web.path(), "/index.html");
        EXPECT_EQ(AppValue("btroot").toString(),
                  QString("http://127.0.0.1:%1/btroot/").arg(web.port()));

        const auto exchange = HttpExchange(web.port(), {Get("/index.html", true)});
        ASSERT_EQ(exchange.replies.size(), 1u);
        EXPECT_EQ(exchange.replies[0].status, 200);
        EXPECT_EQ(exchange.replies[0].header("content-type"), "text/html");
        EXPECT_EQ(exchange.replies[0].body,
                  testsupport::ReadFile(std::string(ORVANE_WEB_DIR) + "/index.html"));
    }
    EXPECT_EQ(qgetenv("QTWEBKIT_PLUGIN_PATH"), AppFilePath("plugins").toUtf8());
    EXPECT_FALSE(qApp->styleSheet().isEmpty());
    QWebSettings* settings = QWebSettings::globalSettings();
    EXPECT_TRUE(settings->testAttribute(QWebSettings::JavascriptCanOpenWindows));
    EXPECT_TRUE(settings->testAttribute(QWebSettings::LocalContentCanAccessRemoteUrls));
    EXPECT_TRUE(settings->testAttribute(QWebSettings::XSSAuditingEnabled));
}

// The home-page view shows the page of that server. It asks as a browser does (the server
// refuses a browser that names no page of its own), and so do the page's own later loads.
TEST(InitEnvironmentTest, TheHomePageViewShowsTheServersPage) {
    ASSERT_TRUE(InitEnvironment());
    BrowserPage home;
    for (int load = 0; load < 2; ++load) {  // the start-up's load, then a reload by the page
        QSignalSpy loaded(&home, &QWebView::loadFinished);
        if (load == 1) home.page()->mainFrame()->evaluateJavaScript("location.reload()");
        ASSERT_TRUE(loaded.wait(10000)) << load;
        EXPECT_EQ(home.url().toString().toStdString(), AppValue("weburl").toString().toStdString());
        EXPECT_EQ(home.page()->mainFrame()->title().toStdString(), "orvane") << load;
        EXPECT_EQ(home.page()->mainFrame()->evaluateJavaScript("typeof JsExtObj").toString(),
                  "object");
    }
}

}  // namespace
