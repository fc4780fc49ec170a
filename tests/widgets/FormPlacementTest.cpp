#include <gtest/gtest.h>

#include "tests/support/HeadlessHost.h"
#include "tests/support/MemoryRegistry.h"
#include "widgets/FormPlacement.h"

namespace {

const char* const kMainKey = "software\\Velkor\\WindowPos";
const char* const kListKey = "software\\Velkor\\MemoryWinPos";
constexpr TRegRoot kUser = TRegRoot::CurrentUser;

TGraphicControl* Label(TForm* form, const char* name, const char* caption, int32_t tag = 0)
{
    auto* label = new TGraphicControl(form);
    label->SetName(name);
    label->SetCaption(caption);
    label->SetTag(tag);
    return label;
}

// One run of the program: the borderless main window with its stored
// settings, and the memory list window, both at their design places.
struct TRun {
    explicit TRun(IRegistry& registry, std::vector<std::string>* log = nullptr)
    {
        App.SetTitle("Velkor");
        Main = new TForm(&App);
        Main->SetBorderStyle(TFormBorderStyle::bsNone);
        Main->SetBounds(370, 113, 233, 107);
        if (log) {
            // The window's own handler runs while the window is still hidden.
            Main->OnShow = [this, log](TObject*) {
                log->push_back(Host.WindowOf(*Main).Visible ? "show, visible" : "show");
            };
            Main->OnCloseQuery = [this, log](TObject*, bool& canClose) {
                log->push_back("close query");
                canClose = AllowClose;
            };
            Main->OnDestroy = [log](TObject*) { log->push_back("destroy"); };
        }
        OnOff = Label(Main, "On_Offlbl", "OFF");
        Titlebar = Label(Main, "Titlebar", "None");
        Memo = Label(Main, "lblMemo", "Memory", 400);
        Setup = Label(Main, "lblSetup", "TRX settings", 200);
        Storage = new TFormStorage(Main, registry);
        Storage->SetIniSection("\\software\\Velkor\\WindowPos");
        Storage->SetStoredProps({"On_Offlbl.Caption", "Titlebar.Caption", "lblMemo.Tag", "lblSetup.Tag"});
        Storage->OnRestorePlacement = [this, log](TObject*) {
            ++Restores;
            if (log)
                log->push_back("restored " + OnOff->Caption());
        };
        Storage->OnSavePlacement = [log](TObject*) {
            if (log)
                log->push_back("saved");
        };

        List = new TForm(&App);
        List->SetBorderStyle(TFormBorderStyle::bsNone);
        List->SetBounds(100, 100, 300, 200);
        ListPlacement = new TFormPlacement(List, registry);
        ListPlacement->SetIniSection("\\software\\Velkor\\MemoryWinPos");
    }

    THeadlessHost Host;
    TApplication App{Host};
    TForm* Main;
    TForm* List;
    TGraphicControl *OnOff, *Titlebar, *Memo, *Setup;
    TFormStorage* Storage;
    TFormPlacement* ListPlacement;
    int Restores = 0;
    bool AllowClose = true;
};

class FormPlacementTest : public ::testing::Test {
protected:
    ~FormPlacementTest() override { EXPECT_EQ(Reg.OpenKeys(), 0) << "the storage holds nothing open"; }
    void Store(const char* key, std::vector<std::pair<std::string, std::string>> values)
    {
        for (const auto& [name, text] : values)
            Reg.SetString(kUser, key, name, text);
    }
    std::string Stored(const char* key, const char* name) const
    {
        auto value = Reg.Value(kUser, key, name);
        return value ? value->Data : "<missing>";
    }

