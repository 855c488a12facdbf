#include "widget_url_input.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

namespace {

// Runs the dialog modally while `act` plays the user; a dialog still open after ten seconds
// ends with -1, so a broken key path fails instead of hanging.
int RunAs(WidgetUrlInput& dialog, const std::function<void()>& act, bool pageMode = false) {
    QTimer::singleShot(0, &dialog, act);
    QTimer::singleShot(10000, &dialog, [&] { dialog.done(-1); });
    return pageMode ? dialog.Exec() : dialog.exec();
}

TEST(WidgetUrlInputTest, KeysAndButtonsGiveTheResultAndTheTextAsTyped) {
    const struct {
        const char* typed;
        std::function<void(WidgetUrlInput&)> finish;
        int result;
        const char* url;
    } cases[] = {
        {"  http://h/a.mp4 ",
         [](WidgetUrlInput& d) {
             QTest::keyClick(d.findChild<QLineEdit*>("editUrl"), Qt::Key_Return);
         },
         1, "  http://h/a.mp4 "},
        {"",
         [](WidgetUrlInput& d) {
             QTest::keyClick(d.findChild<QLineEdit*>("editUrl"), Qt::Key_Enter);
         },
         1, ""},
        {"magnet:?xt=1",
         [](WidgetUrlInput& d) {
             QTest::mouseClick(d.findChild<QPushButton*>("buttonOk"), Qt::LeftButton);
         },
         1, "magnet:?xt=1"},
        {"http://h/b",
         [](WidgetUrlInput& d) {
             QTest::keyClick(d.findChild<QLineEdit*>("editUrl"), Qt::Key_Escape);
         },
         0, ""},
        {"http://h/c",
         [](WidgetUrlInput& d) {
             QTest::mouseClick(d.findChild<QPushButton*>("buttonCancel"), Qt::LeftButton);
         },
         0, ""},
        {"http://h/d",
         [](WidgetUrlInput& d) {
             QTest::mouseClick(d.findChild<QToolButton*>("buttonClose"), Qt::LeftButton);
         },
         0, ""},
    };
    for (const auto& c : cases) {
        WidgetUrlInput dialog;
        const int result = RunAs(dialog, [&] {
            QTest::keyClicks(dialog.findChild<QLineEdit*>("editUrl"), c.typed);
            c.finish(dialog);
        });
        EXPECT_EQ(result, c.result) << c.typed;
        EXPECT_EQ(dialog.GetUrl(), c.url) << c.typed;
    }
}

TEST(WidgetUrlInputTest, TheTextGoesToTheEditAndPageModeChangesOnlyTheTopTexts) {
    WidgetUrlInput dialog;
    EXPECT_EQ(dialog.size(), QSize(512, 214));
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    const QString directTitle = dialog.findChild<QLabel*>("labelTitle")->text();
    EXPECT_EQ(directTitle, "请输入要播放的媒体文件的网络地址或本地路径");

    QString title, bottom;
    bool editHasFocus = false;
    RunAs(
        dialog,
        [&] {
            title = dialog.findChild<QLabel*>("labelTitle")->text();
            bottom = dialog.findChild<QLabel*>("label_3")->text();
            editHasFocus = dialog.focusWidget() == dialog.findChild<QLineEdit*>("editUrl");
            dialog.done(0);
        },
        true);
    EXPECT_EQ(title, "请输入视频网页地址");
    EXPECT_EQ(bottom, "打开Url");
    EXPECT_TRUE(editHasFocus);
    EXPECT_TRUE(dialog.findChild<QLabel*>("labelComment")->text().startsWith("例如："));
}

}  // namespace
