// The pages inside the player: the show page hands links and new windows to the browser (web
// addresses only) and has no bridge; the advertisement page and the home page get JsExtObj at
// every load and drive the main widget through it.
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QWebElement>
#include <QWebSettings>

#include "ad_window.h"
#include "browser_page.h"
#include "browser_starts.h"
#include "local_rewrite.h"
#include "main_widget_fixture.h"
#include "named_objects.h"
#include "web_page.h"

namespace {

using namespace main_widget_testing;

class WebPagesTest : public MainWidgetTest {
protected:
    void SetUp() override {
        MainWidgetTest::SetUp();
        StartService();
        MakeControl();
        control->resize(1024, 700);
        control->show();
    }
    std::string Line(const std::string& relative) { return service->Url(relative) + "\n"; }
    bool LoadIn(const char* view, const std::function<void()>& start) {
        QSignalSpy loaded(Child<QWebView>(view), &QWebView::loadFinished);
        start();
        return loaded.wait(10000) && loaded.last().at(0).toBool();
    }
    int HiddenWindows() { return main->findChildren<_WebView*>().size(); }
    // A page starts the browser at most once a second: waits until `view`'s page may again.
    bool BrowserFreeFor(const char* view) {
        QWebPage* page = Child<QWebView>(view)->page();
        return WaitFor([&] { return BrowserStartAllowed(page); });
    }
};

TEST_F(WebPagesTest, ShowPageHandsLinksAndNewWindowsToTheBrowserAndHasNoBridge) {
    ASSERT_TRUE(LoadIn("webView", [&] { Child<QPushButton>("btnTabShow")->click(); }));
    EXPECT_EQ(Eval("webView", "typeof JsExtObj"), "undefined");
    // Remote pages load no browser plug-ins, although the process allows them.
    for (const char* view : {"webView", "adWebView"})
        EXPECT_FALSE(
            Child<QWebView>(view)->settings()->testAttribute(QWebSettings::PluginsEnabled));
    QWebFrame* frame = Frame("webView");
    for (const char* link : {"#show1", "#show2"}) {
        ASSERT_TRUE(BrowserFreeFor("webView"));
        QTest::mouseClick(Child<QWebView>("webView"), Qt::LeftButton, {},
                          frame->findFirstElement(link).geometry().center());
    }
    ASSERT_TRUE(BrowserFreeFor("webView"));
    Eval("webView", "openShow(3)");
    std::string expected = Line("show.html?id=1") + Line("show.html?id=2") + Line("show.html?id=3");
    EXPECT_TRUE(WaitFor([&] { return SortedBrowserLog() == expected; })) << BrowserLog();
    // The view of the opened window is gone.
    EXPECT_TRUE(WaitFor([&] { return HiddenWindows() == 0; }));

    // Only web addresses leave the player, and a refused one uses up nothing. A window that
    // never gets an address stays hidden until it is closed.
    ASSERT_TRUE(BrowserFreeFor("webView"));
    Eval("webView", "window.open('file:///etc/passwd'); window.open('javascript:alert(1)')");
    Eval("webView", "openShow(4)");
    expected += Line("show.html?id=4");
    EXPECT_TRUE(WaitFor([&] { return BrowserLog().size() >= expected.size(); })) << BrowserLog();
    EXPECT_EQ(SortedBrowserLog(), expected);
    // (The advertisement windows show by themselves once their pages have loaded.)
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_FALSE(window->isVisible() && window != control.get() &&
                     !qobject_cast<AdWindow*>(window))
            << window->metaObject()->className();
    for (_WebView* view : main->findChildren<_WebView*>()) EXPECT_FALSE(view->isVisible());
}

TEST_F(WebPagesTest, AdvertisementPageGetsTheBridgeAtEveryLoadAndDrivesTheMainWidget) {
    for (const char* page : {"show.html?id=1", "show.html?id=2"}) {
        ASSERT_TRUE(
            LoadIn("adWebView", [&] { main->ShowAd(QString::fromStdString(service->Url(page))); }));
        EXPECT_EQ(CurrentPage(), Child<QWidget>("adPage"));
        EXPECT_EQ(Eval("adWebView", "typeof JsExtObj"), "object") << page;
    }
    EXPECT_EQ(Eval("adWebView", "JsExtObj.IsMax()"), "false");
    EXPECT_EQ(Eval("adWebView", "JsExtObj.Max(); JsExtObj.IsMax()"), "true");
    EXPECT_TRUE(control->isMaximized());
    EXPECT_FALSE(Child<QWidget>("buttonRestore")->isHidden());
    EXPECT_EQ(Eval("adWebView", "JsExtObj.Max(); JsExtObj.IsMax()"), "false");
    EXPECT_TRUE(Child<QWidget>("buttonRestore")->isHidden());

    // Posted: the script call returns before the main widget plays.
    Eval("adWebView", "JsExtObj.PlayVideo({type: 6, url: '/videos/a.mkv', title: 'A'})");
    EXPECT_TRUE(main->LastVideoInfo().isEmpty());
    ASSERT_TRUE(WaitFor([&] { return !main->LastVideoInfo().isEmpty(); }));
    EXPECT_EQ(main->LastVideoInfo().value("type").toInt(), 6);
    EXPECT_EQ(main->LastVideoInfo().value("url"), "/videos/a.mkv");

    // Done with nothing resolved: back to the main page, whose blank page has no bridge.
    ASSERT_TRUE(LoadIn("adWebView",
                       [&] { main->ShowAd(QString::fromStdString(service->Url("show.html"))); }));
    Eval("adWebView", "JsExtObj.AdvFinished()");
    EXPECT_EQ(CurrentPage(), Child<QWidget>("adPage"));
    ASSERT_TRUE(WaitFor([&] { return CurrentPage() == Child<QWidget>("emptyPage"); }));
    EXPECT_EQ(Eval("adWebView", "typeof JsExtObj"), "undefined");

    ASSERT_TRUE(LoadIn("adWebView",
                       [&] { main->ShowAd(QString::fromStdString(service->Url("show.html"))); }));
    Eval("adWebView", "JsExtObj.OpenWindow(3); JsExtObj.OpenWindow('https://shows.invalid/x')");
    EXPECT_TRUE(WaitFor([&] { return !BrowserLog().empty(); }));
    EXPECT_EQ(BrowserLog(), "https://shows.invalid/x\n");
    Eval("adWebView", "JsExtObj.Close()");
    EXPECT_EQ(main->GetState(), 0);
    EXPECT_FALSE(main->isVisible());
}

TEST_F(WebPagesTest, HomePageViewCarriesTheBridgeAndHearsThePlayState) {
    SetAppValue("weburl", QString::fromStdString(service->Url("index.html")));
    BrowserPage page;
    QSignalSpy loaded(&page, &QWebView::loadFinished);
    ASSERT_TRUE(loaded.wait(10000));
    EXPECT_EQ(FindNamedObject("BrowserPage"), &page);
    EXPECT_EQ(page.page()->mainFrame()->evaluateJavaScript("typeof JsExtObj").toString(), "object");
    page.NotifyStatus(1, 3, 0);
    EXPECT_EQ(page.page()
                  ->mainFrame()
                  ->evaluateJavaScript("document.getElementById('status').textContent")
                  .toString(),
              "State 1 -> 3");
    EXPECT_TRUE(page.IsCaptionTouched(5, 10));
    EXPECT_FALSE(page.IsCaptionTouched(5, 100));
    page.page()->mainFrame()->setHtml("<p>no functions</p>");
    EXPECT_FALSE(page.IsCaptionTouched(5, 10));
}

TEST(LocalRewriteTest, RelativeValuesBecomeFileUrlsBesideTheLibrary) {
    const QString app = QUrl::fromLocalFile(AppFilePath("img/a.png")).toString();
    EXPECT_TRUE(app.startsWith("file:///"));
    struct Case {
        QString in, out;
    };
    for (const Case& c : {Case{"<img src=\"img/a.png\">", "<img src=\"" + app + "\">"},
                          Case{"<img src = \"HTTP://x/a.png\"><a src=\"#top\">",
                               "<img src=\"HTTP://x/a.png\"><a src=\"#top\">"},
                          Case{"<b>none</b>", "<b>none</b>"},
                          Case{"<i src=\"javascript:f()\"></i><i src=\"img/a.png\"></i>",
                               "<i src=\"javascript:f()\"></i><i src=\"" + app + "\"></i>"}})
        EXPECT_EQ(RewriteSrcToLocal(c.in), c.out) << c.in.toStdString();
    EXPECT_EQ(RewriteHrefToLocal("<a href=\"img/a.png\">"), "<a href=\"" + app + "\">");
    EXPECT_EQ(RewriteHrefToLocal("<img src=\"img/a.png\">"), "<img src=\"img/a.png\">");
}

// The view may go while its page is still loading: the load it stops must not reach it.
TEST_F(WebPagesTest, HomePageViewMayGoWhileItsPageIsLoading) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    SetAppValue("weburl", QString("http://127.0.0.1:%1/index.html").arg(silent.serverPort()));
    auto page = std::make_unique<BrowserPage>();
    ASSERT_TRUE(WaitFor([&] { return silent.hasPendingConnections(); }));
    page.reset();
    EXPECT_EQ(FindNamedObject("BrowserPage"), nullptr);
}

}  // namespace
