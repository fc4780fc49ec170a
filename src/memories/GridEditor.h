#pragma once
// The in-place editor's state: open or closed, the text its cell had when it
// opened (for Escape), the selection, and how many times it has opened. The
// text edited is the cell's own, which the grid hands in; the grid decides
// when the editor opens and how an edit ends.

#include <cstddef>
#include <string>

class TGridEditor {
public:
    bool IsOpen() const { return FOpen; }
    // Counts every opening, a reopening after a rejection included.
    unsigned Session() const { return FSession; }
    // The cell's text when the editor opened.
    const std::string& KeptText() const { return FKeptText; }

    // Opens on the cell's text, all of it selected.
    void Open(const std::string& text);
    void Close() { FOpen = false; }

    // The selection in the cell's text, clamped to it; 0 while closed.
    size_t SelStart(const std::string& text) const;
    size_t SelLength(const std::string& text) const;

    // The edit box's text and selection into the cell. A TAB, CR or LF is
    // stored as a blank, so a cell never holds a line break or a separator of
    // the memory file.
    void SetText(std::string& cell, const std::string& text, size_t selStart, size_t selLength);
    // A character typed over the selection: Backspace deletes, TAB and LF go
    // in as blanks; CR and other control characters are not taken (false).
    bool Type(std::string& cell, char ch);

private:
    void ReplaceSelection(std::string& cell, const std::string& text);

    bool FOpen = false;
    std::string FKeptText;
    size_t FSelStart = 0;
    size_t FSelLength = 0;
    unsigned FSession = 0;
};
