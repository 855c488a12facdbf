#include "input_messages.h"

namespace aplayer {

int MouseKeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    int flags = 0;
    if (buttons & Qt::LeftButton) flags |= 0x0001;
    if (buttons & Qt::RightButton) flags |= 0x0002;
    if (modifiers & Qt::ShiftModifier) flags |= 0x0004;
    if (modifiers & Qt::ControlModifier) flags |= 0x0008;
    if (buttons & Qt::MiddleButton) flags |= 0x0010;
    return flags;
}

std::int32_t PackPoint(int x, int y) {
    const auto low = static_cast<std::uint32_t>(static_cast<std::uint16_t>(x));
    const auto high = static_cast<std::uint32_t>(static_cast<std::uint16_t>(y));
    return static_cast<std::int32_t>((high << 16) | low);
}

int VirtualKeyFromQt(int qtKey) {
    // Letters and digits share their codes with Qt's.
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return 0x70 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Tab:
            return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Shift:
            return 0x10;
        case Qt::Key_Control:
            return 0x11;
        case Qt::Key_Alt:
            return 0x12;
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        case Qt::Key_Insert:
            return 0x2D;
        case Qt::Key_Delete:
            return 0x2E;
        default:
            return 0;
    }
}

std::int32_t KeyMessageParam(bool release, bool wasDown) {
    std::uint32_t param = 1;
    if (wasDown) param |= 1u << 30;
    if (release) param |= 1u << 31;
    return static_cast<std::int32_t>(param);
}

}  // namespace aplayer