    TMemoryRegistry Reg;
};

TEST_F(FormPlacementTest, FirstRunKeepsDesignAndFirstCloseWritesEveryValueInOrder)
{
    TRun run(Reg);
    run.Main->Show();
    EXPECT_EQ(run.Main->BoundsRect(), (TRect{370, 113, 603, 220}));
    EXPECT_EQ(run.Main->WindowState(), TWindowState::wsNormal);
    EXPECT_EQ(run.Restores, 1);
    EXPECT_EQ(run.Main->MaxPosition(), (TPoint{0, 0}));

    run.Main->Close();
    ASSERT_TRUE(run.Host.Terminated());
    const std::vector<TMemoryRegistry::TWrite> expected = {
        {kMainKey, "FormVersion", "0"},
        {kMainKey, "Flags", "0"},
        {kMainKey, "ShowCmd", "1"},
        {kMainKey, "PixelsPerInch", "96"},
        {kMainKey, "MinMaxPos(1024x768)", "-1,-1,-1,-1"},
        {kMainKey, "MinMaxPos", "-1,-1,-1,-1"},
        {kMainKey, "NormPos(1024x768)", "370,113,603,220"},
        {kMainKey, "NormPos", "370,113,603,220"},
        {kMainKey, "Visible", "0"},
        {kMainKey, "On_Offlbl_Caption", "OFF"},
        {kMainKey, "Titlebar_Caption", "None"},
        {kMainKey, "lblMemo_Tag", "400"},
        {kMainKey, "lblSetup_Tag", "200"},
    };
    EXPECT_EQ(Reg.Writes(), expected);
    // The file key is made, and nothing goes under it.
    EXPECT_TRUE(Reg.HasKey(kUser, "Software\\velkor"));
    EXPECT_TRUE(Reg.ValueNames(kUser, "Software\\velkor").empty());

    // The end of the program saves nothing more, and a memory list never shown writes nothing.
    delete run.Main;
    delete run.List;
    EXPECT_EQ(Reg.Writes().size(), expected.size());
    EXPECT_FALSE(Reg.HasKey(kUser, kListKey));
}

TEST_F(FormPlacementTest, RestoresPlaceAndStateFromWhatIsStored)
{
    struct TCase {
        const char* Name;
        std::vector<std::pair<std::string, std::string>> Values;
        int PixelsPerInch;
        TPoint Place;
        TWindowState State;
        bool MinimizePosted;
    };
    const std::vector<TCase> cases = {
        {"plain position", {{"NormPos", "100,50,333,157"}}, 96, {100, 50}, TWindowState::wsNormal, false},
        {"this resolution's position wins",
         {{"NormPos(1024x768)", "200,60,433,167"}, {"NormPos", "10,10,243,117"}},
         96, {200, 60}, TWindowState::wsNormal, false},
        {"changed resolution falls back to the plain copy",
         {{"NormPos(800x600)", "5,5,238,112"}, {"NormPos", "30,40,263,147"}},
         96, {30, 40}, TWindowState::wsNormal, false},
        {"empty value for this resolution falls back",
         {{"NormPos(1024x768)", ""}, {"NormPos", "30 40 263 147"}}, 96, {30, 40}, TWindowState::wsNormal, false},
        {"a wider stored rectangle moves but does not size", {{"NormPos", "100,50,900,700"}}, 96, {100, 50},
         TWindowState::wsNormal, false},
        {"a bad word keeps the current value", {{"NormPos", "abc,60"}}, 96, {370, 60}, TWindowState::wsNormal, false},
        {"other pixels per inch: place kept, state restored",
         {{"NormPos", "100,50,333,157"}, {"PixelsPerInch", "120"}, {"ShowCmd", "3"}},
         96, {370, 113}, TWindowState::wsMaximized, false},
        {"minimised main window minimises the application", {{"ShowCmd", "2"}}, 96, {370, 113},
         TWindowState::wsNormal, true},
        {"unknown show command keeps normal", {{"ShowCmd", "11"}}, 96, {370, 113}, TWindowState::wsNormal, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TMemoryRegistry reg;
        for (const auto& [name, text] : c.Values)
            reg.SetString(kUser, kMainKey, name, text);
        TRun run(reg);
        run.Host.SetScreen({1024, 768}, c.PixelsPerInch);
        run.Main->Show();
        EXPECT_TRUE(run.Host.WindowOf(*run.Main).Visible);
        EXPECT_EQ(run.Main->BoundsRect(), (TRect{c.Place.X, c.Place.Y, c.Place.X + 233, c.Place.Y + 107}));
        EXPECT_EQ(run.Main->WindowState(), c.State);
        EXPECT_EQ(run.Host.MinimizePosted(), c.MinimizePosted);
        EXPECT_EQ(run.Restores, 1);
        delete run.Main; // saves, so the store must still stand
    }
}

TEST_F(FormPlacementTest, StoredPropertiesComeBackTrimmedAndByTheIntegerRule)
{
    Store(kMainKey, {{"On_Offlbl_Caption", " ON"}, {"lblMemo_Tag", "abc"}, {"lblSetup_Tag", " $10 "}});
    Reg.SetValue(kUser, kMainKey, "Titlebar_Caption", {RegType::kDWord, std::string("\x05\0\0\0", 4)});
    TRun run(Reg);
    run.Main->Show();
    EXPECT_EQ(run.OnOff->Caption(), "ON");
    EXPECT_EQ(run.Titlebar->Caption(), "None"); // a value of another type is passed over
    EXPECT_EQ(run.Memo->Tag(), 0);
    EXPECT_EQ(run.Setup->Tag(), 16);
    EXPECT_TRUE(run.Host.MessageBoxes().empty());

    // Entries naming nothing are ignored; names are trimmed.
    run.Storage->SetStoredProps({" On_Offlbl . Caption ", "Missing.Caption", "lblMemo.Colour", "lblSetup.", "Tag"});
    run.OnOff->SetCaption("  ");
    Reg.ClearWrites();
    run.Main->Close();
    ASSERT_EQ(Reg.Writes().size(), 10u);
    EXPECT_EQ(Reg.Writes().back(), (TMemoryRegistry::TWrite{kMainKey, "On_Offlbl_Caption", ""}));
}

TEST_F(FormPlacementTest, StoredVersionBelowTheComponentsSkipsTheWholeRestore)
{
    Store(kMainKey, {{"FormVersion", "-1"}, {"NormPos", "100,50,333,157"}, {"On_Offlbl_Caption", "ON"}});
    TRun run(Reg);
    run.Main->Show();
    EXPECT_EQ(run.Main->Left(), 370);
    EXPECT_EQ(run.OnOff->Caption(), "OFF");
    EXPECT_EQ(run.Restores, 0);
    run.Main->Close(); // still counts as restored
    EXPECT_EQ(Stored(kMainKey, "FormVersion"), "0");
}

TEST_F(FormPlacementTest, MinimisedApplicationClosedStartsMinimisedNextTime)
{
    {
        TRun run(Reg);
        run.Main->Show();
        run.Host.MinimizeApplication();
        // The system may keep the window's own record normal while the
        // application, not the window, is minimised.
        TWindowPlacement placement = run.Main->GetPlacement();
        placement.ShowCmd = ShowCmd::Normal;
        run.Main->SetPlacement(placement);
        run.Main->Close();
    }
    EXPECT_EQ(Stored(kMainKey, "ShowCmd"), "2");
    TRun next(Reg);
    next.Main->Show();
    EXPECT_EQ(next.Main->WindowState(), TWindowState::wsNormal);
    next.App.ProcessMessages();
    EXPECT_TRUE(next.Host.IsApplicationMinimized());
}

TEST_F(FormPlacementTest, HooksRunAroundTheWindowsOwnHandlers)
{
    std::vector<std::string> log;
    Store(kMainKey, {{"On_Offlbl_Caption", "ON"}, {"NormPos", "100,50,333,157"}});
    TRun run(Reg, &log);
    run.Main->Show();
    run.AllowClose = false;
    run.Main->Close();
    EXPECT_TRUE(Reg.Writes().empty());
    run.AllowClose = true;
    run.Main->Close();
    delete run.Main;
    const std::vector<std::string> expected = {"restored ON", "show", "close query", "close query", "saved", "destroy"};
    EXPECT_EQ(log, expected);
}

TEST_F(FormPlacementTest, MemoryListSavesAtEachCloseAndAtTheEndOnlyWhenOpen)
{
    {
        TRun run(Reg);
        run.List->Show();
        run.List->Close();
        EXPECT_FALSE(run.List->Visible());
        EXPECT_EQ(Stored(kListKey, "Visible"), "0");
        Reg.ClearWrites();
        delete run.List; // closed since its last show: nothing more
        EXPECT_TRUE(Reg.Writes().empty());
    }

    TRun second(Reg);
    second.List->SetBounds(10, 10, 300, 200);
    second.List->Show();
    EXPECT_EQ(second.List->Left(), 100);
    delete second.List;
    EXPECT_EQ(Stored(kListKey, "Visible"), "1");
}

TEST_F(FormPlacementTest, ErrorsGoToTheErrorReportAndTheWindowGoesOn)
{
    struct TCase {
        const char* Name;
        std::function<void(TMemoryRegistry&)> Setup;
        const char* Message; // empty: no report
        size_t Writes;
    };
    const std::vector<TCase> cases = {
        {"key cannot be made", [](TMemoryRegistry& r) { r.DenyCreate(kUser, "software"); },
         "Failed to create key software\\Velkor\\WindowPos.", 0},
        {"value cannot be written", [](TMemoryRegistry& r) { r.FailWrite(kUser, kMainKey, "ShowCmd"); },
         "Failed to set data for 'ShowCmd'", 2},
        {"key cannot be opened", [](TMemoryRegistry& r) { r.DenyOpen(kUser, kMainKey); }, "", 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TMemoryRegistry reg;
        c.Setup(reg);
        TRun run(reg);
        run.Main->Show();
        run.Main->Close();
        EXPECT_TRUE(run.Host.Terminated());
        EXPECT_EQ(reg.Writes().size(), c.Writes);
        const auto& boxes = run.Host.MessageBoxes();
        if (*c.Message) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].Text, c.Message);
            EXPECT_EQ(boxes[0].Caption, "Velkor");
            EXPECT_EQ(boxes[0].Style, MsgBox::kOk | MsgBox::kIconError);
        } else {
            EXPECT_TRUE(boxes.empty());
        }
    }
}

TEST_F(FormPlacementTest, WrongTypeInThePlacementIsReportedAndTheWindowIsNotSavedUntilRestored)
{
    TRun run(Reg);
    run.List->Show();
    run.List->Close();
    Reg.SetValue(kUser, kListKey, "NormPos(1024x768)", {RegType::kDWord, std::string(4, '\0')});
    Reg.ClearWrites();
    run.List->Show();
    EXPECT_TRUE(run.List->Visible());
    ASSERT_EQ(run.Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(run.Host.MessageBoxes()[0].Text, "Invalid data type for 'NormPos(1024x768)'");
    EXPECT_EQ(run.Host.MessageBoxes()[0].Caption, "Velkor");
    delete run.List;
    EXPECT_TRUE(Reg.Writes().empty());
}

TEST_F(FormPlacementTest, AComponentGoneLeavesTheWindowsOwnHandlers)
{
    std::vector<std::string> log;
    TRun run(Reg, &log);
    delete run.Storage;
    run.Main->Show();
    run.Main->Close();
    delete run.Main;
    EXPECT_EQ(log, (std::vector<std::string>{"show", "close query", "destroy"}));
    EXPECT_FALSE(Reg.HasKey(kUser, kMainKey));
}

} // namespace
