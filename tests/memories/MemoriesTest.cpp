#include <gtest/gtest.h>

#include "memories/Memories.h"
#include "rig/TransceiverUnit.h"
#include "tests/memories/FakeFileSystem.h"
#include "tests/memories/GridSupport.h"
#include "tests/rig/FakeRigServer.h"
#include "ui/Forms.h"
#include "ui/HeadlessHost.h"

namespace {

using Row = std::vector<std::string>;
using G = TStringAlignGrid;
using MemoryTests::kHeaderLine;

TEST(FrequencyValidationTest, Table)
{
    struct Case {
        const char* Typed;
        const char* Shown; // nullptr: rejected
    };
    const Case cases[] = {
        {"14074000", "14.074.000"},
        {"14.074.000", "14.074.000"},
        {"14,074,5", "14.074.500"},
        {"3.5.0", "3.005.000"},
        {"500000", "500.000"},
        {"100000", "100.000"},
        {"1234567890", "1234.567.890"},
        {"2147483647", "2147.483.647"},
        {"14074,", "14.074.000"},
        {"7.1", nullptr},
        {"99999", nullptr},
        {"14.074", nullptr},
        {"-1", nullptr},
        {"3000000000", nullptr},
        {"abc", nullptr},
        {"1 4074000", nullptr},
        // Everything before the third separator is kept, separators removed.
        {"1.234.567.890", "1234.567.890"},
        {"1.2.3.4", "12.003.400"},
        {"14.074.000,", nullptr},
        {"2.147.483.648", nullptr},
        // Blank stays as typed.
        {"", ""},
        {"  ", "  "},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> shown = ValidateFrequencyText(c.Typed);
        if (c.Shown) {
            ASSERT_TRUE(shown) << c.Typed;
            EXPECT_EQ(*shown, c.Shown) << c.Typed;
        } else {
            EXPECT_FALSE(shown) << c.Typed << " became " << shown.value_or("");
        }
    }
}

class MemoriesTest : public ::testing::Test {
protected:
    MemoriesTest()
    {
        auto rig = std::make_unique<TFakeRigServer>();
        Rig = rig.get();
        Trx = new TTransceiver(&App, std::move(rig));
        List = std::make_unique<TMemories>(*Trx, Files);
        List->OnShowWindow = [this] { ++Shown; };
        Grid().OnFocusNextControl = [this](TObject*) { ++FocusedNext; };
    }

    TStringAlignGrid& Grid() { return List->MemoryList; }

    // A new list, as at the next start.
    void Fresh() { List = std::make_unique<TMemories>(*Trx, Files); }

    void Load(const std::string& file)
    {
        Files.Files["velkor.mem"] = file;
        List->FormCreate();
    }

    void Type(const std::string& text)
    {
        for (char c : text)
            Grid().KeyPress(c);
    }
    void Enter() { Grid().KeyDown(G::kKeyReturn, 0); }

    Row RowOf(int row)
    {
        Row cells;
        for (int col = 0; col < Grid().ColCount(); ++col)
            cells.push_back(Grid().Cells(col, row));
        return cells;
    }


