#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "memories/Memories.h"
#include "rig/TransceiverUnit.h"
#include "tests/memories/GridSupport.h"
#include "tests/support/FakeFileSystem.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"
#include "ui/Keys.h"

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
        // Decimal digits only: no hexadecimal, no sign.
        {"$1.000.000", nullptr},
        {"x123.456", nullptr},
        {"0x1000000", nullptr},
        {"$FFFFFF", nullptr},
        {"+14.074.000", nullptr},
        {"-14074000", nullptr},
        {"14.O74.000", nullptr},
        // Blanks around are not part of it.
        {" 14074000", "14.074.000"},
        {"14.074.000\t", "14.074.000"},
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
        Trx = new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(rig));
        List = std::make_unique<TMemories>(Host, *Trx, Files);
        List->OnShowWindow = [this] { ++Shown; };
        Grid().OnFocusNextControl = [this](TObject*) { ++FocusedNext; };
    }

    TStringAlignGrid& Grid() { return List->MemoryList; }

    // A new list, as at the next start.
    void Fresh() { List = std::make_unique<TMemories>(Host, *Trx, Files); }

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
    void Enter() { Grid().KeyDown(Vk::Return, 0); }

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
    EXPECT_EQ(Grid().Editor().SelLength(Grid().EditorText()), 8u) << "the caption all selected";

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
    Grid().KeyDown(Vk::Escape, 0);
    EXPECT_FALSE(Grid().EditorMode());
    EXPECT_EQ(Grid().Cells(3, 1), "7.1") << "Escape keeps the rejected text";
    EXPECT_EQ(FocusedNext, 0);

    Grid().KeyDown(Vk::F2, 0);
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
    Grid().KeyDown(Vk::Escape, 0);
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

    Grid().KeyDown(Vk::Insert, ssCtrl);
    EXPECT_EQ(clipboard.Text, "DIGI\t\r\n");
    EXPECT_FALSE(List->MemoryChanged) << "a copy changes nothing";
    List->DIGIR1Click("CW-R");
    EXPECT_EQ(Grid().Cells(1, 1), "CW-R");
    EXPECT_TRUE(List->MemoryChanged);

    for (auto key : {std::pair{Vk::Insert, ssShift}, std::pair{Vk::Delete, ssShift}}) {
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
        // What a hand-edited file may hold: decimal digits and "-1" only.
        {{"", "", " 7.050.000 ", "-.1"}, {"put FreqA 7050000", "put FreqB -1"}, nullptr},
        {{"", "", "$1.000.000", ""}, {}, "'$1000000' is not a valid integer value"},
        {{"", "", "x123.456", ""}, {}, "'x123456' is not a valid integer value"},
        {{"", "", "0x10", ""}, {}, "'0x10' is not a valid integer value"},
        {{"", "", "+7050000", ""}, {}, "'+7050000' is not a valid integer value"},
        {{"", "", "7050000", "-5"}, {"put FreqA 7050000"}, "'-5' is not a valid integer value"},
        {{"", "", "2147483648", ""}, {}, "'2147483648' is not a valid integer value"},
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

    // A save that fails asks whether to close anyway; unanswered, "No".
    Grid().SetCells(0, 1, "Net");
    Files.Unreplaceable.insert("velkor.mem");
    Host.AnswerMessageBox(MsgBox::kIdYes);
    bool allowed = true;
    DispatchEvent(&App, [&] { allowed = List->CloseCheck(); });
    EXPECT_FALSE(allowed);
    EXPECT_EQ(Host.MessageBoxes().back().Text.rfind("The memory list could not be saved as velkor.mem.\n\nCannot "
                                                    "create file velkor.mem.\n\nClose Velkor without saving it?",
                                                    0),
              0u);
    EXPECT_EQ(Files.Files["velkor.mem"], kHeaderLine + "New freq\tUSB\t14250000\t-1\t\r\n");
}

