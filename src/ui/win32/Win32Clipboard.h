#pragma once
// The clipboard's plain text (CF_TEXT, the system's ANSI code page).

#include <windows.h>

#include <string>

// Empties the clipboard and puts text there with a NUL added; the window
// becomes the clipboard's owner. False when the clipboard could not be
// opened (another program holding it) or written.
bool SetClipboardAnsiText(HWND owner, const std::string& text);

// Every byte of the clipboard's CF_TEXT data as stored: its NUL and whatever
// the block holds after it. False when there is no text or it cannot be read.
bool GetClipboardAnsiText(HWND owner, std::string& bytes);