    THeadlessHost Host;
    TApplication App{Host};
    TFakeRigServer* Rig;
    TTransceiver* Trx;
    TFakeFileSystem Files;
    std::unique_ptr<TMemories> List;
    int Shown = 0;
    int FocusedNext = 0;
};

TEST_F(MemoriesTest, BuiltListAndItsLoad)
{
    List->FormCreate();
    EXPECT_EQ(RowOf(0), (Row{"Caption", "Mode", "VFO A", "VFO B"}));
    EXPECT_EQ(RowOf(1), (Row{"", "", "", ""}));
    EXPECT_EQ(Grid().RowCount(), 2);
    EXPECT_EQ(Grid().Row(), 1);
    EXPECT_FALSE(List->MemoryChanged);
    for (int col = 0; col < 4; ++col) {
        EXPECT_FALSE(Grid().IsCellEditable(col, 0));
        EXPECT_EQ(Grid().IsCellEditable(col, 1), col != TMemories::kModeCol);
        EXPECT_EQ(Grid().Alignment(col, 0), TCellAlign::Center);
        EXPECT_EQ(Grid().Alignment(col, 1), col == 0 ? TCellAlign::Left : TCellAlign::Center);
    }

    Load(kHeaderLine + "Home\tDIGI\t7.074.000\t\t\r\nNew freq\tUSB\t14250000\t-1\t\r\n");
    EXPECT_EQ(RowOf(2), (Row{"New freq", "USB", "14250000", "-1"}));
    EXPECT_EQ(Grid().Row(), 1);
    EXPECT_FALSE(List->MemoryChanged);
    EXPECT_TRUE(Host.MessageBoxes().empty()) << "no message for anything";
}

TEST_F(MemoriesTest, VfoToMemoryFillsTheFreshListThenAppends)
{
    List->FormCreate();
    List->AddMemory("New freq", "USB", 14250000, -1);
    EXPECT_EQ(Grid().RowCount(), 2);
    EXPECT_EQ(RowOf(1), (Row{"New freq", "USB", "14250000", "-1"}));
    EXPECT_EQ(Shown, 1);
    EXPECT_TRUE(List->MemoryChanged);
    EXPECT_TRUE(Grid().EditorMode());
    EXPECT_EQ(Grid().Col(), 0);
    EXPECT_EQ(Grid().EditorSelLength(), 8u) << "the caption all selected";

    List->AddMemory("New freq", "LSB", -1, 7050000);
    EXPECT_EQ(Grid().RowCount(), 3);
    EXPECT_EQ(RowOf(2), (Row{"New freq", "LSB", "-1", "7050000"}));
    EXPECT_EQ(Grid().Row(), 2);
    EXPECT_TRUE(Grid().EditorMode());
    EXPECT_EQ(Shown, 2);
}

TEST_F(MemoriesTest, OnlyAnUnusedFirstRowIsReused)
{
    struct Case {
        Row First;
        bool Reused;
    };
    const Case cases[] = {
        {{"", "", "", ""}, true},
        {{"", "", "0", "0"}, true}, // made by "Add"
        {{"", "USB", " 0", ""}, true},
        {{"x", "", "0", "0"}, false},
        {{"", "USB", "14250000", "-1"}, false}, // a memory without a caption
        {{"", "", "0", "-1"}, false},
        {{"", "", "", "7.074.000"}, false},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& field : c.First)
            line += field + "\t";
        Load(kHeaderLine + line + "\r\n");
        List->Addmemorysettings1Click();
        EXPECT_EQ(Grid().RowCount(), c.Reused ? 2 : 3) << line;
        EXPECT_EQ(RowOf(Grid().RowCount() - 1), (Row{"", "", "0", "0"})) << line;
        if (!c.Reused) {
            EXPECT_EQ(RowOf(1), c.First) << line;
        }
        Fresh();
    }
    Load(kHeaderLine + "\r\n\r\n");
    EXPECT_EQ(Grid().RowCount(), 3);
    List->Addmemorysettings1Click();
    EXPECT_EQ(Grid().RowCount(), 4) << "row 1 is reused only while it is the only memory";
}

TEST_F(MemoriesTest, EditingACaptionAndBothFrequencies)
{
    List->FormCreate();
    List->AddMemory("New freq", "USB", 14250000, -1);
    Type("Home");
    Enter();
    EXPECT_EQ(Grid().Cells(0, 1), "Home");
    EXPECT_EQ(Grid().Col(), TMemories::kVfoACol) << "Mode is passed over";
    EXPECT_TRUE(Grid().EditorMode());
    EXPECT_EQ(Grid().EditorText(), "14250000");
    Enter();
    EXPECT_EQ(Grid().Cells(2, 1), "14.250.000");
    EXPECT_EQ(Grid().Col(), TMemories::kVfoBCol);
    Enter();
    EXPECT_TRUE(Grid().EditorMode()) << "-1 is rejected and the editor stays";
    EXPECT_EQ(Grid().Col(), TMemories::kVfoBCol);
    EXPECT_EQ(Grid().EditorText(), "-1");
    Type("7.1");
    Enter();
    EXPECT_EQ(Grid().EditorText(), "7.1");
    Grid().KeyDown(G::kKeyEscape, 0);
    EXPECT_FALSE(Grid().EditorMode());
    EXPECT_EQ(Grid().Cells(3, 1), "7.1") << "Escape keeps the rejected text";
    EXPECT_EQ(FocusedNext, 0);

    Grid().KeyDown(G::kKeyF2, 0);
    Grid().SetEditorText("", 0, 0);
    Enter();
    EXPECT_EQ(Grid().Cells(3, 1), "") << "blank is accepted";
    EXPECT_FALSE(Grid().EditorMode());
    EXPECT_EQ(FocusedNext, 1) << "after the last cell the focus goes on to Set";
    EXPECT_EQ(Grid().RowCount(), 2) << "no row is added";
}

TEST_F(MemoriesTest, OnlyAcceptedEditsChangeTheList)
{
    const std::string file = kHeaderLine + "Home\tDIGI\t14250000\t\t\r\n";
    Load(file);
    Grid().SetCol(TMemories::kVfoACol);
    Type("12");
    Enter();
    Grid().KeyDown(G::kKeyEscape, 0);
    EXPECT_FALSE(List->MemoryChanged) << "rejected, then Escape";
    Load(file);
    Enter();
    Enter();
    EXPECT_EQ(Grid().Cells(2, 1), "14.250.000") << "Enter twice on the unchanged text reformats it";
    EXPECT_TRUE(List->MemoryChanged);
}