// Program rule: a file another program changed, replaced at the operator's
// word, is kept under its own name; the saves after it (Save pressed again,
// "Yes" at the closing question, later changes saved) never touch it.
TEST_F(MemoriesTest, AChangedFileReplacedAtTheOperatorsWordOutlivesEveryLaterSave)
{
    const std::string kept = "velkor.mem.changed-2024-06-01";
    struct Case {
        const char* What;
        std::function<bool()> Again;
        size_t Boxes; // asked by Again
    };
    const Case cases[] = {
        {"Save pressed twice", [&] { return List->Save(); }, 0},
        {"Yes at the closing question", [&] {
             Host.AnswerMessageBox(MsgBox::kIdYes);
             return List->CloseCheck();
         }, 1},
    };
    for (const Case& c : cases) {
        Files = TFakeFileSystem();
        Files.Files["velkor.mem"] = kHeaderLine + "Home\tDIGI\t7.074.000\t\t\r\n";
        Fresh();
        List->Today = [] { return std::string("2024-06-01"); };
        List->FormCreate();
        List->AddMemory("New freq", "USB", 14250000, -1);
        Grid().CancelEdit();
        Files.Files["velkor.mem"] = "edited elsewhere";
        Host.AnswerMessageBox(MsgBox::kIdYes);
        ASSERT_TRUE(List->Save()) << c.What;
        const std::string list = Files.Files["velkor.mem"];
        const auto saved = Files.Files;
        EXPECT_EQ(saved, (std::map<std::string, std::string>{{"velkor.mem", list}, {kept, "edited elsewhere"}}))
            << c.What;

        Files.Log.clear();
        const size_t boxes = Host.MessageBoxes().size();
        EXPECT_TRUE(c.Again()) << c.What;
        EXPECT_EQ(Host.MessageBoxes().size(), boxes + c.Boxes) << c.What;
        EXPECT_EQ(Files.Files, saved) << c.What;
        EXPECT_EQ(Files.Log, (std::vector<std::string>{"read velkor.mem"})) << c.What << ": nothing written";

        Grid().SetCells(0, 1, "Net");
        EXPECT_TRUE(List->Save()) << c.What;
        EXPECT_EQ(Files.Files[kept], "edited elsewhere") << c.What;
        EXPECT_EQ(Files.Files["velkor.mem.bak"], list) << c.What;
        EXPECT_EQ(Host.MessageBoxes().size(), boxes + c.Boxes) << c.What;
    }
}

// Program rule: a save that fails at the closing question does not keep the
// program from ending, nor end it unasked: the operator reads why and
// decides; "No", the default, keeps it running with nothing changed.
TEST_F(MemoriesTest, AFailedSaveAtTheCloseAsksWhetherToCloseWithoutSaving)
{
    const std::string question = "The memory list could not be saved as velkor.mem.\n\n%s\n\nClose Velkor without "
                                 "saving it? The changes to the memory list are then lost; \"No\" keeps Velkor "
                                 "running.";
    struct Case {
        const char* What;
        std::function<void(TFakeFileSystem&)> Break;
        int Answer; // to the second question; 0: left to its default
        std::string Cause;
    };
    const Case cases[] = {
        {"a read-only backup, No", [](TFakeFileSystem& f) { f.ReadOnly.insert("velkor.mem.bak"); }, MsgBox::kIdNo,
         "Cannot create file velkor.mem.bak: it is read-only. Clear its read-only attribute (in the file's "
         "Properties) or move it to another folder to keep it, then save again."},
        {"a read-only backup, Yes", [](TFakeFileSystem& f) { f.ReadOnly.insert("velkor.mem.bak"); }, MsgBox::kIdYes,
         "Cannot create file velkor.mem.bak: it is read-only. Clear its read-only attribute (in the file's "
         "Properties) or move it to another folder to keep it, then save again."},
        {"a half-made backup left, unanswered",
         [](TFakeFileSystem& f) {
             f.Files["velkor.mem.bak.tmp"] = "left";
             f.ReadOnly.insert("velkor.mem.bak.tmp");
         },
         0,
         "Cannot create file velkor.mem.bak: velkor.mem.bak.tmp, left over from an earlier save, is read-only. "
         "Delete it, then save again."},
        {"the disk full", [](TFakeFileSystem& f) { f.WriteLimit = 3; }, MsgBox::kIdYes, "Stream write error."},
    };
    for (const Case& c : cases) {
        Files = TFakeFileSystem();
        Files.Files = {{"velkor.mem", kHeaderLine + "\t\t\t\t\r\n"}, {"velkor.mem.bak", "older"}};
        Fresh();
        List->FormCreate();
        List->AddMemory("New freq", "USB", 14250000, -1);
        Grid().CancelEdit();
        c.Break(Files);
        const auto before = Files.Files;
        Host.AnswerMessageBox(MsgBox::kIdYes);
        if (c.Answer)
            Host.AnswerMessageBox(c.Answer);
        const size_t boxes = Host.MessageBoxes().size();
        bool allowed = false;
        DispatchEvent(&App, [&] { allowed = List->CloseCheck(); });
        EXPECT_EQ(allowed, c.Answer == MsgBox::kIdYes) << c.What;
        ASSERT_EQ(Host.MessageBoxes().size(), boxes + 2) << c.What << ": no other report";
        EXPECT_EQ(Host.MessageBoxes().back().Text, Format(question.c_str(), c.Cause.c_str())) << c.What;
        EXPECT_EQ(Host.MessageBoxes().back().Caption, "Confirm") << c.What;
        EXPECT_EQ(Host.MessageBoxes().back().Style, MsgBox::kYesNo | MsgBox::kIconQuestion | MsgBox::kDefButton2)
            << c.What;
        EXPECT_EQ(Files.Files, before) << c.What;
        EXPECT_TRUE(List->MemoryChanged) << c.What;
    }
}

