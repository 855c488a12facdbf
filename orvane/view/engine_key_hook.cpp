#include "engine_key_hook.h"

#include <QApplication>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QWindow>

#include "window/key_repeat.h"

namespace {

struct HotkeyCode {
    int qtKey;
    int virtualKey;
};

constexpr HotkeyCode kHotkeys[] = {
    {Qt::Key_Return, 0x0D}, {Qt::Key_Enter, 0x0D}, {Qt::Key_Escape, 0x1B}, {Qt::Key_Space, 0x20},
    {Qt::Key_Left, 0x25},   {Qt::Key_Up, 0x26},    {Qt::Key_Right, 0x27},  {Qt::Key_Down, 0x28},
};

}  // namespace

EngineKeyHook::EngineKeyHook(Hotkey hotkey) : hotkey_(std::move(hotkey)) {
    QCoreApplication::instance()->installEventFilter(this);
    // A held arrow key must give one hotkey at its release, however busy the machine.
    platform::window::ReportHeldKeysAsRepeatedPresses();
}

EngineKeyHook::~EngineKeyHook() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

int EngineKeyHook::VirtualKey(int qtKey) {
    for (const HotkeyCode& code : kHotkeys)
        if (code.qtKey == qtKey) return code.virtualKey;
    return 0;
}

int EngineKeyHook::QtKey(int virtualKey) {
    for (const HotkeyCode& code : kHotkeys)
        if (code.virtualKey == virtualKey) return code.qtKey;
    return Qt::Key_unknown;
}

bool EngineKeyHook::KeysBelongElsewhere(QWindow* window) {
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return true;
    QObject* focus = window->focusObject();
    if (!focus) return false;
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(focus, &query);
    return query.value(Qt::ImEnabled).toBool();
}

bool EngineKeyHook::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
    // The window system hands each key to a window first, once; from there it goes on to the
    // focus widget and its parents, which must not count it again.
    auto* window = qobject_cast<QWindow*>(watched);
    if (!window || !event->spontaneous()) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const int virtualKey = VirtualKey(key->key());
    if (virtualKey == 0 || key->isAutoRepeat()) return false;

    if (type == QEvent::KeyPress) {
        if (KeysBelongElsewhere(window))
            armed_.remove(virtualKey);
        else
            armed_.insert(virtualKey);
        return false;
    }
    const bool armed = armed_.remove(virtualKey);
    if (armed && !KeysBelongElsewhere(window) && hotkey_) hotkey_(virtualKey);
    return false;
}
