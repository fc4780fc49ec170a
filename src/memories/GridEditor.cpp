#include "memories/GridEditor.h"

#include <algorithm>
#include <vector>

#include "base/SysUtils.h"
#include "memories/GridKeys.h"

void TGridEditor::Open(const std::string& text)
{
    ForgetOutside();
    FOpen = true;
    ++FSession;
    FKeptText = text;
    FSelStart = 0;
    FSelLength = FKeptText.size();
}

size_t TGridEditor::SelStart(const std::string& text) const { return FOpen ? std::min(FSelStart, text.size()) : 0; }

size_t TGridEditor::SelLength(const std::string& text) const
{
    return FOpen ? std::min(FSelLength, text.size() - SelStart(text)) : 0;
}

void TGridEditor::Close()
{
    FOpen = false;
    ForgetOutside();
}

void TGridEditor::SetText(std::string& cell, const std::string& text, size_t selStart, size_t selLength,
                          const std::string& outside)
{
    FSelStart = selStart;
    FSelLength = selLength;
    if (!outside.empty()) {
        // The box's text has others in place of these: what the cell held
        // before the edit is what a save of the list may store meanwhile.
        cell = FKeptText;
        FOutside = outside;
        FOutsideCell = cell;
        return;
    }
    ForgetOutside();
    cell = text;
    for (char& c : cell)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
}

const std::string& TGridEditor::Unstorable(const std::string& cell) const
{
    static const std::string kNone;
    return FOpen && !FOutside.empty() && cell == FOutsideCell ? FOutside : kNone;
}

void TGridEditor::ReplaceSelection(std::string& cell, const std::string& text)
{
    const size_t start = SelStart(cell);
    const size_t length = SelLength(cell);
    cell.replace(start, length, text);
    FSelStart = start + text.size();
    FSelLength = 0;
}

bool TGridEditor::Type(std::string& cell, char ch)
{
    ForgetOutside();
    if (ch == '\b') {
        const size_t start = SelStart(cell);
        if (SelLength(cell) == 0 && start > 0) {
            FSelStart = start - 1;
            FSelLength = 1;
        }
        ReplaceSelection(cell, "");
        return true;
    }
    if (ch == '\t' || ch == '\n') {
        ReplaceSelection(cell, " ");
        return true;
    }
    if (!IsPrintable(ch))
        return false;
    ReplaceSelection(cell, std::string(1, ch));
    return true;
}

namespace {

// How many characters a message names; the rest are "others".
constexpr size_t kNamedChars = 8;

struct TNamedChar {
    std::string Text; // UTF-8
    unsigned Code;
};

// The characters of UTF-8 text with their codes. A byte that begins no
// character, or a character cut short, is U+FFFD.
std::vector<TNamedChar> Characters(const std::string& utf8)
{
    std::vector<TNamedChar> chars;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 && lead < 0xF8 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        unsigned code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        size_t next = i + 1;
        bool whole = length != 0 && i + length <= utf8.size();
        for (; whole && next < i + length; ++next) {
            const auto byte = static_cast<unsigned char>(utf8[next]);
            whole = (byte & 0xC0) == 0x80;
            code = (code << 6) | (byte & 0x3F);
        }
        if (!whole) {
            code = 0xFFFD;
            next = i + 1;
        }
        chars.push_back({utf8.substr(i, next - i), code});
        i = next;
    }
    return chars;
}

// "ł" (U+0142); a character that shows as nothing readable (a control
// character, a lone surrogate) by its code alone.
std::string Named(const TNamedChar& c)
{
    const std::string code = Format("U+%04X", c.Code);
    const bool shows = c.Code >= 0x20 && c.Code != 0x7F && !(c.Code >= 0x80 && c.Code < 0xA0) &&
                       !(c.Code >= 0xD800 && c.Code < 0xE000) && c.Code != 0xFFFD;
    return shows ? "\"" + c.Text + "\" (" + code + ")" : code;
}

} // namespace

std::string UnstorableTextMessage(const std::string& chars, TRefusedText what)
{
    const std::vector<TNamedChar> named = Characters(chars);
    std::string list;
    for (size_t i = 0; i < named.size() && i < kNamedChars; ++i)
        list += (i ? ", " : "") + Named(named[i]);
    if (named.size() > kNamedChars)
        list += " and others";
    const std::string why = "the memory file is saved in the system's code page, which has " +
                            std::string(named.size() == 1 ? "no " : "none of ") + list + ".";
    if (what == TRefusedText::Paste)
        return "The clipboard's text cannot be pasted: " + why;
    return "This text cannot be stored: " + why + "\n\nChange it, or press Esc to put back what the cell held.";
}
