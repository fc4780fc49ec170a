#pragma once
// The clipboard's plain text (CF_TEXT, the system's ANSI code page), and what
// of its Unicode text that code page cannot hold.

#include <windows.h>

#include <string>

// Empties the clipboard and puts text there with a NUL added; the window
// becomes the clipboard's owner. False when the clipboard could not be
// opened (another program holding it) or written.
bool SetClipboardAnsiText(HWND owner, const std::string& text);

// Every byte of the clipboard's CF_TEXT data as stored: its NUL and whatever
// the block holds after it; and in outside the characters of its Unicode text
// (CF_UNICODETEXT, up to its NUL) that the ANSI code page cannot hold, which
// the system's CF_TEXT has others in place of (CharsOutsideCodePage). False
// when there is no text or it cannot be read.
bool GetClipboardAnsiText(HWND owner, std::string& bytes, std::string& outside);