TEST_F(MemoriesTest, InsDuringAnEdit)
{
    List->FormCreate();
    Type("abc");
    List->Addmemorysettings1Click();
    EXPECT_EQ(RowOf(1), (Row{"abc", "", "", ""})) << "the edit ended as a move does";
    EXPECT_EQ(RowOf(2), (Row{"", "", "0", "0"}));
    EXPECT_EQ(Grid().Row(), 2);
    EXPECT_TRUE(Grid().EditorMode());

    Grid().CancelEdit();
    Grid().SetCurrentCell(TMemories::kVfoACol, 1);
    Type("12");
    List->Addmemorysettings1Click();
    EXPECT_EQ(Grid().RowCount(), 4) << "the memory is stored all the same";
    EXPECT_TRUE(Grid().EditorMode());
    EXPECT_EQ(Grid().Row(), 1) << "the editor stays on the rejected text";
    EXPECT_EQ(Grid().Col(), TMemories::kVfoACol);
    EXPECT_EQ(Grid().EditorText(), "12");
}

TEST_F(MemoriesTest, ModeColumnChangesByPopupAndClipboardOnly)
{
    class TClipboard : public IGridClipboard {
    public:
        bool SetText(const std::string& text) override { return Text = text, true; }
        bool GetText(std::string& bytes) override { return bytes = Text, true; }
        std::string Text;
    } clipboard;
    Load(kHeaderLine + "Home\tDIGI\t7.074.000\t\t\r\n");
    Grid().Clipboard = &clipboard;
    Grid().SetCol(TMemories::kModeCol);
    EXPECT_FALSE(Grid().KeyPress('U'));
    EXPECT_FALSE(Grid().EditorMode());
    EXPECT_TRUE(List->MemoryListDblClick());

    Grid().KeyDown(G::kKeyInsert, ssCtrl);
    EXPECT_EQ(clipboard.Text, "DIGI\t\r\n");
    EXPECT_FALSE(List->MemoryChanged) << "a copy changes nothing";
    List->DIGIR1Click("CW-R");
    EXPECT_EQ(Grid().Cells(1, 1), "CW-R");
    EXPECT_TRUE(List->MemoryChanged);

    for (auto key : {std::pair{G::kKeyInsert, ssShift}, std::pair{G::kKeyDelete, ssShift}}) {
        List->MemoryChanged = false;
        Grid().KeyDown(key.first, key.second);
        EXPECT_TRUE(List->MemoryChanged) << key.first;
    }
    EXPECT_EQ(Grid().Cells(1, 1), "");
    Grid().SetCol(TMemories::kVfoACol);
    EXPECT_FALSE(List->MemoryListDblClick());
}

