#pragma once
// TListForm: the memory list window. A borderless window with its title bar,
// the memory grid, and the buttons Add, Remove, Set, Save and Close; the
// grid's context menu and the mode popup. The list's rules live in TMemories;
// this unit builds the window, wires its events to them and keeps the grid
// on the screen in step with the model.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "memories/Memories.h"
#include "memories/StringAlignGridControl.h"
#include "platform/Files.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/StdCtrls.h"
#include "widgets/FlatChrome.h"
#include "widgets/FormPlacement.h"

class TTransceiver;

class TListForm : public TForm {
public:
    // Builds the window, hidden, and runs FormCreate, which loads the memory
    // file (fileName in the current directory). Set sends through the
    // transceiver; the load and Save go through files; the window's place is
    // kept in registry. All three outlive the form.
    TListForm(TComponent* AOwner, TTransceiver& transceiver, IFileSystem& files, IRegistry& registry,
              std::string fileName = kMemoryFileName);
    ~TListForm() override;

    // The list's rules and the grid model.
    TMemories& Memories() { return *FMemories; }
    bool MemoryChanged() const { return FMemories->MemoryChanged; }

    // Called by the main window: stores a memory and shows the window with
    // the caption ready to be typed over.
    void AddMemory(const std::string& caption, const std::string& mode, int32_t vfoA, int32_t vfoB);
    // Asked before the program closes: true when it may. An open edit ends
    // first (validated), so that what was typed counts as a change; with
    // unsaved changes the operator is asked whether to save, and after a
    // failed save whether to close without saving.
    bool CloseCheck();

    // Event handlers.
    void FormCreate(TObject* Sender);
    void Addmemorysettings1Click(TObject* Sender);
    void Deleterecord1Click(TObject* Sender);
    void FlatButton1Click(TObject* Sender);
    void bSaveClick(TObject* Sender);
    void FlatButton2Click(TObject* Sender);
    void FlatSpeedButton1Click(TObject* Sender);
    void Sortbyname1Click(TObject* Sender);
    void Sortbymode1Click(TObject* Sender);
    void SortbyFreqA1Click(TObject* Sender);
    void SortByFreqB1Click(TObject* Sender);
    void MemoryListDblClick(TObject* Sender);
    void DIGIR1Click(TObject* Sender);

    // Controls and components, as the window is designed.
    TFlatTitlebar* ListTitle;
    TFlatSpeedButton* FlatSpeedButton1;
    TStringAlignGridControl* MemoryList;
    TPanel* Panel1;
    TFlatButton* FlatButton3; // "Add"
    TFlatButton* FlatButton4; // "Remove"
    TFlatButton* FlatButton1; // "Set"
    TFlatButton* bSave;       // "Save"
    TFlatButton* FlatButton2; // "Close"
    TPopupMenu* PopupMenu1;
    TMenuItem* Addmemorysettings1;
    TMenuItem* Deleterecord1;
    TMenuItem* N1;
    TMenuItem* Sortbyname1;
    TMenuItem* Sortbymode1;
    TMenuItem* SortbyFreqA1;
    TMenuItem* SortByFreqB1;
    TPopupMenu* ModeMenu;
    TFormPlacement* FormPlacement1;

    static constexpr TColor kFaceColor = FlatChrome::kFaceColor;
    static constexpr TColor kTitleColor = FlatChrome::kTitleColor;
    static constexpr int kDesignLeft = 370;
    static constexpr int kDesignTop = 222;

private:
    void BuildControls();
    void BuildMenus();
    TFlatButton* MakeButton(const char* name, int left, int width, const char* caption, TNotifyEvent onClick);
    // Runs a change of the model, then brings the grid on the screen in step
    // with it, also when the change fails.
    void Changing(const std::function<void()>& change);

    std::unique_ptr<TMemories> FMemories;
};
