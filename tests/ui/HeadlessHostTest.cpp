#include <gtest/gtest.h>

#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"
#include "ui/Menus.h"

namespace {

using Lines = std::vector<std::string>;

TEST(HeadlessHost, UnscriptedMessageBoxesTakeTheirDefaultButton)
{
    struct TCase {
        unsigned Style;
        int Answer;
    };
    const std::vector<TCase> cases = {
        {MsgBox::kOk | MsgBox::kIconError, MsgBox::kIdOk},
        {MsgBox::kOkCancel, MsgBox::kIdOk},
        {MsgBox::kOkCancel | MsgBox::kDefButton2, MsgBox::kIdCancel},
        {MsgBox::kYesNo | MsgBox::kIconWarning | MsgBox::kDefButton2 | MsgBox::kTaskModal, MsgBox::kIdNo},
        {MsgBox::kYesNoCancel | MsgBox::kIconQuestion, MsgBox::kIdYes},
    };
    THeadlessHost host;
    for (const TCase& c : cases)
        EXPECT_EQ(host.ShowMessageBox("text", "caption", c.Style), c.Answer) << std::hex << c.Style;

    host.AnswerMessageBox(MsgBox::kIdCancel);
    EXPECT_EQ(host.ShowMessageBox("Save?", "Confirm", MsgBox::kYesNoCancel), MsgBox::kIdCancel);
    EXPECT_EQ(host.MessageBoxes().back().Text, "Save?");
    EXPECT_EQ(host.MessageBoxes().back().Caption, "Confirm");
}

TEST(HeadlessHost, WaitingByProcessingMessagesLetsTimeAndTimersPass)
{
    THeadlessHost host;
    TApplication app(host);
    auto* timer = new TTimer(&app);
    timer->SetInterval(50);
    int ticks = 0;
    timer->OnTimer = [&](TObject*) { ++ticks; };

    host.SetTickCount(0xFFFFFF00u); // the tick count wraps during the wait
    const uint32_t start = host.TickCount();
    int rounds = 0;
    while (host.TickCount() - start < 200) {
        app.ProcessMessages();
        ++rounds;
    }
    EXPECT_EQ(rounds, 20);
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(host.TickCount(), 0xFFFFFF00u + 200u);
}

TEST(HeadlessHost, NestedWaitInsideATickDoesNotTurnTheClockBack)
{
    THeadlessHost host;
    TApplication app(host);
    auto* timer = new TTimer(&app);
    timer->SetInterval(100);
    timer->OnTimer = [&](TObject*) {
        timer->SetEnabled(false);
        host.Advance(500);
    };
    host.Advance(150);
    EXPECT_EQ(host.TickCount(), 600u);
}

// Records what a native edit box tells its owner.
struct TEditOwner : INativeEditEvents {
    void NativeEditChanged() override { ++Changes; }
    int Changes = 0;
};

TEST(HeadlessHost, AFocusedEditBoxGetsTheCharactersAndTheKeysItsFormLeaves)
{
    THeadlessHost host;
    TApplication app(host);
    auto* form = new TForm(&app);
    Lines keys;
    form->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState) {
        keys.push_back(std::to_string(key));
        if (key == Vk::Return)
            key = 0; // the form takes Enter
    };
    form->Show();
    TEditOwner owner;
    std::unique_ptr<INativeEdit> edit = host.CreateNativeEdit(*form, {10, 20, 110, 40}, TFont(), TEditAlign::Center, owner);
    edit->SetText("abcd");
    edit->SetSelection(1, 2);
    EXPECT_EQ(owner.Changes, 0) << "set by the owner: not told";
    host.Type("x"); // no focus yet: to the form
    EXPECT_EQ(host.EditBox()->Text, "abcd");

    edit->SetFocus();
    host.Type("XY\r\t\x1b");
    EXPECT_EQ(edit->Text(), "aXYd");
    EXPECT_EQ(owner.Changes, 2);
    host.KeyDown(Vk::Return);
    host.KeyDown(Vk::Home);
    host.KeyDown(Vk::Delete);
    EXPECT_EQ(keys, (Lines{"13", "36", "46"}));
    EXPECT_EQ(edit->Text(), "XYd");
    size_t start;
    size_t length;
    edit->GetSelection(start, length);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(host.EditBox()->Bounds, (TRect{10, 20, 110, 40}));
    EXPECT_EQ(host.EditBox()->Align, TEditAlign::Center);

    edit.reset();
    EXPECT_EQ(host.EditBox(), nullptr);
    EXPECT_EQ(host.EditBoxesMade(), 1);
}

TEST(HeadlessHost, TheClipboardKeepsTheBytesWithTheNulTheSystemAdds)
{
    THeadlessHost host;
    std::string bytes;
    std::string outside = "stale";
    EXPECT_FALSE(host.GetClipboardText(bytes, outside)) << "no text yet";
    EXPECT_EQ(outside, "");
    EXPECT_TRUE(host.SetClipboardText("USB\t\r\n"));
    ASSERT_TRUE(host.GetClipboardText(bytes, outside));
    EXPECT_EQ(bytes, std::string("USB\t\r\n\0", 7));
    host.SetClipboardBytes(std::string("Micha?\0", 7), "\xC5\x82");
    ASSERT_TRUE(host.GetClipboardText(bytes, outside));
    EXPECT_EQ(outside, "\xC5\x82") << "another program's text the code page cannot hold";
    host.ClipboardFails = true;
    EXPECT_FALSE(host.SetClipboardText("x"));
    EXPECT_FALSE(host.GetClipboardText(bytes, outside));
}

} // namespace