TEST_F(MemoriesTest, SetSendsModeThenVfoAThenVfoB)
{
    using namespace RigParams;
    struct Case {
        Row Memory;
        std::vector<std::string> Puts;
        const char* Error;
    };
    const Case cases[] = {
        {{"", "USB", "14.250.000", "-1"},
         {Format("put Mode %d", SSB_U), "put FreqA 14250000", "put FreqB -1"},
         nullptr},
        {{"", "CW", "7,074,000", " 7.000.000 "},
         {Format("put Mode %d", CW_U), "put FreqA 7074000", "put FreqB 7000000"},
         nullptr},
        {{"", "DIGI", "14074000", " "}, {Format("put Mode %d", DIG_L), "put FreqA 14074000"}, nullptr},
        {{"", "", "-1", "7050000"}, {"put FreqA -1", "put FreqB 7050000"}, nullptr},
        {{"", "AM", "", "7050000"}, {Format("put Mode %d", AM)}, "'' is not a valid integer value"},
        {{"", "FM", "1 2.5", ""}, {Format("put Mode %d", FM)}, "'1 25' is not a valid integer value"},
        {{"", "LSB", "3.600.000", "x.y"},
         {Format("put Mode %d", SSB_L), "put FreqA 3600000"},
         "'xy' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& field : c.Memory)
            line += field + "\t";
        Load(kHeaderLine + "first\t\t\t\t\r\n" + line + "\r\n");
        Grid().SetRow(2);
        Rig->ClearLog();
        if (c.Error) {
            try {
                List->FlatButton1Click();
                ADD_FAILURE() << line << ": no error";
            } catch (const EConvertError& error) {
                EXPECT_EQ(error.Message(), c.Error) << line;
            }
        } else {
            List->FlatButton1Click();
        }
        EXPECT_EQ(Rig->Puts(), c.Puts) << line;
        EXPECT_EQ(Rig->LiveRigs, 0);
        EXPECT_FALSE(List->MemoryChanged);
    }
}

TEST_F(MemoriesTest, RemoveAsksAndNeverDropsTheLastMemory)
{
    struct Case {
        int Memories;
        int Answer;
        int RowsAfter;
        bool Changed;
    };
    const Case cases[] = {
        {3, MsgBox::kIdNo, 4, false},
        {3, MsgBox::kIdYes, 3, true},
        {1, MsgBox::kIdYes, 2, true},
    };
    for (const Case& c : cases) {
        std::string file = kHeaderLine;
        for (int i = 1; i <= c.Memories; ++i)
            file += Format("m%d\t\t\t\t\r\n", i);
        Load(file);
        Grid().SetRow(c.Memories);
        Host.AnswerMessageBox(c.Answer);
        List->Deleterecord1Click();
        const THeadlessHost::TMessageBoxCall& box = Host.MessageBoxes().back();
        EXPECT_EQ(box.Text, "Do you really want to delete selected record?");
        EXPECT_EQ(box.Caption, "Confirm");
        EXPECT_EQ(box.Style, MsgBox::kYesNo | MsgBox::kIconQuestion);
        EXPECT_EQ(Grid().RowCount(), c.RowsAfter);
        EXPECT_EQ(List->MemoryChanged, c.Changed);
        EXPECT_EQ(Grid().Cells(0, 1), "m1");
        if (c.Memories == 3 && c.Answer == MsgBox::kIdYes) {
            EXPECT_EQ(Grid().Cells(0, Grid().Row()), "m2") << "the last row went; the new last row is current";
        }
        Fresh();
    }
}

TEST_F(MemoriesTest, SortItemsSortByTheirColumnAsTextKeepingTheSelection)
{
    Load(kHeaderLine + "a\tUSB\t-1\t5\t\r\nb\tAM\t7.074.000\t4\t\r\nc\tCW\t14074000\t3\t\r\n"
                       "d\tFM\t0\t2\t\r\ne\tLSB\t14.074.000\t1\t\r\n");
    Grid().SetRow(3); // "c"
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { List->SortbyFreqA1Click(); }, "adecb"}, // -1, 0, 14.074.000, 14074000, 7.074.000
        {[&] { List->SortByFreqB1Click(); }, "edcba"},
        {[&] { List->Sortbyname1Click(); }, "abcde"},
        {[&] { List->Sortbymode1Click(); }, "bcdea"}, // AM, CW, FM, LSB, USB
    };
    for (const auto& [click, order] : cases) {
        click();
        std::string captions;
        for (int row = 1; row < Grid().RowCount(); ++row)
            captions += Grid().Cells(0, row);
        EXPECT_EQ(captions, order);
        EXPECT_EQ(Grid().Cells(0, Grid().Row()), "c") << "the selected memory stays selected";
    }
    EXPECT_EQ(Grid().Cells(0, 0), "Caption");
    EXPECT_FALSE(List->MemoryChanged);
}

TEST_F(MemoriesTest, CloseCheckAndSave)
{
    List->FormCreate();
    EXPECT_TRUE(List->CloseCheck());
    EXPECT_TRUE(Host.MessageBoxes().empty()) << "nothing to ask";

    List->AddMemory("New freq", "USB", 14250000, -1);
    Grid().CancelEdit();
    struct Case {
        int Answer;
        bool Allowed;
        bool Saved;
    };
    const Case cases[] = {
        {MsgBox::kIdNo, true, false},
        {MsgBox::kIdCancel, false, false},
        {MsgBox::kIdYes, true, true},
    };
    for (const Case& c : cases) {
        Files.Files.erase("velkor.mem");
        Host.AnswerMessageBox(c.Answer);
        EXPECT_EQ(List->CloseCheck(), c.Allowed) << c.Answer;
        EXPECT_EQ(Host.MessageBoxes().back().Text, "Do you want to save memory settings changes?");
        EXPECT_EQ(Host.MessageBoxes().back().Style, MsgBox::kYesNoCancel | MsgBox::kIconQuestion);
        EXPECT_EQ(Files.Files.count("velkor.mem"), c.Saved ? 1u : 0u) << c.Answer;
        EXPECT_TRUE(List->MemoryChanged) << "a save does not clear the flag";
    }
    EXPECT_EQ(Files.Files["velkor.mem"], kHeaderLine + "New freq\tUSB\t14250000\t-1\t\r\n");

    Files.FailReplace = true;
    Host.AnswerMessageBox(MsgBox::kIdYes);
    bool allowed = true;
    DispatchEvent([&] { allowed = List->CloseCheck(); });
    EXPECT_TRUE(allowed) << "untouched: the error ended the handler";
    EXPECT_EQ(Host.MessageBoxes().back().Text, "Cannot create file velkor.mem.");
    EXPECT_EQ(Files.Files["velkor.mem"], kHeaderLine + "New freq\tUSB\t14250000\t-1\t\r\n");
}

} // namespace
