#pragma once
// Virtual key codes, the system's numbers: what key messages carry, what the
// forms, controls and grid act on, and the key part of a menu shortcut.

namespace Vk {
constexpr unsigned Back = 0x08;
constexpr unsigned Tab = 0x09;
constexpr unsigned Return = 0x0D;
constexpr unsigned Shift = 0x10;
constexpr unsigned Control = 0x11;
constexpr unsigned Menu = 0x12;
constexpr unsigned Escape = 0x1B;
constexpr unsigned Space = 0x20;
constexpr unsigned Prior = 0x21;
constexpr unsigned Next = 0x22;
constexpr unsigned End = 0x23;
constexpr unsigned Home = 0x24;
constexpr unsigned Left = 0x25;
constexpr unsigned Up = 0x26;
constexpr unsigned Right = 0x27;
constexpr unsigned Down = 0x28;
constexpr unsigned Insert = 0x2D;
constexpr unsigned Delete = 0x2E;
constexpr unsigned F1 = 0x70;
constexpr unsigned F2 = 0x71;
constexpr unsigned F4 = 0x73;
constexpr unsigned F10 = 0x79;
constexpr unsigned F12 = 0x7B;
} // namespace Vk
