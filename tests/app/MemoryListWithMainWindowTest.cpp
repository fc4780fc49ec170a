// The memory list with the main window, as velkor.exe puts them together on
// the headless host: opened from the main window, "VFO->M", and the close
// question that saves the list or keeps the program running.
#include <gtest/gtest.h>

#include "app/ComMainForm.h"
#include "app/MemoryListWindow.h"
#include "memories/ListUnit.h"
#include "tests/support/FakeFileSystem.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/MemoryRegistry.h"

namespace {

using Row = std::vector<std::string>;
using Lines = std::vector<std::string>;
using namespace RigParams;

const std::string kHeaderLine = "Caption\tMode\tVFO A\tVFO B\t\r\n";

// The memory list with the main window, as velkor.exe puts them together,
// started afresh for every case that ends the program.
struct TProgram {
    TProgram()
    {
        App.SetTitle("Velkor");
        Main = new TTxControlForm(&App, Reg);
        auto rig = std::make_unique<TFakeRigServer>();
        Rig = rig.get();
        Rig->Radio = {"IC-SIM", 14200000, 14200000, 7050000, SSB_U, VFOAA};
        Trx = new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(rig));
        Main->Transceiver = Trx;
        List = new TListForm(&App, *Trx, Files, Reg);
        Window.SetForm(List);
        Main->MemoryList = &Window;
        Main->Show();
        // Switched on and polled.
        Host.Click(*Main->On_Offlbl);
        Host.Advance(400);
    }
    ~TProgram()
    {
        Main->MemoryList = nullptr;
        delete List;
    }
    void CloseProgram() { Host.Click(*Main->FlatSpeedButton1, 5, 5); }
    TStringAlignGrid& Grid() { return List->Memories().MemoryList; }

    THeadlessHost Host;
    TMemoryRegistry Reg;
    TFakeFileSystem Files;
    TMemoryListWindow Window;
    TApplication App{Host};
    TTxControlForm* Main;
    TFakeRigServer* Rig;
    TTransceiver* Trx;
    TListForm* List;
};

class MemoryListWithMainWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<TProgram> P = std::make_unique<TProgram>();
    THeadlessHost& Host = P->Host;
    TTxControlForm* Main = P->Main;
    TListForm* List = P->List;
};

TEST_F(MemoryListWithMainWindowTest, TheMainWindowShowsTheListAndStoresTheRigsSettings)
{
    EXPECT_FALSE(List->Visible());
    Host.KeyDown(Vk::F4);
    EXPECT_TRUE(List->Visible()) << "\"Memory list\"";
    EXPECT_EQ(Host.ActiveForm(), List);
    List->Close();
    Host.Click(*Main->lblMemo);
    EXPECT_TRUE(List->Visible()) << "\"Memory\"";
    List->Close();

    Host.Activate(*Main);
    Host.KeyDown(Vk::F4, ssCtrl);
    EXPECT_TRUE(List->Visible());
    EXPECT_EQ(Host.ActiveForm(), List);
    TStringAlignGrid& grid = P->Grid();
    EXPECT_EQ(grid.Cells(0, 1), "New freq");
    EXPECT_EQ(grid.Cells(1, 1), "USB");
    EXPECT_EQ(grid.Cells(2, 1), "14200000");
    EXPECT_EQ(grid.Cells(3, 1), "-1");
    ASSERT_NE(Host.EditBox(), nullptr);
    EXPECT_TRUE(Host.EditBox()->Focused) << "the caption is typed at once";
    Host.Type("Net");
    EXPECT_EQ(grid.Cells(0, 1), "Net");

    Host.Activate(*Main);
    Host.Click(*Main->lblMemoIn); // "VFO->M" again: a second row
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Cells(0, 1), "Net");
    EXPECT_EQ(grid.Cells(0, 2), "New freq");
}

