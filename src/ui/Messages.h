#pragma once
// The window messages a form takes from its host. The numbers are the system's,
// so that the Win32 host passes its messages on as they come.

#include <cstdint>

#include "ui/Graphics.h"

struct TMessage {
    unsigned Msg = 0;
    uintptr_t WParam = 0;
    intptr_t LParam = 0;
    intptr_t Result = 0;
};

namespace Msg {
// The window moved; LParam holds its new top-left corner on the screen.
constexpr unsigned Move = 0x0003;
// The window's size changed; LParam holds its new width and height.
constexpr unsigned Size = 0x0005;
constexpr unsigned Activate = 0x0006;
constexpr unsigned Close = 0x0010;
constexpr unsigned QueryEndSession = 0x0011;
constexpr unsigned KeyDown = 0x0100;
constexpr unsigned Char = 0x0102;
constexpr unsigned SysKeyDown = 0x0104;
constexpr unsigned SysCommand = 0x0112;
constexpr unsigned MouseMove = 0x0200;
constexpr unsigned LButtonDown = 0x0201;
constexpr unsigned LButtonUp = 0x0202;
constexpr unsigned LButtonDblClk = 0x0203;
constexpr unsigned RButtonDown = 0x0204;
constexpr unsigned RButtonUp = 0x0205;
constexpr unsigned RButtonDblClk = 0x0206;
constexpr unsigned MButtonDown = 0x0207;
constexpr unsigned MButtonUp = 0x0208;
constexpr unsigned MButtonDblClk = 0x0209;
// WParam: the keys held in the low word, the wheel's turn in the high word
// (120 a notch, positive away from the user); LParam: the mouse on the screen.
constexpr unsigned MouseWheel = 0x020A;
constexpr unsigned CaptureChanged = 0x0215;
constexpr unsigned MouseLeave = 0x02A3;
} // namespace Msg

// Activation states in the low word of Msg::Activate's WParam.
namespace ActivateState {
constexpr unsigned Inactive = 0;
constexpr unsigned Active = 1;
constexpr unsigned ClickActive = 2;
} // namespace ActivateState

// Mouse message WParam flags (keys and buttons held).
namespace MouseKeys {
constexpr unsigned Left = 0x0001;
constexpr unsigned Right = 0x0002;
constexpr unsigned Shift = 0x0004;
constexpr unsigned Control = 0x0008;
constexpr unsigned Middle = 0x0010;
} // namespace MouseKeys

constexpr unsigned kScMinimize = 0xF020;

inline intptr_t PointToLParam(TPoint p)
{
    return static_cast<intptr_t>((static_cast<uint32_t>(static_cast<uint16_t>(p.Y)) << 16) |
                                 static_cast<uint16_t>(p.X));
}

inline TPoint LParamToPoint(intptr_t lParam)
{
    return {static_cast<int16_t>(lParam & 0xFFFF), static_cast<int16_t>((lParam >> 16) & 0xFFFF)};
}
