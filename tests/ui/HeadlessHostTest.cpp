#include <gtest/gtest.h>

#include "ui/Forms.h"
#include "ui/HeadlessHost.h"

namespace {

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

} // namespace
