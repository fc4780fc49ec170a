#pragma once
// The memory list's rules that need no window: the grid MemoryList with its
// columns Caption, Mode, VFO A and VFO B, the flag MemoryChanged, and the
// handlers of the memory list window (TListForm), which forwards its events
// here: storing a memory, Add, Remove, Set, Save, the four sorts, the mode
// popup, the close check, and the grid's cell checks.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "memories/MemoryFile.h"
#include "memories/StringAlignGrid.h"
#include "platform/Files.h"
#include "ui/Host.h"

class TTransceiver;

// The cell a typed frequency becomes: blank stays as typed; otherwise,
// blanks around it ignored, digit groups are read from the end ("." and ","
// end a group), the last one filled with "0" on the right and the one before
// it on the left to three characters, everything before them kept with its
// separators removed, and the value shown grouped by three with ".". None
// (rejected) when that is not decimal digits making at least 100000 and at
// most the largest 32-bit integer: no sign, no hexadecimal.
std::optional<std::string> ValidateFrequencyText(const std::string& text);

// A frequency cell in hertz, as Set sends it: "." and "," removed, blanks
// around ignored, then decimal digits within the 32-bit range, or "-1" (a VFO
// that was not in use). Raises EConvertError "'%s' is not a valid integer
// value" with the text after the removals.
int32_t FrequencyHertz(const std::string& text);

class TMemories {
public:
    static constexpr int kCaptionCol = 0;
    static constexpr int kModeCol = 1;
    static constexpr int kVfoACol = 2;
    static constexpr int kVfoBCol = 3;
    // The mode popup's items, in menu order.
    static constexpr const char* kModeMenuItems[] = {"CW", "USB", "LSB", "DIGI", "AM", "FM", "CW-R", "DIGI-R"};

    // The grid as built: the header row and one empty memory; the header
    // cells and the Mode column read-only; the questions and reports are
    // message boxes of `shell`, Set sends through `transceiver`, Save and the
    // load go through `files`.
    TMemories(IShell& shell, TTransceiver& transceiver, IFileSystem& files, std::string fileName = kMemoryFileName);

    TStringAlignGrid MemoryList;
    // The list differs from what was loaded; never set back to false.
    bool MemoryChanged = false;
    // Shows the list window (without making it modal); AddMemory calls it.
    std::function<void()> OnShowWindow;

    // Today's date as the name of a kept file shows it (YYYY-MM-DD); the
    // local date unless a test sets another.
    std::function<std::string()> Today;

    // Window creation: the first memory current, the memory file loaded,
    // MemoryChanged false. No file is the first run and says nothing; a file
    // that cannot be read, or is not what Velkor writes, is reported once in
    // an error box naming it and the cause, the list starts as built, and the
    // file is marked so that the next save asks before it is replaced.
    void FormCreate();

    // Stores a memory: row 1 when it is the only memory and holds nothing
    // yet, else a new last row; caption, mode and both frequencies as plain
    // decimal text (-1 marks a VFO not in use). Shows the window, makes the
    // row current with its caption in the editor, and sets MemoryChanged.
    void AddMemory(const std::string& caption, const std::string& mode, int32_t vfoA, int32_t vfoB);
    // "Add" and "Add record": an empty caption and mode, 0 and 0.
    void Addmemorysettings1Click();
    // "Remove" and "Delete record": asks "Do you really want to delete selected
    // record?"; after "Yes" the current row goes (never the last memory) and
    // MemoryChanged is set.
    void Deleterecord1Click();
    // "Set": the current row to the rig: Set_Mode with the Mode cell, Set_FreqA
    // with VFO A, then Set_FreqB with VFO B unless it is blank. A frequency that
    // does not convert raises EConvertError "'%s' is not a valid integer
    // value" (the text without "." and ","), and nothing after it is sent.
    void FlatButton1Click();
    // "Save": the whole grid to the memory file; raises the file's errors.
    // MemoryChanged stays as it is.
    void bSaveClick() { Save(); }
    // The save of "Save" and of the closing question; false when the operator
    // chose not to save. A list that is the file on disk already writes
    // nothing. A memory file that cannot be read now is replaced only after
    // "Yes" to keeping it as "<file>.bad-<date>" (FreeBadFileName); one that
    // is not what this list read or last saved (changed on disk, or read now
    // after it could not be at the start) only after "Yes" to keeping it as
    // "<file>.changed-<date>" (FreeChangedFileName). No later save replaces
    // those files.
    bool Save();
    // The four sort items: ascending by Caption, Mode, VFO A, VFO B, as text.
    void Sortbyname1Click() { MemoryList.SortRowsByColumn(kCaptionCol); }
    void Sortbymode1Click() { MemoryList.SortRowsByColumn(kModeCol); }
    void SortbyFreqA1Click() { MemoryList.SortRowsByColumn(kVfoACol); }
    void SortByFreqB1Click() { MemoryList.SortRowsByColumn(kVfoBCol); }
    // A double click in the grid: true when the mode popup opens (at the mouse
    // pointer), that is on the Mode column of a memory.
    bool MemoryListDblClick();
    // A mode popup item chosen: its caption into the current row's Mode cell.
    void DIGIR1Click(const std::string& itemCaption);
    // Run when the main window is about to close: true when it may. With
    // unsaved changes it asks "Do you want to save memory settings changes?"
    // (Yes saves, No does not, Cancel refuses). A save the operator then
    // declines refuses the close; a save that fails asks whether to close
    // without saving, naming the cause ("No", the default, refuses).
    bool CloseCheck();

    // The grid's events.
    void MemoryListSelectCell(TObject* Sender, int ACol, int ARow, bool& CanSelect);
    void MemoryListValidateEdit(TObject* Sender, int ACol, int ARow, bool& Accept);
    void MemoryListAfterEdit(TObject* Sender, int ACol, int ARow);
    void MemoryListClipboardEdit(TObject* Sender, int ACol, int ARow);

private:
    bool RowOneIsUnused() const;

    IShell& FShell;
    TTransceiver& FTransceiver;
    IFileSystem& FFiles;
    std::string FFileName;
    // The file as it was loaded or last saved, to tell a change by another
    // program, and an unreadable file, from the file this list came from.
    TMemoryFileState FOnDisk;
};
