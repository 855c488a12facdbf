// The key-release hook: which key releases become hotkeys, and how many.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>
#include <QtTest/QTest>
#include <memory>
#include <vector>

#include "engine_key_hook.h"

namespace {

using Keys = std::vector<int>;

// Keys as the window system delivers them: to a window first, then to its focus widget.
void Key(QWidget* widget, QEvent::Type type, int key, bool autoRepeat = false) {
    const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
    qt_handleKeyEvent(widget->windowHandle(), type, key, Qt::NoModifier, text, autoRepeat);
    QCoreApplication::processEvents();
}

void Tap(QWidget* widget, int key) {
    Key(widget, QEvent::KeyPress, key);
    Key(widget, QEvent::KeyRelease, key);
}

class EngineKeyHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window_);
        // A focusable widget that leaves every key to its parents.
        plain_ = new QWidget(&window_);
        plain_->setFocusPolicy(Qt::StrongFocus);
        edit_ = new QLineEdit(&window_);
        layout->addWidget(plain_);
        layout->addWidget(edit_);
        window_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
        plain_->setFocus();
        hook_ = std::make_unique<EngineKeyHook>([this](int key) { hotkeys_.push_back(key); });
    }

    QWidget window_;
    QWidget* plain_ = nullptr;
    QLineEdit* edit_ = nullptr;
    Keys hotkeys_;
    std::unique_ptr<EngineKeyHook> hook_;
};

TEST_F(EngineKeyHookTest, EachHotkeyReleaseCountsOnceAndNothingElseDoes) {
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space, Qt::Key_Left,
                    Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_A, Qt::Key_F5})
        Tap(&window_, key);
    EXPECT_EQ(hotkeys_, (Keys{0x0D, 0x0D, 0x1B, 0x20, 0x25, 0x26, 0x27, 0x28}));
    // The release climbs from the focus widget through its parents, and the player posts
    // copies of engine keys to its own widgets: still one hotkey.
    hotkeys_.clear();
    Tap(&window_, Qt::Key_Down);
    QCoreApplication::postEvent(plain_, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Down, {}));
    QCoreApplication::postEvent(&window_, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Down, {}));
    QCoreApplication::processEvents();
    EXPECT_EQ(hotkeys_, Keys{0x28});
    // Once the hook is gone nothing more arrives, not even for a key it saw go down.
    Key(&window_, QEvent::KeyPress, Qt::Key_Left);
    hook_.reset();
    Key(&window_, QEvent::KeyRelease, Qt::Key_Left);
    EXPECT_EQ(hotkeys_, Keys{0x28});
}

TEST_F(EngineKeyHookTest, AHeldKeyGivesOneHotkeyAtItsRelease) {
    Key(&window_, QEvent::KeyPress, Qt::Key_Right);
    for (int i = 0; i < 4; ++i) {
        Key(&window_, QEvent::KeyRelease, Qt::Key_Right, true);
        Key(&window_, QEvent::KeyPress, Qt::Key_Right, true);
    }
    EXPECT_TRUE(hotkeys_.empty());
    Key(&window_, QEvent::KeyRelease, Qt::Key_Right);
    // A release whose press was never seen is no key stroke of the player's.
    Key(&window_, QEvent::KeyRelease, Qt::Key_Right);
    EXPECT_EQ(hotkeys_, Keys{0x27});
}

TEST_F(EngineKeyHookTest, KeysForATextFieldAreNotHotkeys) {
    edit_->setFocus();
    Tap(&window_, Qt::Key_Space);
    Tap(&window_, Qt::Key_Left);
    EXPECT_EQ(edit_->text(), " ");
    EXPECT_TRUE(hotkeys_.empty());
    // A field that cannot be typed into keeps no keys from the player.
    edit_->setReadOnly(true);
    Tap(&window_, Qt::Key_Space);
    EXPECT_EQ(hotkeys_, Keys{0x20});
}

TEST_F(EngineKeyHookTest, KeysForAModalDialogOrAPopUpAreNotHotkeys) {
    {
        QDialog dialog(&window_);
        dialog.setModal(true);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
        Tap(&dialog, Qt::Key_Space);
        // Esc closes the dialog on its press; the release then comes up in the player's
        // window and must not stop the video.
        Key(&dialog, QEvent::KeyPress, Qt::Key_Escape);
        ASSERT_FALSE(dialog.isVisible());
        Key(&window_, QEvent::KeyRelease, Qt::Key_Escape);
    }
    {
        QMenu menu(&window_);
        menu.addAction(QStringLiteral("entry"));
        menu.popup(window_.mapToGlobal(QPoint(10, 10)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
        ASSERT_EQ(QApplication::activePopupWidget(), &menu);
        Tap(&menu, Qt::Key_Down);
        menu.close();
    }
    EXPECT_TRUE(hotkeys_.empty());
    Tap(&window_, Qt::Key_Escape);
    EXPECT_EQ(hotkeys_, Keys{0x1B});
}

}  // namespace
