// The main widget's window: its form as a host gets it, tabs, menus reaching MenuAction, the
// close, and taking hold of the frameless window.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "activex/widget_object.h"
#include "com/create.h"
#include "drag_area.h"
#include "key_value_store.h"
#include "main_widget_fixture.h"
#include "widget_player_view.h"

namespace {

using namespace main_widget_testing;

// Answers the next modal dialog once it is up (the dialog runs its own loop, so the answer
// comes from a timer).
void AnswerNextDialog(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start(20);
}

QAction* Entry(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text) return action;
    return nullptr;
}

using FormTest = MainWidgetTest;

TEST_F(FormTest, ControlMadeByClassIdShowsThePlayerPageWithTheTitleBarHidden) {
    ASSERT_TRUE(RegisterControlLibrary(ORVANE_AX_LIBRARY));
    com::Ptr<com::IUnknown> object;
    ASSERT_EQ(com::CreateInstance(com::MakeGuid("{14DACFF5-4B08-494b-A580-25F2ED930DA7}"), nullptr,
                                  com::IUnknown::kIid, object.PutVoid()),
              com::S_OK);
    auto* host = qobject_cast<AXWrapWidget*>(object.As<ax::IWidgetObject>()->ControlWidget());
    ASSERT_NE(host, nullptr);
    main = host->mainWidget();

    EXPECT_EQ(main->objectName(), "orvaneWidget");
    for (const char* name :
         {"widgetBg",         "titleWidget",   "label_2",     "label",
          "buttonMenu",       "btnTabPlayer",  "btnTabShow",  "buttonMin",
          "buttonMax",        "buttonRestore", "buttonClose", "stackedWidgetMain",
          "pagePlayer",       "pageShow",      "emptyPage",   "label_3",
          "btnOpenFile",      "adPage",        "adWebView",   "widgetRecords",
          "widgetPlayerCtrl", "webView"})
        EXPECT_NE(Child<QWidget>(name), nullptr) << name;
    host->resize(1024, 700);
    host->show();
    EXPECT_FALSE(Child<QWidget>("titleWidget")->isVisible());
    EXPECT_FALSE(Child<QWidget>("widgetRecords")->isVisible());
    EXPECT_TRUE(Child<QWidget>("widgetPlayerCtrl")->isVisible());
    EXPECT_EQ(Child<QStackedWidget>("stackedWidgetMain")->currentWidget(),
              Child<QWidget>("pagePlayer"));
    auto* stack = Child<QStackedWidget>("stackedWidget");
    EXPECT_EQ(stack->currentWidget(), Child<QWidget>("emptyPage"));
    ASSERT_EQ(stack->count(), 3);
    EXPECT_NE(qobject_cast<WidgetPlayerView*>(stack->widget(2)), nullptr);
    QStringList entries;
    for (QAction* action : Child<QPushButton>("btnOpenFile")->menu()->actions())
        entries << action->text();
    EXPECT_EQ(entries, QStringList({"打开Url", "打开文件", "打开种子文件", "打开视频网页"}));
    object.reset();
}

TEST_F(FormTest, TabsSwitchPagesAndTheShowTabLoadsTheShowPageEachTime) {
    StartService();
    MakeControl();
    auto* show = Child<QPushButton>("btnTabShow");
    auto* player = Child<QPushButton>("btnTabPlayer");
    auto* pages = Child<QStackedWidget>("stackedWidgetMain");
    for (int click = 1; click <= 2; ++click) {
        show->click();
        EXPECT_TRUE(show->isChecked());
        EXPECT_FALSE(player->isChecked());
        EXPECT_EQ(pages->currentWidget(), Child<QWidget>("pageShow"));
        EXPECT_TRUE(
            WaitFor([&] { return service->CountRequests("get_adlist.html?type=show") == click; }));
    }
    player->click();
    EXPECT_EQ(pages->currentWidget(), Child<QWidget>("pagePlayer"));
    // Anything that is no tab unchecks both and leaves the page.
    main->SwitchBarPage(main);
    EXPECT_FALSE(player->isChecked() || show->isChecked());
    EXPECT_EQ(pages->currentWidget(), Child<QWidget>("pagePlayer"));
}

TEST_F(FormTest, OpenMenuEntriesReachMenuActionAndPlayWhatWasChosen) {
    MakeControl();
    QMenu* menu = Child<QPushButton>("btnOpenFile")->menu();
    struct Case {
        const char* entry;
        QString typed;
        int type;
    };
    for (const Case& c :
         {Case{"打开Url", "MAGNET:?xt=urn:btih:ABC", 9}, Case{"打开Url", "KvBt:abc", 9},
          Case{"打开Url", "http://127.0.0.1/v.mp4", 2},
          Case{"打开视频网页", "http://127.0.0.1/page.html", 1}}) {
        AnswerNextDialog([&](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("editUrl")->setText(c.typed);
            dialog->findChild<QPushButton*>("buttonOk")->click();
        });
        Entry(menu, c.entry)->trigger();
        ASSERT_TRUE(WaitFor([&] { return main->LastVideoInfo().value("url") == c.typed; }))
            << c.entry << " " << c.typed.toStdString();
        EXPECT_EQ(main->LastVideoInfo().value("type").toInt(), c.type);
        EXPECT_EQ(CurrentPage(), Child<QStackedWidget>("stackedWidget")->widget(2));
    }

    const QString file = QString::fromStdString(temp.file("clip.mkv"));
    testsupport::WriteFile(file.toStdString(), "x");
    AnswerNextDialog([&](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(files, nullptr);
        EXPECT_EQ(files->windowTitle(), "请选择播放文件");
        // Typed, as a user would: the name field has the focus and keeps its own text.
        files->findChild<QLineEdit*>("fileNameEdit")->setText(file);
        QMetaObject::invokeMethod(files, "accept");
    });
    Entry(menu, "打开文件")->trigger();
    ASSERT_TRUE(WaitFor([&] { return main->LastVideoInfo().value("url") == file; }));
    EXPECT_EQ(main->LastVideoInfo().value("type").toInt(), 6);

    // A cancelled dialog plays nothing.
    bool cancelled = false;
    AnswerNextDialog([&](QWidget* dialog) {
        static_cast<QDialog*>(dialog)->reject();
        cancelled = true;
    });
    Entry(menu, "打开Url")->trigger();
    ASSERT_TRUE(WaitFor([&] { return cancelled && !QApplication::activeModalWidget(); }));
    EXPECT_EQ(main->LastVideoInfo().value("url"), file);
}

