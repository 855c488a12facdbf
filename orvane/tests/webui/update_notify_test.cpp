// The update watcher's callback asking the main widget from the user-interface thread and
// from the watcher's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <future>

#include "main_widget_stand_in.h"
#include "update_watcher.h"

namespace {

// UpdateNotify(code) called on another thread while this one runs its event loop; nullopt when
// it did not return in time.
std::optional<bool> NotifyFromAnotherThread(int code) {
    auto answer = std::async(std::launch::async, [code] { return UpdateNotify(code); });
    if (!QTest::qWaitFor(
            [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            10000))
        return std::nullopt;
    return answer.get();
}

TEST(UpdateNotifyTest, CodeZeroGetsTheMainWidgetsAnswerOnItsThreadFromEveryThread) {
    MainWidgetStandIn main;
    for (const bool answer : {true, false}) {
        main.answer = answer;
        main.asked = 0;
        EXPECT_EQ(UpdateNotify(0), answer);
        EXPECT_EQ(NotifyFromAnotherThread(0), std::optional<bool>(answer));
        EXPECT_EQ(main.asked, 2);
        EXPECT_EQ(main.askedOn, qApp->thread());
    }
    // Other codes are answered without asking.
    main.answer = true;
    main.asked = 0;
    for (const int code : {1, -1, 1001}) {
        EXPECT_FALSE(UpdateNotify(code)) << code;
        EXPECT_EQ(NotifyFromAnotherThread(code), std::optional<bool>(false)) << code;
    }
    EXPECT_EQ(main.asked, 0);
}

TEST(UpdateNotifyTest, WithoutAMainWidgetTheAnswerIsNo) {
    EXPECT_FALSE(UpdateNotify(0));
    EXPECT_EQ(NotifyFromAnotherThread(0), std::optional<bool>(false));
}

}  // namespace
