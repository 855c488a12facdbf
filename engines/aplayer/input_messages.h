// Window messages of the engine's video window in the form its host expects: message numbers,
// virtual-key codes, and key data and pointer positions packed into one 32-bit parameter.
#pragma once

#include <Qt>
#include <cstdint>

namespace aplayer {

constexpr int kWmKeyDown = 0x0100;
constexpr int kWmKeyUp = 0x0101;
constexpr int kWmMouseMove = 0x0200;
constexpr int kWmLButtonUp = 0x0202;
constexpr int kWmLButtonDblClk = 0x0203;

// Mouse-key flags of a mouse message's wParam.
int MouseKeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

// lParam of a mouse message: x in the low 16 bits, y in the high 16 bits (both signed).
std::int32_t PackPoint(int x, int y);

// Virtual-key code of a Qt key; 0 for keys without one.
int VirtualKeyFromQt(int qtKey);

// lParam of a key message: repeat count 1, bit 30 when the key was already down, bit 31 on
// release.
std::int32_t KeyMessageParam(bool release, bool wasDown);

}  // namespace aplayer
