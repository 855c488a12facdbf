// The update dialog: its layout texts, which button gives which result, the keys and the
// close box, the skip button and the captions.
#include "dlg_update.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "dialog_driver.h"

namespace {

using kvupdater_test::DialogDriver;

QPushButton* Button(CDlgUpdate& dialog, int id) {
    return qobject_cast<QPushButton*>(dialog.Control(id));
}

int RunWith(CDlgUpdate& dialog, const std::function<void(CDlgUpdate&)>& action) {
    DialogDriver driver(action);
    const int result = dialog.DoModal();
    EXPECT_TRUE(driver.Acted());
    return result;
}

TEST(DlgUpdateTest, EachButtonEndsWithItsResult) {
    const struct {
        int id;
        int result;
    } cases[] = {{CDlgUpdate::kIdUpgrade, 1}, {CDlgUpdate::kIdRemind, 2}, {CDlgUpdate::kIdSkip, 3}};
    for (const auto& c : cases) {
        CDlgUpdate dialog;
        dialog.SetShowSkip(true);
        EXPECT_EQ(c.result,
                  RunWith(dialog, [&](CDlgUpdate& shown) { Button(shown, c.id)->click(); }))
            << "button " << c.id;
    }
}

TEST(DlgUpdateTest, EscapeAndClosingRemindLaterAndEnterUpgrades) {
    CDlgUpdate escaped;
    EXPECT_EQ(2,
              RunWith(escaped, [](CDlgUpdate& shown) { QTest::keyClick(&shown, Qt::Key_Escape); }));
    CDlgUpdate closed;
    EXPECT_EQ(2, RunWith(closed, [](CDlgUpdate& shown) { shown.close(); }));
    CDlgUpdate entered;
    EXPECT_EQ(1,
              RunWith(entered, [](CDlgUpdate& shown) { QTest::keyClick(&shown, Qt::Key_Return); }));
}

TEST(DlgUpdateTest, ShowsTheMessageAndTheTemplateTexts) {
    CDlgUpdate dialog;
    dialog.SetMessage(QStringLiteral("第一行\r\nsecond line\r\n"));
    RunWith(dialog, [](CDlgUpdate& shown) {
        EXPECT_EQ(QStringLiteral("升级信息"), shown.windowTitle());
        auto* edit = qobject_cast<QPlainTextEdit*>(shown.Control(CDlgUpdate::kIdMessage));
        ASSERT_NE(nullptr, edit);
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_EQ(QStringLiteral("第一行\nsecond line\n"), edit->toPlainText());
        EXPECT_FALSE(Button(shown, CDlgUpdate::kIdSkip)->isVisible());
        EXPECT_TRUE(Button(shown, CDlgUpdate::kIdUpgrade)->isVisible());
        EXPECT_TRUE(Button(shown, CDlgUpdate::kIdUpgrade)->isDefault());
        EXPECT_EQ(QStringLiteral("立即升级"), Button(shown, CDlgUpdate::kIdUpgrade)->text());
        EXPECT_EQ(QStringLiteral("下次提醒"), Button(shown, CDlgUpdate::kIdRemind)->text());
        EXPECT_EQ(QStringLiteral("跳过此版本"), Button(shown, CDlgUpdate::kIdSkip)->text());
        // The buttons sit in one row under the message, left to right: skip, upgrade, remind.
        const int skipX = Button(shown, CDlgUpdate::kIdSkip)->x();
        EXPECT_LT(skipX, Button(shown, CDlgUpdate::kIdUpgrade)->x());
        EXPECT_LT(Button(shown, CDlgUpdate::kIdUpgrade)->x(),
                  Button(shown, CDlgUpdate::kIdRemind)->x());
        EXPECT_GT(Button(shown, CDlgUpdate::kIdRemind)->y(), edit->geometry().bottom());
        shown.reject();
    });
}

TEST(DlgUpdateTest, CaptionsReplaceOnlyWhenGivenAndSkipShowsWhenAsked) {
    CDlgUpdate dialog;
    dialog.SetShowSkip(true);
    dialog.SetCaptions(QStringLiteral("不要这个"), QString(), QStringLiteral("以后再说"));
    RunWith(dialog, [](CDlgUpdate& shown) {
        EXPECT_TRUE(Button(shown, CDlgUpdate::kIdSkip)->isVisible());
        EXPECT_EQ(QStringLiteral("不要这个"), Button(shown, CDlgUpdate::kIdSkip)->text());
        EXPECT_EQ(QStringLiteral("立即升级"), Button(shown, CDlgUpdate::kIdUpgrade)->text());
        EXPECT_EQ(QStringLiteral("以后再说"), Button(shown, CDlgUpdate::kIdRemind)->text());
        shown.reject();
    });
}

}  // namespace
