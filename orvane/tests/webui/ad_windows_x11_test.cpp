// The advertisement windows as the main widget makes them, on a display of their own, against
// the web-service stand-in: when they show, where, what closes them, what another player's
// window does to them, and where their links go.
#include <QElapsedTimer>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>
#include <QWebElement>
#include <QWebSettings>

#include "ad_corner.h"
#include "browser_starts.h"
#include "host_queries.h"
#include "main_widget_fixture.h"
#include "widget_ad.h"
#include "widget_ad_focus.h"
#include "window/x11_window.h"

namespace {

using namespace main_widget_testing;

const QString kTrayMarker = QString::fromUtf8("Orvane托盘广告");
const QString kFocusMarker = QString::fromUtf8("Orvane焦点广告");

QWebView* View(QWidget* ad) { return ad->findChild<QWebView*>("adWebView"); }

// What happens to a window from now on: the milliseconds from its next successful page load
// to its next showing (-1 until then; the window's own handler runs first, so the count is
// never longer than the wait), and the timer events it receives.
class WindowWatch : public QObject {
public:
    explicit WindowWatch(QWidget* ad) {
        ad->installEventFilter(this);
        connect(View(ad), &QWebView::loadFinished, this, [this](bool ok) {
            if (ok) load_.start();
        });
    }
    qint64 loadToShowMs = -1;
    int timerEvents = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Timer) ++timerEvents;
        if (event->type() == QEvent::Show && load_.isValid() && loadToShowMs < 0)
            loadToShowMs = load_.elapsed();
        return false;
    }

private:
    QElapsedTimer load_;
};

class AdWindowsTest : public MainWidgetTest {
protected:
    void TearDown() override {
        MainWidgetTest::TearDown();
        SetAdShowDelayForTesting(0);
    }
    // The control made the way a host makes it, its windows showing their advertisements
    // `showDelayMs` after a load (0: the shipped delay).
    void MakeShownControl(int showDelayMs) {
        SetAdShowDelayForTesting(showDelayMs);
        MakeControl();
        control->show();
    }
    WidgetAd* TrayAd() { return main->findChild<WidgetAd*>(); }
    WidgetAdFocus* FocusAd() { return main->findChild<WidgetAdFocus*>(); }
    static QString Eval(QWidget* ad, const QString& script) {
        return View(ad)->page()->mainFrame()->evaluateJavaScript(script).toString();
    }
    static void Click(QWidget* view, const char* element) {
        const QPoint at =
            View(view)->page()->mainFrame()->findFirstElement(element).geometry().center();
        QTest::mouseClick(View(view), Qt::LeftButton, {}, at);
    }
};

TEST_F(AdWindowsTest, EachShowsTenSecondsAfterItsPageLoadedTheTrayAdInTheCorner) {
    StartService();
    MakeShownControl(0);
    ASSERT_TRUE(TrayAd() && FocusAd());
    WindowWatch tray(TrayAd()), focus(FocusAd());
    ASSERT_TRUE(WaitFor([&] { return tray.loadToShowMs >= 0 && focus.loadToShowMs >= 0; }, 60000));
    EXPECT_GE(tray.loadToShowMs, 9900);
    EXPECT_GE(focus.loadToShowMs, 9900);

    // Where the display really has it: against the bottom-right corner of the free area.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const auto geometry = platform::window::WindowGeometry(TrayAd()->winId());
    ASSERT_TRUE(geometry);
    EXPECT_EQ(QRect(geometry->x, geometry->y, geometry->width, geometry->height),
              QRect(AdCorner(available, QSize(302, 287)), QSize(302, 287)));
    // Other players find both by their titles.
    EXPECT_TRUE(WaitFor([&] { return IsWindowShown(kTrayMarker) && IsWindowShown(kFocusMarker); }));
    EXPECT_EQ(service->CountRequests("get_adlist.html?type=login"), 1);
    EXPECT_EQ(service->CountRequests("get_adlist.html?type=focus"), 1);
}

TEST_F(AdWindowsTest, AnotherPlayersTrayAdOnTheDesktopStopsThisOneBeforeItAsksForItsPage) {
    QProcess other;
    other.start(QString::fromUtf8(ORVANE_MARKER_WINDOW), {kTrayMarker});
    ASSERT_TRUE(other.waitForStarted());
    ASSERT_TRUE(WaitFor([&] { return IsWindowShown(kTrayMarker); }));
    StartService();
    MakeShownControl(200);
    // The focus advertisement is of another kind and goes its way.
    ASSERT_TRUE(WaitFor([&] { return FocusAd()->isVisible(); }));
    ASSERT_TRUE(TrayAd());
    EXPECT_FALSE(TrayAd()->isVisible());
    EXPECT_EQ(View(TrayAd()), nullptr);
    EXPECT_EQ(service->CountRequests("get_adlist.html?type=login"), 0);
    other.kill();
    other.waitForFinished();
}

