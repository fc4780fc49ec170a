#include "memories/GridEditor.h"

#include <algorithm>

#include "memories/GridKeys.h"

void TGridEditor::Open(const std::string& text)
{
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

void TGridEditor::SetText(std::string& cell, const std::string& text, size_t selStart, size_t selLength)
{
    cell = text;
    for (char& c : cell)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    FSelStart = selStart;
    FSelLength = selLength;
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
