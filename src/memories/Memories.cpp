#include "memories/Memories.h"

#include <algorithm>
#include <ctime>
#include <exception>

#include "base/SysUtils.h"
#include "rig/TransceiverUnit.h"
#include "ui/Host.h"

namespace {

std::string WithoutSeparators(const std::string& text)
{
    std::string result;
    for (char c : text)
        if (c != '.' && c != ',')
            result += c;
    return result;
}

// Program rule: a frequency is decimal digits. The integer rule alone would
// take "$1.000.000" as hexadecimal 16.777.216 and "+7.074.000" with its sign.
bool DecimalDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string LocalDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm date{};
    if (const std::tm* local = std::localtime(&now))
        date = *local;
    char text[32];
    return std::strftime(text, sizeof text, "%Y-%m-%d", &date) ? text : "";
}

const char* const kUnreadableReport = "Cannot read the memory file %s: %s.\n\nThe memory list starts empty. The file "
                                      "is left as it is, and a save asks before it replaces it.";
const char* const kKeepQuestion =
    "%s could not be read: %s.\n\nKeep it as %s and save the memory list as a new %s?";
const char* const kChangedQuestion = "%s has changed on disk since Velkor read or last saved it.\n\nReplace it "
                                     "with the memory list? The file as it is now is kept as %s.";
const char* const kReadableNowQuestion =
    "%s could not be read when Velkor started, so its memories are not in the memory list; now it can be "
    "read.\n\nReplace it with the memory list? The file as it is now is kept as %s. To have its memories in the "
    "list instead, answer No, close Velkor without saving and start it again.";
const char* const kNotSavedQuestion = "The memory list could not be saved as %s.\n\n%s\n\nClose Velkor without "
                                      "saving it? The changes to the memory list are then lost; \"No\" keeps Velkor "
                                      "running.";

// A message as the general error report ends it.
std::string Sentence(std::string text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

} // namespace

std::optional<std::string> ValidateFrequencyText(const std::string& typed)
{
    const std::string text = Trim(typed);
    if (text.empty())
        return typed;

    std::string group0 = text;
    std::string group1;
    std::string group2;
    const size_t last = text.find_last_of(".,");
    if (last != std::string::npos) {
        group0 = text.substr(last + 1);
        const size_t secondLast = last == 0 ? std::string::npos : text.find_last_of(".,", last - 1);
        if (secondLast == std::string::npos) {
            group1 = text.substr(0, last);
        } else {
            group1 = text.substr(secondLast + 1, last - secondLast - 1);
            // Program rule: digits before a third separator are kept, not
            // dropped, so "1.234.567.890" stays that number and a stray
            // separator cannot silently turn into another frequency.
            group2 = WithoutSeparators(text.substr(0, secondLast));
        }
    }
    if (group1.size() < 3)
        group1.insert(0, 3 - group1.size(), '0');
    if (group0.size() < 3)
        group0.append(3 - group0.size(), '0');

    const std::string joined = group2 + group1 + group0;
    int32_t value;
    if (!DecimalDigits(joined) || !TryStrToInt(joined, value) || value < 100000)
        return std::nullopt;
    const std::string digits = IntToStr(value);
    const size_t n = digits.size();
    std::string shown = digits.substr(n - 6, 3) + "." + digits.substr(n - 3);
    if (n > 6)
        shown = digits.substr(0, n - 6) + "." + shown;
    return shown;
}

int32_t FrequencyHertz(const std::string& text)
{
    const std::string digits = WithoutSeparators(text);
    const std::string number = Trim(digits);
    int32_t value;
    if ((number == "-1" || DecimalDigits(number)) && TryStrToInt(number, value))
        return value;
    throw EConvertError("'" + digits + "' is not a valid integer value");
}