// Program rule: a memory file that was not read is reported once and is never
// replaced unasked; neither is one that changed on disk since it was read.
TEST_F(MemoriesTest, AFileThatCannotBeReadIsReportedOnceAndTheListStartsEmpty)
{
    const std::string locked = "The process cannot access the file because it is being used by another process";
    struct Case {
        const char* What;
        std::function<void(TFakeFileSystem&)> Arrange;
        const char* Report; // nullptr: none
    };
    const Case cases[] = {
        {"no file", [](TFakeFileSystem&) {}, nullptr},
        {"held by another program", [&](TFakeFileSystem& f) { f.Unreadable["velkor.mem"] = locked; },
         "Cannot read the memory file velkor.mem: The process cannot access the file because it is being used by "
         "another process.\n\nThe memory list starts empty. The file is left as it is, and a save asks before it "
         "replaces it."},
        {"saved as UTF-16", [](TFakeFileSystem& f) { f.Files["velkor.mem"] = std::string("\xFF\xFE" "C\0", 4); },
         "Cannot read the memory file velkor.mem: it is saved as Unicode (UTF-16) text, and Velkor reads ANSI text "
         "only.\n\nThe memory list starts empty. The file is left as it is, and a save asks before it replaces it."},
        {"100 MB", [](TFakeFileSystem& f) { f.Files["velkor.mem"] = kHeaderLine + std::string(100u << 20, 'x'); },
         "Cannot read the memory file velkor.mem: it is larger than 1 MB, more than any memory list holds.\n\nThe "
         "memory list starts empty. The file is left as it is, and a save asks before it replaces it."},
    };
    for (const Case& c : cases) {
        Files = TFakeFileSystem();
        c.Arrange(Files);
        const auto before = Files.Files;
        const size_t boxes = Host.MessageBoxes().size();
        Fresh();
        List->FormCreate();
        ASSERT_EQ(Host.MessageBoxes().size(), boxes + (c.Report ? 1 : 0)) << c.What;
        if (c.Report) {
            EXPECT_EQ(Host.MessageBoxes().back().Text, c.Report) << c.What;
            EXPECT_EQ(Host.MessageBoxes().back().Caption, "Error") << c.What;
            EXPECT_EQ(Host.MessageBoxes().back().Style, MsgBox::kOk | MsgBox::kIconError) << c.What;
        }
        EXPECT_EQ(Grid().RowCount(), 2) << c.What;
        EXPECT_EQ(RowOf(1), (Row{"", "", "", ""})) << c.What;
        EXPECT_FALSE(List->MemoryChanged) << c.What;
        EXPECT_EQ(Files.Files, before) << c.What;
    }
}

