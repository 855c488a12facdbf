#include "init_environment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QUrl>
#include <QWebSettings>

#include "app_paths.h"
#include "app_values.h"
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

}  // namespace