TMemories::TMemories(IShell& shell, TTransceiver& transceiver, IFileSystem& files, std::string fileName)
    : MemoryList(4, 2), Today(LocalDate), FShell(shell), FTransceiver(transceiver), FFiles(files),
      FFileName(std::move(fileName))
{
    const char* const headers[] = {"Caption", "Mode", "VFO A", "VFO B"};
    for (int col = 0; col < 4; ++col) {
        MemoryList.SetCells(col, 0, headers[col]);
        MemoryList.SetCellEditable(col, 0, TEditSetting::No);
        MemoryList.SetCellAlignment(col, 0, TCellAlign::Center);
        MemoryList.SetColAlignment(col, col == kCaptionCol ? TCellAlign::Left : TCellAlign::Center);
    }
    MemoryList.SetColEditable(kModeCol, TEditSetting::No);
    MemoryList.AutoEditNextCell = true;
    MemoryList.NextCellEdit = TNextCellEdit::nc_rightdown;
    MemoryList.AfterLastCellEdit = TAfterLastCellEdit::lc_exit;
    MemoryList.OnSelectCell = [this](TObject* sender, int col, int row, bool& canSelect) {
        MemoryListSelectCell(sender, col, row, canSelect);
    };
    MemoryList.OnValidateEdit = [this](TObject* sender, int col, int row, bool& accept) {
        MemoryListValidateEdit(sender, col, row, accept);
    };
    MemoryList.OnAfterEdit = [this](TObject* sender, int col, int row) { MemoryListAfterEdit(sender, col, row); };
    MemoryList.OnClipboardEdit = [this](TObject* sender, int col, int row) {
        MemoryListClipboardEdit(sender, col, row);
    };
}

void TMemories::FormCreate()
{
    MemoryList.SetRow(1);
    FOnDisk = LoadMemoryFile(MemoryList, FFiles, FFileName);
    MemoryChanged = false;
    if (FOnDisk.Kind == TMemoryFileState::Unreadable)
        FShell.ShowMessageBox(Format(kUnreadableReport, FFileName.c_str(), FOnDisk.Cause.c_str()), "Error",
                              MsgBox::kOk | MsgBox::kIconError);
}

bool TMemories::RowOneIsUnused() const
{
    // Program rule: only an empty row is reused. A memory without a caption
    // (a caption emptied by the user, or one from the file) is never
    // overwritten; the fresh list and a row made by "Add" hold "0" or nothing.
    if (!MemoryList.Cells(kCaptionCol, 1).empty())
        return false;
    for (int col : {kVfoACol, kVfoBCol}) {
        const std::string freq = Trim(MemoryList.Cells(col, 1));
        if (!freq.empty() && freq != "0")
            return false;
    }
    return true;
}

void TMemories::AddMemory(const std::string& caption, const std::string& mode, int32_t vfoA, int32_t vfoB)
{
    // An open edit ends first, as moving away from it would; a rejected one
    // keeps its editor and the new memory is stored all the same.
    const bool editorFree = MemoryList.ApplyEdit();
    int row = 1;
    if (MemoryList.RowCount() != 2 || !RowOneIsUnused()) {
        row = MemoryList.RowCount();
        MemoryList.InsertBlankRow(row);
    }
    MemoryList.SetCells(kCaptionCol, row, caption);
    MemoryList.SetCells(kModeCol, row, mode);
    MemoryList.SetCells(kVfoACol, row, IntToStr(vfoA));
    MemoryList.SetCells(kVfoBCol, row, IntToStr(vfoB));
    if (OnShowWindow)
        OnShowWindow();
    if (editorFree && MemoryList.SetCurrentCell(kCaptionCol, row))
        MemoryList.ShowEditor();
    MemoryChanged = true;
}

void TMemories::Addmemorysettings1Click() { AddMemory("", "", 0, 0); }

void TMemories::Deleterecord1Click()
{
    if (FShell.ShowMessageBox("Do you really want to delete selected record?", "Confirm",
                              MsgBox::kYesNo | MsgBox::kIconQuestion) != MsgBox::kIdYes)
        return;
    MemoryList.DeleteGridRow(MemoryList.Row());
    MemoryChanged = true;
}

void TMemories::FlatButton1Click()
{
    const int row = MemoryList.Row();
    // One call to the rig server: a slow one holds the window one deadline.
    FTransceiver.Batch([&] {
        FTransceiver.Set_Mode(MemoryList.Cells(kModeCol, row));
        FTransceiver.Set_FreqA(FrequencyHertz(MemoryList.Cells(kVfoACol, row)));
        const std::string vfoB = Trim(MemoryList.Cells(kVfoBCol, row));
        if (!vfoB.empty())
            FTransceiver.Set_FreqB(FrequencyHertz(vfoB));
    });
}

