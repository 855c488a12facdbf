// The player's own window under X: the desktop program's window shows the form's title bar
// with the main menu, whose entries open the settings and URL dialogs, the window's buttons,
// and the history button with the panel of earlier plays. The same control placed into a
// page's window the way the host program places it shows neither.
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

#include "activex/host_window.h"
#include "ax_wrap_widget.h"
#include "desktop_window.h"
#include "main_widget_fixture.h"
#include "player_control.h"
#include "player_records.h"

namespace {

using namespace main_widget_testing;

class PlayerWindowTest : public MainWidgetTest {
protected:
    QToolButton* Button(const char* name) { return Child<QToolButton>(name); }
    // Clicks the main menu's entry `text` and answers the class of the modal dialog it opened,
    // which is then closed.
    QString DialogOfMenuEntry(const QString& text) {
        QTest::mouseClick(Button("buttonMenu"), Qt::LeftButton);
        QMenu* menu = nullptr;
        if (!WaitFor(
                [&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())); }))
            return "no menu";
        QAction* entry = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == text) entry = action;
        if (!entry) return "no entry";
        QString opened;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                opened = dialog->metaObject()->className();
                dialog->reject();
            }
        });
        closer.start(20);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
        WaitFor([&] { return !opened.isEmpty(); });
        return opened;
    }
};

TEST_F(PlayerWindowTest, TheDesktopWindowReachesTheMenusTheWindowButtonsAndTheHistory) {
    DesktopWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    main = window.MainWidget();
    auto* title = Child<QWidget>("titleWidget");
    EXPECT_TRUE(title->isVisible());
    EXPECT_TRUE(Button("buttonMenu")->isVisible());

    EXPECT_EQ(DialogOfMenuEntry(QString::fromUtf8("设置")), "SettingsDialog");
    EXPECT_EQ(DialogOfMenuEntry(QString::fromUtf8("打开Url")), "WidgetUrlInput");

    // The history button opens the panel, which lists the play before.
    const std::string file = temp.file("clip.mkv");
    testsupport::WriteFile(file, "x");
    window.Play({{"type", 6}, {"url", QString::fromStdString(file)}});
    auto* panel = Child<QWidget>("widgetRecords");
    auto* list = panel->findChild<QListWidget*>();
    ASSERT_TRUE(WaitFor([&] { return list->count() == 1; }));
    EXPECT_FALSE(panel->isVisible());
    ASSERT_TRUE(Button("recordsButton")->isVisible());
    QTest::mouseClick(Button("recordsButton"), Qt::LeftButton);
    EXPECT_TRUE(panel->isVisible());
    auto* played = dynamic_cast<RecordItem*>(list->item(0));
    ASSERT_NE(played, nullptr);
    EXPECT_EQ(played->Record().toMap().value("url"), QString::fromStdString(file));

    // The window's buttons act on this window; full screen hides the title bar meanwhile.
    QTest::mouseClick(Button("buttonMax"), Qt::LeftButton);
    EXPECT_TRUE(window.isMaximized());
    ASSERT_TRUE(WaitFor([&] { return Button("buttonRestore")->isVisible(); }));
    QTest::mouseClick(Button("buttonRestore"), Qt::LeftButton);
    EXPECT_FALSE(window.isMaximized());
    main->ShowFullScreen();
    EXPECT_FALSE(title->isVisible());
    main->ShowNormal();
    ASSERT_TRUE(WaitFor([&] { return title->isVisible(); }));
    QTest::mouseClick(Button("buttonClose"), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return !window.isVisible(); }));
}

TEST_F(PlayerWindowTest, InsideAPagesWindowTheControlShowsNeitherTitleBarNorHistoryButton) {
    // Registered for this test's user and made by the host program's own code.
    ASSERT_TRUE(RegisterControlLibrary(ORVANE_AX_LIBRARY));
    QWidget page;
    page.resize(640, 480);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    ax::HostWindow host;
    std::string error;
    ASSERT_TRUE(CreatePlayerControl(host, error)) << error;
    ASSERT_TRUE(host.embedInto(page.winId()));
    main = qobject_cast<AXWrapWidget*>(host.controlWidget())->mainWidget();
    ASSERT_TRUE(WaitFor([&] { return main->isVisible(); }));
    EXPECT_FALSE(Child<QWidget>("titleWidget")->isVisible());
    EXPECT_FALSE(Button("buttonMenu")->isVisible());
    EXPECT_FALSE(Button("recordsButton")->isVisible());
    EXPECT_TRUE(Child<QWidget>("widgetPlayerCtrl")->isVisible());
    host.releaseControl();
}

}  // namespace