TEST_F(MemoriesTest, ASaveAsksBeforeItReplacesAFileTheListDidNotComeFrom)
{
    const std::string good = kHeaderLine + "Home\tDIGI\t7.074.000\t\t\r\n";
    const std::string utf16("\xFF\xFE" "C\0", 4);
    const std::string keep = "velkor.mem could not be read: %s.\n\nKeep it as %s and save the memory list as a new "
                             "velkor.mem?";
    const std::string changed = "velkor.mem has changed on disk since Velkor read or last saved it.\n\nReplace it "
                                "with the memory list? The file as it is now is kept as %s.";
    const std::string readableNow =
        "velkor.mem could not be read when Velkor started, so its memories are not in the memory list; now it can "
        "be read.\n\nReplace it with the memory list? The file as it is now is kept as "
        "velkor.mem.changed-2024-06-01. To have its memories in the list instead, answer No, close Velkor without "
        "saving and start it again.";
    const std::string changedToday = "velkor.mem.changed-2024-06-01";
    const std::string notText = "it is saved as Unicode (UTF-16) text, and Velkor reads ANSI text only";
    using Files_ = std::map<std::string, std::string>;
    const std::string kList = "<the list>";
    struct Case {
        const char* What;
        std::function<void(TFakeFileSystem&)> AtStart, Meanwhile;
        int Answer; // 0: nothing asked
        std::string Question;
        bool Saved;
        Files_ After; // kList: what the list writes
        std::set<std::string> UnreadableAfter;
    };
    const Case cases[] = {
        {"unchanged", [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = good; }, [](TFakeFileSystem&) {}, 0, "",
         true, {{"velkor.mem", kList}, {"velkor.mem.bak", good}}, {}},
        {"held at the start, kept aside", [](TFakeFileSystem& f) { f.Unreadable["velkor.mem"] = "locked"; },
         [](TFakeFileSystem&) {}, MsgBox::kIdYes, Format(keep.c_str(), "locked", "velkor.mem.bad-2024-06-01"), true,
         {{"velkor.mem", kList}}, {"velkor.mem.bad-2024-06-01"}},
        {"held at the start, not kept", [](TFakeFileSystem& f) { f.Unreadable["velkor.mem"] = "locked"; },
         [](TFakeFileSystem&) {}, MsgBox::kIdNo, Format(keep.c_str(), "locked", "velkor.mem.bad-2024-06-01"), false,
         {}, {"velkor.mem"}},
        {"UTF-16, an older one kept already",
         [&](TFakeFileSystem& f) {
             f.Files["velkor.mem"] = utf16;
             f.Files["velkor.mem.bad-2024-06-01"] = "older";
         },
         [](TFakeFileSystem&) {}, MsgBox::kIdYes,
         Format(keep.c_str(), notText.c_str(), "velkor.mem.bad-2024-06-01-2"), true,
         {{"velkor.mem", kList}, {"velkor.mem.bad-2024-06-01", "older"}, {"velkor.mem.bad-2024-06-01-2", utf16}},
         {}},
        {"UTF-16 at the start, a good file by the save", [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = utf16; },
         [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = good; }, MsgBox::kIdYes, readableNow, true,
         {{"velkor.mem", kList}, {changedToday, good}}, {}},
        {"held at the start, readable by the save, not replaced",
         [](TFakeFileSystem& f) { f.Unreadable["velkor.mem"] = "locked"; },
         [&](TFakeFileSystem& f) {
             f.Unreadable.clear();
             f.Files["velkor.mem"] = good;
         },
         MsgBox::kIdNo, readableNow, false, {{"velkor.mem", good}}, {}},
        {"unreadable at the start, gone by the save", [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = utf16; },
         [](TFakeFileSystem& f) { f.Files.erase("velkor.mem"); }, 0, "", true, {{"velkor.mem", kList}}, {}},
        {"read at the start, held by the save", [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = good; },
         [](TFakeFileSystem& f) { f.Unreadable["velkor.mem"] = "locked"; }, MsgBox::kIdYes,
         Format(keep.c_str(), "locked", "velkor.mem.bad-2024-06-01"), true,
         {{"velkor.mem", kList}, {"velkor.mem.bad-2024-06-01", good}}, {"velkor.mem.bad-2024-06-01"}},
        {"changed on disk, replaced", [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = good; },
         [](TFakeFileSystem& f) { f.Files["velkor.mem"] = "edited"; }, MsgBox::kIdYes,
         Format(changed.c_str(), changedToday.c_str()), true, {{"velkor.mem", kList}, {changedToday, "edited"}}, {}},
        {"changed on disk, one changed file kept today already",
         [&](TFakeFileSystem& f) {
             f.Files["velkor.mem"] = good;
             f.Files[changedToday] = "first";
         },
         [](TFakeFileSystem& f) { f.Files["velkor.mem"] = "edited"; }, MsgBox::kIdYes,
         Format(changed.c_str(), (changedToday + "-2").c_str()), true,
         {{"velkor.mem", kList}, {changedToday, "first"}, {changedToday + "-2", "edited"}}, {}},
        {"changed on disk, kept", [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = good; },
         [](TFakeFileSystem& f) { f.Files["velkor.mem"] = "edited"; }, MsgBox::kIdNo,
         Format(changed.c_str(), changedToday.c_str()), false, {{"velkor.mem", "edited"}}, {}},
        {"changed on disk to what the list holds", [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = good; },
         [](TFakeFileSystem& f) { f.Files["velkor.mem"] = kHeaderLine + "Net\tDIGI\t7.074.000\t\t\r\n"; }, 0, "",
         true, {{"velkor.mem", kList}}, {}},
        {"no file at the start, one written meanwhile", [](TFakeFileSystem&) {},
         [](TFakeFileSystem& f) { f.Files["velkor.mem"] = "new"; }, MsgBox::kIdYes,
         Format(changed.c_str(), changedToday.c_str()), true, {{"velkor.mem", kList}, {changedToday, "new"}}, {}},
        {"removed meanwhile", [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = good; },
         [](TFakeFileSystem& f) { f.Files.erase("velkor.mem"); }, 0, "", true, {{"velkor.mem", kList}}, {}},
    };
    for (const Case& c : cases) {
        Files = TFakeFileSystem();
        c.AtStart(Files);
        Fresh();
        List->Today = [] { return std::string("2024-06-01"); };
        List->FormCreate();
        Grid().SetCells(0, 1, "Net");
        const std::string list = Grid().ExportCellsAsText('\t');
        c.Meanwhile(Files);
        const size_t boxes = Host.MessageBoxes().size();
        if (c.Answer)
            Host.AnswerMessageBox(c.Answer);
        EXPECT_EQ(List->Save(), c.Saved) << c.What;
        ASSERT_EQ(Host.MessageBoxes().size(), boxes + (c.Answer ? 1 : 0)) << c.What;
        if (c.Answer) {
            EXPECT_EQ(Host.MessageBoxes().back().Text, c.Question) << c.What;
            EXPECT_EQ(Host.MessageBoxes().back().Caption, "Confirm") << c.What;
            EXPECT_EQ(Host.MessageBoxes().back().Style & MsgBox::kIconQuestion, MsgBox::kIconQuestion) << c.What;
        }
        Files_ after = c.After;
        for (auto& [name, bytes] : after)
            if (bytes == kList)
                bytes = list;
        EXPECT_EQ(Files.Files, after) << c.What;
        std::set<std::string> unreadable;
        for (const auto& entry : Files.Unreadable)
            unreadable.insert(entry.first);
        EXPECT_EQ(unreadable, c.UnreadableAfter) << c.What;

        // What was saved is the list's own file: the next save asks nothing.
        if (c.Saved) {
            Grid().SetCells(0, 1, "Net 2");
            EXPECT_TRUE(List->Save()) << c.What;
            EXPECT_EQ(Host.MessageBoxes().size(), boxes + (c.Answer ? 1 : 0)) << c.What;
            EXPECT_EQ(Files.Files["velkor.mem.bak"], list) << c.What;
            for (const auto& [name, bytes] : after) {
                if (name != "velkor.mem" && name != "velkor.mem.bak") {
                    EXPECT_EQ(Files.Files[name], bytes) << c.What << ": " << name << " is never replaced";
                }
            }
        }
    }
}