TEST_F(FormTest, StayOnTopActsOnTheWindowTheControlIsShownInAndFollowsTheSettings) {
    DbSetValue("settings_stayontop", true);
    MakeControl();
    control->show();
    auto onTop = [&] { return control->windowFlags().testFlag(Qt::WindowStaysOnTopHint); };
    EXPECT_TRUE(WaitFor(onTop));
    for (bool chosen : {false, true}) {
        AnswerNextDialog([&](QWidget* dialog) {
            EXPECT_STREQ(dialog->metaObject()->className(), "SettingsDialog");
            dialog->findChild<QCheckBox*>("checkStayOnTop")->setChecked(chosen);
            dialog->findChild<QPushButton*>("buttonOk")->click();
        });
        main->MenuAction("设置");
        EXPECT_EQ(onTop(), chosen);
        EXPECT_TRUE(control->isVisible());
    }
}

TEST_F(FormTest, FullScreenTakesTheWidgetOutOfTheControlAndNormalPutsItBack) {
    MakeControl();
    control->resize(800, 600);
    control->show();
    Child<QWidget>("widgetRecords")->show();
    main->ShowFullScreen();
    EXPECT_TRUE(main->isWindow() && main->isFullScreen());
    EXPECT_TRUE(Child<QWidget>("widgetRecords")->isHidden());
    EXPECT_TRUE(Child<QWidget>("titleWidget")->isHidden());
    main->ShowNormal();
    EXPECT_FALSE(main->isWindow());
    EXPECT_TRUE(WaitFor([&] { return main->geometry() == control->rect(); }));
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(Child<QWidget>("widgetPlayerCtrl")->isHidden());
    EXPECT_FALSE(Child<QWidget>("buttonMax")->isHidden());
    EXPECT_TRUE(Child<QWidget>("titleWidget")->isHidden());
}

TEST_F(FormTest, AfterTheCloseTheWidgetAnswersAsIdleAndPlaysNothing) {
    MakeControl();
    control->show();
    EXPECT_TRUE(main->close());
    EXPECT_EQ(main->GetState(), 0);
    EXPECT_EQ(Child<QStackedWidget>("stackedWidget")->count(), 2);
    main->PlayVideo({{"type", 6}, {"url", "/no/such/file.mkv"}});
    main->PlayRecent();
    EXPECT_EQ(CurrentPage(), Child<QWidget>("emptyPage"));
    EXPECT_EQ(control->getState(), "0");
}

TEST(DragAreaTest, BandsAlongTheEdgesAndTheTitleStrip) {
    const QSize size(1024, 700);
    struct Case {
        int x, y;
        bool maximized, inside;
    };
    for (const Case& c :
         {Case{2, 350, false, true}, Case{0, 350, false, false}, Case{0, 2, false, true},
          Case{0, 698, false, true}, Case{1021, 300, false, true}, Case{1024, 300, false, false},
          Case{2, 350, true, false}, Case{36, 39, true, true}, Case{35, 10, true, false},
          Case{958, 10, true, true}, Case{959, 10, true, false}, Case{500, 40, true, false},
          Case{500, 20, false, true}})
        EXPECT_EQ(InDragArea(QPoint(c.x, c.y), size, c.maximized), c.inside)
            << c.x << "," << c.y << " maximized " << c.maximized;
    EXPECT_EQ(DragEdges(QPoint(2, 2), size), int(Qt::LeftEdge | Qt::TopEdge));
    EXPECT_EQ(
        ResizedGeometry(QRect(100, 100, 400, 300), Qt::LeftEdge, QPoint(500, 0), QSize(50, 50)),
        QRect(450, 100, 50, 300));
}

TEST_F(FormTest, DragAreaFollowsTheWidgetWhereverItSitsAndTheWindowFollowsTheDrag) {
    MakeControl();
    // The control inside a window, away from the window's corner and the screen's.
    QWidget window;
    control->setParent(&window);
    control->setGeometry(50, 40, 800, 600);
    window.setGeometry(300, 200, 900, 700);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (auto [x, y, inside] : {std::tuple{2, 300, true}, std::tuple{100, 300, false},
                                std::tuple{400, 10, true}, std::tuple{-10, 300, false}}) {
        QCursor::setPos(main->mapToGlobal(QPoint(x, y)));
        EXPECT_EQ(main->IsInDragArea(), inside) << x << "," << y;
    }

    // The title strip moves the window, without a window manager as well.
    const QPoint start = window.pos();
    QTest::mousePress(main, Qt::LeftButton, {}, QPoint(400, 10));
    QMouseEvent move(QEvent::MouseMove, QPoint(450, 40), main->mapToGlobal(QPoint(450, 40)),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(main, &move);
    QTest::mouseRelease(main, Qt::LeftButton, {}, QPoint(450, 40));
    EXPECT_TRUE(WaitFor([&] { return window.pos() == start + QPoint(50, 30); }))
        << window.pos().x() << "," << window.pos().y();
    control->setParent(nullptr);
}

}  // namespace
