// Turns key releases anywhere in the player's windows into hotkeys (Enter, Esc, Space and the
// arrow keys, as virtual-key codes).
//
// A key counts once per release as the window system delivers it, never again for each widget
// it travels through, for auto-repeat or for copies of it posted by the player itself. Keys
// meant for something else do not count: while a modal dialog or a pop-up is active, while a
// text field has the focus, or when the key went down in such a state (Esc that closes a dialog
// on its press must not reach the video when it comes up).
#pragma once

#include <QObject>
#include <QSet>
#include <functional>

class QWindow;

class EngineKeyHook : public QObject {
public:
    using Hotkey = std::function<void(int virtualKey)>;

    // Watches every event of the application from now until it is destroyed.
    explicit EngineKeyHook(Hotkey hotkey);
    ~EngineKeyHook() override;

    // The virtual-key code of a hotkey's Qt key; 0 for every other key.
    static int VirtualKey(int qtKey);
    // The Qt key of a hotkey's virtual-key code; Qt::Key_unknown for every other code.
    static int QtKey(int virtualKey);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool KeysBelongElsewhere(QWindow* window);

    Hotkey hotkey_;
    // Hotkeys whose press was seen while hotkeys were allowed, until their release.
    QSet<int> armed_;
};
