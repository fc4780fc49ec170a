#include "memories/ListUnit.h"

#include <exception>
#include <utility>

#include "platform/ProgramKey.h"

TListForm::TListForm(TComponent* AOwner, TTransceiver& transceiver, IFileSystem& files, IRegistry& registry,
                     std::string fileName)
    : TForm(AOwner), FMemories(std::make_unique<TMemories>(App().Shell(), transceiver, files, std::move(fileName)))
{
    SetName("ListForm");
    SetBorderStyle(TFormBorderStyle::bsNone);
    SetCaption("Memories");
    SetBounds(kDesignLeft, kDesignTop, 535, 297);
    SetColor(clBlack);
    BuildControls();
    BuildMenus();
    MemoryList->SetPopupMenu(PopupMenu1);
    SetActiveControl(MemoryList);

    FMemories->OnShowWindow = [this] { Show(); };
    TStringAlignGrid& grid = FMemories->MemoryList;
    grid.OnFocusNextControl = [this](TObject*) { SelectNext(MemoryList); };
    grid.OnFocusGrid = [this](TObject*) { SetActiveControl(MemoryList); };

    OnCreate = [this](TObject* sender) { FormCreate(sender); };

    // Made after the handlers above, which it wraps.
    FormPlacement1 = new TFormPlacement(this, registry);
    FormPlacement1->SetName("FormPlacement1");
    FormPlacement1->SetIniSection(kMemoryWindowPlacementKey);

    DoCreate();
}

TListForm::~TListForm()
{
    // The controls go while the model they show still stands; OnDestroy (the
    // placement's save) runs first, as it would anyway.
    BeforeDestruction();
    DestroyComponents();
}

void TListForm::BuildControls()
{
    const FlatChrome::TTitle title =
        FlatChrome::MakeTitle(*this, {"ListTitle", {2, 2, 531, 19}, "Memories", "FlatSpeedButton1", 512});
    ListTitle = title.Bar;
    FlatSpeedButton1 = title.Close;
    FlatSpeedButton1->OnClick = [this](TObject* sender) { FlatSpeedButton1Click(sender); };

    MemoryList = new TStringAlignGridControl(this, FMemories->MemoryList);
    MemoryList->SetName("MemoryList");
    MemoryList->SetParent(this);
    MemoryList->SetBounds(2, 22, 531, 248);
    MemoryList->SetColor(kFaceColor);
    MemoryList->Font().SetColor(FlatChrome::kTextColor);
    MemoryList->SetDefaultRowHeight(20);
    MemoryList->SetColWidths({336, 64, 64, 63});
    MemoryList->OnDblClick = [this](TObject* sender) { MemoryListDblClick(sender); };

    Panel1 = new TPanel(this);
    Panel1->SetName("Panel1");
    Panel1->SetParent(this);
    Panel1->SetBounds(2, 270, 531, 25);
    Panel1->SetColor(kFaceColor);
    Panel1->Font().SetColor(FlatChrome::kTextColor);

    FlatButton3 = MakeButton("FlatButton3", 5, 60, "Add", [this](TObject* s) { Addmemorysettings1Click(s); });
    FlatButton4 = MakeButton("FlatButton4", 69, 60, "Remove", [this](TObject* s) { Deleterecord1Click(s); });
    FlatButton1 = MakeButton("FlatButton1", 277, 79, "Set", [this](TObject* s) { FlatButton1Click(s); });
    FlatButton1->SetDefault(true);
    bSave = MakeButton("bSave", 365, 79, "Save", [this](TObject* s) { bSaveClick(s); });
    FlatButton2 = MakeButton("FlatButton2", 453, 75, "Close", [this](TObject* s) { FlatButton2Click(s); });
    // The grid first, then "Set", "Close", "Save", "Add", "Remove".
    int order = 0;
    for (TFlatButton* button : {FlatButton1, FlatButton2, bSave, FlatButton3, FlatButton4})
        button->SetTabOrder(order++);
}

TFlatButton* TListForm::MakeButton(const char* name, int left, int width, const char* caption, TNotifyEvent onClick)
{
    return FlatChrome::MakeButton(*this, *Panel1, name, {left, 3, width, 19}, caption, std::move(onClick));
}