TEST_F(AdWindowsTest, CloseHidesItAndEachLaterLoadShowsItAgainOnce) {
    StartService();
    MakeShownControl(300);
    QPointer<WidgetAd> ad = TrayAd();
    ASSERT_TRUE(WaitFor([&] { return ad->isVisible(); }));

    QTest::mouseClick(ad->findChild<QToolButton*>("btnClose"), Qt::LeftButton);
    EXPECT_FALSE(ad->isVisible());
    EXPECT_TRUE(WaitFor([&] { return !IsWindowShown(kTrayMarker); }));

    // The page loads itself again: shown again after the delay.
    WindowWatch reloaded(ad);
    Eval(ad, "location.reload()");
    ASSERT_TRUE(WaitFor([&] { return reloaded.loadToShowMs >= 0; }));
    EXPECT_GE(reloaded.loadToShowMs, 290);
    EXPECT_EQ(service->CountRequests("get_adlist.html?type=login"), 2);

    // Two loads in a row show it once, and the first count does not live on beside the second.
    ad->close();
    for (int load = 0; load < 2; ++load)
        QMetaObject::invokeMethod(ad, "LoadFinished", Q_ARG(bool, true));
    ASSERT_TRUE(WaitFor([&] { return ad->isVisible(); }));
    WindowWatch after(ad);
    ad->close();
    EXPECT_FALSE(WaitFor([&] { return ad->isVisible() || after.timerEvents > 0; }, 1500));
    // A failed load leaves it as it was.
    QMetaObject::invokeMethod(ad, "LoadFinished", Q_ARG(bool, false));
    EXPECT_FALSE(WaitFor([&] { return ad->isVisible(); }, 1000));
    EXPECT_TRUE(ad);
}

TEST_F(AdWindowsTest, APageThatFailsToLoadNeverShowsItsWindow) {
    StartService();
    service->Stop();  // the configured service no longer answers
    MakeShownControl(200);
    QSignalSpy trayLoaded(View(TrayAd()), &QWebView::loadFinished);
    QSignalSpy focusLoaded(View(FocusAd()), &QWebView::loadFinished);
    ASSERT_TRUE(WaitFor([&] { return !trayLoaded.isEmpty() && !focusLoaded.isEmpty(); }));
    EXPECT_FALSE(trayLoaded.first().at(0).toBool());
    EXPECT_FALSE(focusLoaded.first().at(0).toBool());
    EXPECT_FALSE(WaitFor([&] { return TrayAd()->isVisible() || FocusAd()->isVisible(); }, 1500));
}

TEST_F(AdWindowsTest, LinksAndNewWindowsGoToTheBrowserAsWebAddressesOnly) {
    StartService();
    MakeShownControl(200);
    WidgetAd* tray = TrayAd();
    WidgetAdFocus* focus = FocusAd();
    ASSERT_TRUE(WaitFor([&] { return tray->isVisible() && focus->isVisible(); }));
    for (QWidget* ad : {static_cast<QWidget*>(tray), static_cast<QWidget*>(focus)}) {
        EXPECT_EQ(Eval(ad, "typeof JsExtObj"), "object");
        EXPECT_FALSE(View(ad)->page()->settings()->testAttribute(QWebSettings::PluginsEnabled));
    }
    const QUrl trayPage = View(tray)->url();
    Click(tray, "#login1");
    Click(focus, "#focus1");
    // Each page starts the browser at most once a second.
    ASSERT_TRUE(WaitFor([&] { return BrowserStartAllowed(View(tray)->page()); }));
    Eval(tray, "window.open('file:///etc/passwd'); window.open('" +
                   QString::fromStdString(service->Url("show.html?id=3")) + "')");
    const std::string expected = service->Url("show.html?id=1") + "\n" +
                                 service->Url("show.html?id=2") + "\n" +
                                 service->Url("show.html?id=3") + "\n";
    EXPECT_TRUE(WaitFor([&] { return SortedBrowserLog() == expected; })) << BrowserLog();
    EXPECT_EQ(View(tray)->url(), trayPage);
    EXPECT_TRUE(tray->isVisible());
}

}  // namespace
