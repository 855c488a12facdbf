#include <gtest/gtest.h>

#include <QWidget>

#include "host_queries.h"
#include "player_view_event_pump.h"

namespace {

bool WaitFor(bool wanted, const QString& title) {
    return PumpUntil([&] { return IsWindowShown(title) == wanted; });
}

// Windows are looked up on the whole display by exact title, so another process's window
// counts as well as our own.
TEST(WindowShownTest, AVisibleWindowIsFoundByItsExactTitleOnly) {
    const QString title = QString::fromUtf8("广告 focus — orvane");
    EXPECT_FALSE(IsWindowShown(title));
    QWidget window;
    window.setWindowTitle(title);
    window.resize(200, 100);
    window.show();
    EXPECT_TRUE(WaitFor(true, title));
    EXPECT_FALSE(IsWindowShown(QString::fromUtf8("广告 focus")));
    window.hide();
    EXPECT_TRUE(WaitFor(false, title));
}

}  // namespace