TEST_F(MemoryListWithMainWindowTest, TheCloseCheckAsksAndSavesOrKeepsTheProgramRunning)
{
    const std::string saved = kHeaderLine + "Net\tUSB\t14200000\t-1\t\r\n";
    P.reset();
    struct TCase {
        const char* What;
        bool Change;
        bool Edit; // the caption typed and not entered: no change yet
        int Answer;
        bool Uncreatable;
        bool Ends;
        const char* File; // nullptr: none written
        Lines Boxes;
        int Then = 0; // the answer to a second question
    };
    const char* const kQuestion = "Do you want to save memory settings changes?";
    const char* const kNotSaved = "The memory list could not be saved as velkor.mem.\n\nCannot create file "
                                  "velkor.mem.\n\nClose Velkor without saving it? The changes to the memory list "
                                  "are then lost; \"No\" keeps Velkor running.";
    const TCase cases[] = {
        {"unchanged", false, false, 0, false, true, nullptr, {}},
        {"Yes", true, false, MsgBox::kIdYes, false, true, saved.c_str(), {kQuestion}},
        {"No", true, false, MsgBox::kIdNo, false, true, nullptr, {kQuestion}},
        {"Cancel", true, false, MsgBox::kIdCancel, false, false, nullptr, {kQuestion}},
        {"Yes, the save fails, No", true, false, MsgBox::kIdYes, true, false, nullptr, {kQuestion, kNotSaved},
         MsgBox::kIdNo},
        {"Yes, the save fails, Yes", true, false, MsgBox::kIdYes, true, true, nullptr, {kQuestion, kNotSaved},
         MsgBox::kIdYes},
        {"an edit still open", false, true, MsgBox::kIdYes, false, true, saved.c_str(), {kQuestion}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        P.reset();
        P = std::make_unique<TProgram>();
        TStringAlignGrid& grid = P->Grid();
        for (int col = 0; col < 4; ++col)
            grid.SetCells(col, 1, Row{"Net", "USB", "14200000", "-1"}[col]);
        P->List->Memories().MemoryChanged = c.Change;
        if (c.Edit) {
            P->List->Show();
            grid.SetCells(0, 1, "");
            P->Host.Type("Net");
            ASSERT_TRUE(grid.EditorMode());
            ASSERT_FALSE(P->List->MemoryChanged());
        }
        if (c.Uncreatable)
            P->Files.Uncreatable.insert("velkor.mem.tmp");
        if (c.Answer)
            P->Host.AnswerMessageBox(c.Answer);
        if (c.Then)
            P->Host.AnswerMessageBox(c.Then);
        P->Host.Activate(*P->Main);
        P->CloseProgram();

        Lines boxes;
        for (const auto& box : P->Host.MessageBoxes())
            boxes.push_back(box.Text);
        EXPECT_EQ(boxes, c.Boxes);
        if (!boxes.empty()) {
            EXPECT_EQ(P->Host.MessageBoxes()[0].Caption, "Confirm");
            EXPECT_EQ(P->Host.MessageBoxes()[0].Style, MsgBox::kYesNoCancel | MsgBox::kIconQuestion);
        }
        EXPECT_EQ(P->Host.Terminated(), c.Ends);
        if (c.File) {
            EXPECT_EQ(P->Files.Files["velkor.mem"], c.File);
        } else {
            EXPECT_FALSE(P->Files.Files.count("velkor.mem"));
        }
        EXPECT_FALSE(P->Files.Files.count("velkor.mem.tmp"));
    }
}

TEST_F(MemoryListWithMainWindowTest, EveryBranchThatKeepsTheProgramRunningKeepsItRunning)
{
    // Refused closes leave everything as it was for the next one.
    List->Memories().MemoryChanged = true;
    Host.AnswerMessageBox(MsgBox::kIdCancel);
    P->CloseProgram();
    P->Files.Uncreatable.insert("velkor.mem.tmp");
    Host.AnswerMessageBox(MsgBox::kIdYes);
    P->CloseProgram();
    EXPECT_FALSE(Host.Terminated());
    EXPECT_TRUE(Main->Visible());
    P->Files.Uncreatable.clear();
    Host.AnswerMessageBox(MsgBox::kIdYes);
    P->CloseProgram();
    EXPECT_TRUE(Host.Terminated());
    EXPECT_EQ(P->Files.Files["velkor.mem"], kHeaderLine + "\t\t\t\t\r\n");
    EXPECT_EQ(Host.MessageBoxes().size(), 4u);
}

} // namespace