TEST_F(MemoriesTest, ASaveDeclinedOrFailingKeepsTheProgramRunningAndTheFile)
{
    const std::string utf16("\xFF\xFE" "C\0", 4);
    Files.Files["velkor.mem"] = utf16;
    List->Today = [] { return std::string("2024-06-01"); };
    List->FormCreate();
    List->AddMemory("New freq", "USB", 14250000, -1);
    Grid().CancelEdit();

    // "Yes" to saving, then "No" to keeping the old file aside.
    Host.AnswerMessageBox(MsgBox::kIdYes);
    Host.AnswerMessageBox(MsgBox::kIdNo);
    EXPECT_FALSE(List->CloseCheck());
    EXPECT_EQ(Files.Files, (std::map<std::string, std::string>{{"velkor.mem", utf16}}));

    // The old file cannot be moved aside: nothing written, and the program
    // ends only at the operator's word.
    Files.FailRename = true;
    Host.AnswerMessageBox(MsgBox::kIdYes);
    Host.AnswerMessageBox(MsgBox::kIdYes);
    EXPECT_FALSE(List->CloseCheck());
    EXPECT_EQ(Host.MessageBoxes().back().Text,
              "The memory list could not be saved as velkor.mem.\n\nCannot create file velkor.mem.bad-2024-06-01: "
              "velkor.mem cannot be renamed to it. Close any program that has velkor.mem open, then save again.\n\n"
              "Close Velkor without saving it? The changes to the memory list are then lost; \"No\" keeps Velkor "
              "running.");
    EXPECT_EQ(Files.Files, (std::map<std::string, std::string>{{"velkor.mem", utf16}}));

    // Unasked, a box answers its default: "No" to replacing a changed file.
    Files.FailRename = false;
    Files.Files.clear();
    ASSERT_TRUE(List->Save());
    Files.Files["velkor.mem"] = "edited";
    EXPECT_FALSE(List->Save());
    EXPECT_EQ(Files.Files["velkor.mem"], "edited");
}

} // namespace
