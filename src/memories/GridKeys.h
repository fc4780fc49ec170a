#pragma once
// What a key does in the memory grid: a pure answer that the grid carries out.

#include "ui/Controls.h"

enum class TGridKeyAction {
    None,       // not the grid's: the edit box's own key, or one nobody uses
    OpenEditor, // Enter, F2
    CancelEdit, // Escape in the editor
    EndEdit,    // Enter in the editor: validation, then the automatic move
    Up,
    Down,
    Left,
    Right,
    FirstCol, // Home
    LastCol,  // End
    Copy,     // Ctrl+Ins
    Cut,      // Shift+Del
    Paste     // Shift+Ins
};

// A key pressed while the grid or its editor has the focus (the system's
// virtual key codes).
//   no editor: Enter and F2 open the editor; arrows, Home and End move the
//     current cell; Ctrl+Ins copies, Shift+Del cuts, Shift+Ins pastes.
//   editor open: Escape cancels, Enter ends the edit, Up and Down end it by
//     moving; every other key is the edit box's (caret keys, its clipboard).
TGridKeyAction GridKeyAction(unsigned key, TShiftState shift, bool editing);

// A character that is text: neither a control character nor DEL.
bool IsPrintable(char ch);
// A character that opens the editor on an editable cell and then goes into
// it: a printable one or Backspace.
bool OpensEditor(char ch);