bool TMemories::Save()
{
    const std::string text = MemoryFileText(MemoryList, FFileName);
    const TMemoryFileState now = ReadMemoryFile(FFiles, FFileName);
    if (now.Kind == TMemoryFileState::Read && now.Bytes == text) {
        FOnDisk = now;
        return true;
    }
    // Program rule: no save takes the old bytes away unasked. A file that
    // cannot be read, or that is not the one this list was loaded from or
    // last saved as, is kept under a name of its own after "Yes".
    std::string keep;
    if (now.Kind == TMemoryFileState::Unreadable) {
        keep = FreeBadFileName(FFiles, FFileName, Today());
        if (FShell.ShowMessageBox(
                Format(kKeepQuestion, FFileName.c_str(), now.Cause.c_str(), keep.c_str(), FFileName.c_str()),
                "Confirm", MsgBox::kYesNo | MsgBox::kIconQuestion) != MsgBox::kIdYes)
            return false;
    } else if (now.Kind == TMemoryFileState::Read && !now.SameFile(FOnDisk)) {
        keep = FreeChangedFileName(FFiles, FFileName, Today());
        const char* question =
            FOnDisk.Kind == TMemoryFileState::Unreadable ? kReadableNowQuestion : kChangedQuestion;
        if (FShell.ShowMessageBox(Format(question, FFileName.c_str(), keep.c_str()), "Confirm",
                                  MsgBox::kYesNo | MsgBox::kIconQuestion | MsgBox::kDefButton2) != MsgBox::kIdYes)
            return false;
    }
    WriteMemoryFile(FFiles, FFileName, text, keep);
    FOnDisk = TMemoryFileState{TMemoryFileState::Read, text, {}};
    return true;
}

bool TMemories::MemoryListDblClick() { return MemoryList.Col() == kModeCol && MemoryList.Row() >= 1; }

void TMemories::DIGIR1Click(const std::string& itemCaption)
{
    MemoryList.SetCells(kModeCol, MemoryList.Row(), itemCaption);
    // Program rule: a mode chosen from the popup is a change like any other,
    // so the closing question offers to save it.
    MemoryChanged = true;
}

bool TMemories::CloseCheck()
{
    if (!MemoryChanged)
        return true;
    const int answer = FShell.ShowMessageBox("Do you want to save memory settings changes?", "Confirm",
                                             MsgBox::kYesNoCancel | MsgBox::kIconQuestion);
    if (answer != MsgBox::kIdYes)
        return answer == MsgBox::kIdNo;
    try {
        return Save();
    } catch (const std::exception& error) {
        // Program rule: a save that fails every time never keeps the program
        // from ending, and never ends it without the operator's word.
        const std::string question = Format(kNotSavedQuestion, FFileName.c_str(), Sentence(error.what()).c_str());
        return FShell.ShowMessageBox(question, "Confirm",
                                     MsgBox::kYesNo | MsgBox::kIconQuestion | MsgBox::kDefButton2) == MsgBox::kIdYes;
    }
}

void TMemories::MemoryListSelectCell(TObject*, int, int ARow, bool& CanSelect)
{
    if (ARow == 0)
        CanSelect = false;
}

void TMemories::MemoryListValidateEdit(TObject*, int ACol, int ARow, bool& Accept)
{
    if (ACol != kVfoACol && ACol != kVfoBCol)
        return;
    const std::optional<std::string> shown = ValidateFrequencyText(MemoryList.Cells(ACol, ARow));
    if (!shown) {
        Accept = false;
        return;
    }
    MemoryList.SetCells(ACol, ARow, *shown);
}

void TMemories::MemoryListAfterEdit(TObject*, int, int) { MemoryChanged = true; }

// Program rule: a cut or a paste changes the list like an edit does.
void TMemories::MemoryListClipboardEdit(TObject*, int, int) { MemoryChanged = true; }
