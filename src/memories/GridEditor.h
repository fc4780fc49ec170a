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
    void Close();

    // The selection in the cell's text, clamped to it; 0 while closed.
    size_t SelStart(const std::string& text) const;
    size_t SelLength(const std::string& text) const;

    // The edit box's text and selection into the cell. A TAB, CR or LF is
    // stored as a blank, so a cell never holds a line break or a separator of
    // the memory file. While the box holds characters that the system's code
    // page, the memory file's, cannot hold (outside, UTF-8), its text is no
    // cell's: the cell keeps the text it had when the editor opened, and the
    // edit cannot end (Unstorable).
    void SetText(std::string& cell, const std::string& text, size_t selStart, size_t selLength,
                 const std::string& outside = {});
    // The characters that keep the edit from ending: those the last SetText
    // was given, while the cell still holds what that SetText left there
    // (whoever sets the cell afterwards puts a text of its own there).
    const std::string& Unstorable(const std::string& cell) const;
    // A character typed over the selection: Backspace deletes, TAB and LF go
    // in as blanks; CR and other control characters are not taken (false).
    bool Type(std::string& cell, char ch);

private:
    void ForgetOutside() { FOutside.clear(), FOutsideCell.clear(); }
    void ReplaceSelection(std::string& cell, const std::string& text);

    bool FOpen = false;
    std::string FKeptText;
    std::string FOutside;
    std::string FOutsideCell; // the cell's text while FOutside holds
    size_t FSelStart = 0;
    size_t FSelLength = 0;
    unsigned FSession = 0;
};

// What the operator is told when text with characters the memory file cannot
// hold (chars, UTF-8, as Unstorable gives them) is refused: which characters,
// and why. In UTF-8.
enum class TRefusedText {
    Edit, // typed or pasted into a cell's edit box: the edit stays open
    Paste // on the clipboard: the paste is not done
};
std::string UnstorableTextMessage(const std::string& chars, TRefusedText what);