void TListForm::BuildMenus()
{
    PopupMenu1 = new TPopupMenu(this);
    PopupMenu1->SetName("PopupMenu1");
    Addmemorysettings1 = PopupMenu1->AddItem(this, "Addmemorysettings1", "Add record", Vk::Insert,
                                 [this](TObject* s) { Addmemorysettings1Click(s); });
    Deleterecord1 = PopupMenu1->AddItem(this, "Deleterecord1", "Delete record", scCtrl | Vk::Delete,
                            [this](TObject* s) { Deleterecord1Click(s); });
    N1 = PopupMenu1->AddItem(this, "N1", "-", 0, {});
    Sortbyname1 = PopupMenu1->AddItem(this, "Sortbyname1", "Sort by name", scCtrl | 'N',
                          [this](TObject* s) { Sortbyname1Click(s); });
    Sortbymode1 = PopupMenu1->AddItem(this, "Sortbymode1", "Sort by mode", scCtrl | 'M',
                          [this](TObject* s) { Sortbymode1Click(s); });
    SortbyFreqA1 = PopupMenu1->AddItem(this, "SortbyFreqA1", "Sort by FreqA", scCtrl | 'A',
                           [this](TObject* s) { SortbyFreqA1Click(s); });
    SortByFreqB1 = PopupMenu1->AddItem(this, "SortByFreqB1", "Sort by FreqB", scCtrl | 'B',
                           [this](TObject* s) { SortByFreqB1Click(s); });

    ModeMenu = new TPopupMenu(this);
    ModeMenu->SetName("ModeMenu");
    const char* const names[] = {"CW1", "USB1", "LSB1", "DIGI1", "AM1", "FM1", "CWR1", "DIGIR1"};
    int i = 0;
    for (const char* mode : TMemories::kModeMenuItems)
        ModeMenu->AddItem(this, names[i++], mode, 0, [this](TObject* s) { DIGIR1Click(s); });
}

void TListForm::Changing(const std::function<void()>& change)
{
    try {
        change();
    } catch (...) {
        MemoryList->ModelChanged();
        throw;
    }
    MemoryList->ModelChanged();
}

// ---------------------------------------------------------------- the main window's calls

void TListForm::AddMemory(const std::string& caption, const std::string& mode, int32_t vfoA, int32_t vfoB)
{
    // The caption is to be typed at once: the grid takes the keys.
    if (ActiveControl() != MemoryList)
        SetActiveControl(MemoryList);
    Changing([&] { FMemories->AddMemory(caption, mode, vfoA, vfoB); });
}

bool TListForm::CloseCheck()
{
    // Program rule: a cell being edited counts as what it shows, validated,
    // so that closing the program never drops what was typed unasked.
    Changing([this] { FMemories->MemoryList.ApplyEdit(); });
    return FMemories->CloseCheck();
}

// ---------------------------------------------------------------- handlers

void TListForm::FormCreate(TObject*)
{
    Changing([this] { FMemories->FormCreate(); });
}

void TListForm::Addmemorysettings1Click(TObject*)
{
    Changing([this] { FMemories->Addmemorysettings1Click(); });
}

void TListForm::Deleterecord1Click(TObject*)
{
    Changing([this] { FMemories->Deleterecord1Click(); });
}

void TListForm::FlatButton1Click(TObject*) { FMemories->FlatButton1Click(); }

void TListForm::bSaveClick(TObject*) { FMemories->bSaveClick(); }

void TListForm::FlatButton2Click(TObject*) { Close(); }

void TListForm::FlatSpeedButton1Click(TObject*) { Close(); }

void TListForm::Sortbyname1Click(TObject*)
{
    Changing([this] { FMemories->Sortbyname1Click(); });
}

void TListForm::Sortbymode1Click(TObject*)
{
    Changing([this] { FMemories->Sortbymode1Click(); });
}

void TListForm::SortbyFreqA1Click(TObject*)
{
    Changing([this] { FMemories->SortbyFreqA1Click(); });
}

void TListForm::SortByFreqB1Click(TObject*)
{
    Changing([this] { FMemories->SortByFreqB1Click(); });
}

void TListForm::MemoryListDblClick(TObject*)
{
    if (!FMemories->MemoryListDblClick())
        return;
    const TPoint mouse = App().Screen().CursorPos();
    ModeMenu->Popup(mouse.X, mouse.Y);
}

void TListForm::DIGIR1Click(TObject* Sender)
{
    Changing([&] { FMemories->DIGIR1Click(static_cast<TMenuItem*>(Sender)->Caption()); });
}
