#pragma once
// A popup menu shown by the system for a TPopupMenu, and the keyboard's
// shortcut codes as the message loop sees them.

#include <windows.h>

#include "ui/Menus.h"

// Builds the system menu of the items (captions as they stand, the shortcut's
// text after a tab), opens it at a screen point for owner and waits: the item
// chosen, or nullptr. Raises EOleError when the system makes no menu.
TMenuItem* TrackWin32PopupMenu(TPopupMenu& menu, POINT screen, HWND owner);

// The shortcut code of a key-down message with the modifiers held now.
TShortCut ShortCutOfKeyMessage(const MSG& msg);

// Shift, Ctrl and Alt held now, as TShiftState bits.
unsigned KeyboardShiftBits();
