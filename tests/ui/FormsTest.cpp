#include <gtest/gtest.h>

#include "base/SysUtils.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"
#include "ui/Menus.h"

namespace {

// Records what the form routes to it.
class TControlProbe : public TCustomControl {
public:
    TControlProbe(TWinControl* parent, const std::string& name, TRect bounds, std::vector<std::string>& log)
        : TControlProbe(parent, parent, name, bounds, log)
    {
    }
    TControlProbe(TComponent* owner, TWinControl* parent, const std::string& name, TRect bounds,
           std::vector<std::string>& log)
        : TCustomControl(owner), FLog(log)
    {
        SetName(name);
        SetParent(parent);
        SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    }
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override
    {
        Log(Format("down%s%s %d,%d", Button(b), (s & ssDouble) ? " double" : "", x, y));
    }
    void MouseUp(TMouseButton b, TShiftState, int x, int y) override { Log(Format("up%s %d,%d", Button(b), x, y)); }
    void MouseMove(TShiftState, int x, int y) override { Log(Format("move %d,%d", x, y)); }
    void Click() override { Log("click"); }
    void DoEnter() override { Log("focus"); }
    void DoExit() override
    {
        Log("unfocus");
        if (TakeFocusBack)
            ParentForm()->SetActiveControl(this);
    }
    bool MouseWheel(TShiftState, int delta, int x, int y) override
    {
        Log(Format("wheel %d %d,%d", delta, x, y));
        return TakesWheel;
    }
    void KeyDown(uint16_t& key, TShiftState) override
    {
        Log(Format("key %u", key));
        if (key != Vk::Tab)
            key = 0;
    }
    bool TakeFocusBack = false;
    bool TakesWheel = false;
    void DblClick() override { Log("dblclick"); }
    void MouseEnter() override { Log("enter"); }
    void MouseLeave() override { Log("leave"); }
    void Paint(TCanvas& canvas) override
    {
        canvas.BrushColor = Color();
        canvas.FillRect(ClientRect());
    }

private:
    static const char* Button(TMouseButton b)
    {
        return b == TMouseButton::mbLeft ? "" : b == TMouseButton::mbRight ? " right" : " middle";
    }
    void Log(const std::string& what) { FLog.push_back(Name() + " " + what); }
    std::vector<std::string>& FLog;
};

class FormsTest : public ::testing::Test {
protected:
    FormsTest()
    {
        Form = new TForm(&App);
        Form->SetBorderStyle(TFormBorderStyle::bsNone);
        Form->SetBounds(100, 50, 200, 100);
        Panel = new TControlProbe(Form, "panel", {10, 10, 110, 60}, Log);
        Button = new TControlProbe(Panel, "button", {5, 5, 25, 20}, Log);
        Form->Show();
        Log.clear();
    }
    std::vector<std::string> Take() { return std::exchange(Log, {}); }

    THeadlessHost Host;
    TApplication App{Host};
    TForm* Form;
    TControlProbe* Panel;
    TControlProbe* Button;
    std::vector<std::string> Log;
};

using Lines = std::vector<std::string>;

TEST_F(FormsTest, ThePressedControlKeepsTheMouseUntilTheLastButtonIsUp)
{
    Host.MouseDown(*Button, TMouseButton::mbLeft, 3, 4);
    EXPECT_EQ(Host.CaptureForm(), Form);
    Host.MouseMove(*Panel, 90, 45); // far outside the button
    Host.MouseDown(*Panel, TMouseButton::mbRight, 90, 45);
    Host.MouseUp(*Panel, TMouseButton::mbRight, 90, 45);
    EXPECT_EQ(Host.CaptureForm(), Form) << "the left button is still down";
    Host.MouseUp(*Panel, TMouseButton::mbLeft, 90, 45);
    EXPECT_EQ(Host.CaptureForm(), nullptr);
    EXPECT_EQ(Take(), (Lines{"button down 3,4", "panel enter", "button move 85,40",
                             "button down right 85,40", "button up right 85,40", "button up 85,40"}))
        << "no click for a release outside";

    Host.MouseDown(*Button, TMouseButton::mbLeft, 3, 4);
    Host.MouseUp(*Button, TMouseButton::mbLeft, 19, 14);
    Host.MouseDown(*Button, TMouseButton::mbRight, 3, 4);
    Host.MouseUp(*Button, TMouseButton::mbRight, 3, 4);
    EXPECT_EQ(Take(), (Lines{"button down 3,4", "button click", "button up 19,14", "button down right 3,4",
                             "button up right 3,4"}))
        << "a left release inside clicks before the mouse-up; a right one never clicks";
}

TEST_F(FormsTest, DoubleClickGivesBothClicksAndTheDoubleInBetween)
{
    Host.DoubleClick(*Button, 2, 2);
    const Lines log = Take();
    EXPECT_EQ(Lines(log.begin() + 2, log.end()),
              (Lines{"button down 2,2", "button click", "button up 2,2", "button dblclick", "button down double 2,2",
                     "button click", "button up 2,2"}));
}

TEST_F(FormsTest, TabStopsTakeTheFocusByPressAndTabAndAReleaseAloneClicksNothing)
{
    auto* other = new TControlProbe(Form, "other", {120, 10, 180, 60}, Log);
    Button->SetTabStop(true);
    other->SetTabStop(true);
    Host.Click(*Button, 2, 2);
    EXPECT_EQ(Form->ActiveControl(), Button);
    Host.KeyDown(Vk::Tab);
    Host.KeyDown(Vk::Tab);
    Host.KeyDown(Vk::Tab, ssShift);
    Host.MouseUp(*Panel, TMouseButton::mbLeft, 50, 40); // pressed elsewhere
    const Lines log = Take();
    EXPECT_EQ(Lines(log.begin() + 2, log.end()),
              (Lines{"button focus", "button down 2,2", "button click", "button up 2,2", "button key 9",
                     "button unfocus", "other focus", "other key 9", "other unfocus", "button focus",
                     "button key 9", "button unfocus", "other focus", "panel up 50,40"}));
    EXPECT_EQ(Form->ActiveControl(), other);

    // A control that takes the focus back (an edit it rejected) drops the press.
    other->TakeFocusBack = true;
    Host.Click(*Button, 2, 2);
    EXPECT_EQ(Form->ActiveControl(), other);
    EXPECT_EQ(Take(), (Lines{"button move 2,2", "other unfocus", "other focus", "button up 2,2"}));
}

TEST_F(FormsTest, TheWheelGoesToTheControlUnderTheMouseItsParentsOrTheFocus)
{
    auto* other = new TControlProbe(Form, "other", {120, 10, 180, 60}, Log);
    other->SetTabStop(true);
    Form->SetActiveControl(other);
    Take();
    Host.MouseWheel(*Button, -1, 3, 4);
    EXPECT_EQ(Take(), (Lines{"button wheel -120 3,4", "panel wheel -120 8,9", "other wheel -120 -102,9"}));
    Panel->TakesWheel = true;
    Host.MouseWheel(*Button, 2, 3, 4);
    EXPECT_EQ(Take(), (Lines{"button wheel 240 3,4", "panel wheel 240 8,9"}));
}

TEST_F(FormsTest, DisabledAndHiddenControlsLeaveTheMouseToWhatIsBelow)
{
    Button->SetEnabled(false);
    Host.Click(*Button, 1, 1);
    Button->SetEnabled(true);
    Button->SetVisible(false);
    Host.Click(*Button, 1, 1);
    for (const std::string& line : Take())
        EXPECT_EQ(line.rfind("panel", 0), 0u) << line;
}

TEST_F(FormsTest, HintsShowAfterThePauseAndGoWithTheMouseOrAButton)
{
    Button->SetHint("Close");
    Button->SetShowHint(true);
    Host.MouseMove(*Button, 1, 1);
    Host.Advance(499);
    EXPECT_FALSE(Host.HintVisible());
    Host.Advance(1);
    EXPECT_TRUE(Host.HintVisible());
    EXPECT_EQ(Host.HintText(), "Close");
    Host.MouseDown(*Button, TMouseButton::mbLeft, 1, 1);
    EXPECT_FALSE(Host.HintVisible());
    Host.MouseUp(*Button, TMouseButton::mbLeft, 1, 1);

    Host.MouseMove(*Panel, 80, 40);
    Host.MouseMove(*Button, 1, 1);
    Host.Advance(600);
    EXPECT_TRUE(Host.HintVisible());
    Host.MouseLeave(*Form);
    EXPECT_FALSE(Host.HintVisible());

    Host.MouseMove(*Button, 1, 1);
    delete Button; // the control goes while its hint waits
    Host.Advance(600);
    EXPECT_FALSE(Host.HintVisible());
}

TEST_F(FormsTest, HooksSeeEveryMessageFirstAndGoWithTheirOwner)
{
    std::vector<std::string> seen;
    int ownerA = 0, ownerB = 0;
    Form->AddMessageHook(&ownerA, [&](TMessage& m) {
        seen.push_back(Format("A %x", m.Msg));
        Form->RemoveMessageHooks(&ownerB); // a hook may remove another on the way
    });
    Form->AddMessageHook(&ownerB, [&](TMessage& m) { seen.push_back(Format("B %x", m.Msg)); });
    Form->OnDeactivate = [&](TObject*) { seen.push_back("OnDeactivate"); };
    Host.Deactivate(*Form);
    EXPECT_EQ(seen, (Lines{"A 6", "OnDeactivate"}));
    Form->RemoveMessageHooks(&ownerA);
    seen.clear();
    Host.Activate(*Form);
    EXPECT_EQ(seen, Lines{});
}

TEST_F(FormsTest, ActivationEventsFollowTheSystemsActivation)
{
    int activations = 0, deactivations = 0;
    Form->OnActivate = [&](TObject*) { ++activations; };
    Form->OnDeactivate = [&](TObject*) { ++deactivations; };
    EXPECT_TRUE(Form->Active()) << "showing activates";
    auto* other = new TForm(&App);
    other->Show();
    EXPECT_FALSE(Form->Active());
    Host.Activate(*Form, true);
    Host.Activate(*Form);
    EXPECT_TRUE(Form->Active());
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(deactivations, 1);
}

TEST_F(FormsTest, CloseAsksFirstThenHidesOrEndsTheProgram)
{
    auto* other = new TForm(&App);
    other->Show();
    bool allow = false;
    other->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = allow; };
    other->Close();
    EXPECT_TRUE(other->Visible()) << "a refused close changes nothing";
    allow = true;
    other->Close();
    EXPECT_FALSE(other->Visible());
    EXPECT_FALSE(Host.Terminated());

    Form->OnClose = [](TObject*, TCloseAction& action) { action = TCloseAction::caNone; };
    Form->Close();
    EXPECT_FALSE(Host.Terminated());
    Form->OnClose = nullptr;
    TMessage close{Msg::Close, 0, 0, 0};
    Form->Dispatch(close); // the system's close button
    EXPECT_TRUE(Host.Terminated()) << "closing the main form ends the program";
}

TEST_F(FormsTest, OnShowRunsWhileTheWindowIsStillHidden)
{
    auto* other = new TForm(&App);
    bool visibleDuringOnShow = true;
    other->OnShow = [&](TObject*) { visibleDuringOnShow = Host.WindowOf(*other).Visible; };
    other->Show();
    EXPECT_FALSE(visibleDuringOnShow);
    EXPECT_TRUE(Host.WindowOf(*other).Visible);
}

TEST_F(FormsTest, OnDestroyRunsOnceWhileTheControlsStillStand)
{
    auto* owner = new TComponent(&App);
    auto* form = new TForm(owner);
    new TControlProbe(form, "led", {0, 0, 10, 10}, Log);
    std::string seen;
    int calls = 0;
    form->OnDestroy = [&](TObject*) {
        ++calls;
        seen = form->Controls(0)->Name();
    };
    delete owner; // as the application frees its forms at the end
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, "led");

    auto* direct = new TForm(&App);
    int directCalls = 0;
    direct->OnDestroy = [&](TObject*) { ++directCalls; };
    delete direct;
    EXPECT_EQ(directCalls, 1);
}

TEST_F(FormsTest, AControlLeftWithoutItsParentNoLongerTakesTheMouse)
{
    // A box freed by its owner leaves the form's knob without a parent, the
    // knob holding the capture, the hover and a waiting hint.
    auto* boxOwner = new TComponent(&App);
    new TControlProbe(boxOwner, Form, "box", {120, 10, 190, 90}, Log);
    auto* box = static_cast<TControlProbe*>(boxOwner->Components(0));
    auto* knob = new TControlProbe(Form, "knob", {5, 5, 25, 25}, Log);
    knob->SetParent(box);
    knob->SetHint("Tune");
    knob->SetShowHint(true);
    Host.MouseMove(*knob, 2, 2);
    Host.MouseDown(*knob, TMouseButton::mbLeft, 2, 2);
    delete boxOwner;
    EXPECT_EQ(Host.CaptureForm(), nullptr);
    delete knob;
    Host.Advance(1000);
    EXPECT_FALSE(Host.HintVisible());
    Log.clear();
    Host.MouseUpAt(*Form, TMouseButton::mbLeft, {100 + 130, 50 + 20});
    Host.MouseMoveAt(*Form, {100 + 131, 50 + 21});
    EXPECT_EQ(Take(), Lines{}) << "nothing left under the mouse there";
}

TEST(FormLifetime, AnErrorInOnDestroyIsReportedAndTheFormIsFreedAllTheSame)
{
    class TFreed : public TComponent {
    public:
        TFreed(TComponent* owner, bool& freed) : TComponent(owner), FFreed(freed) {}
        ~TFreed() override { FFreed = true; }

    private:
        bool& FFreed;
    };
    enum class THow { Directly, ByItsOwner, WithTheApplication };
    for (THow how : {THow::Directly, THow::ByItsOwner, THow::WithTheApplication}) {
        SCOPED_TRACE(static_cast<int>(how));
        THeadlessHost host;
        bool controlFreed = false;
        int calls = 0;
        {
            TApplication app(host);
            app.SetTitle("Velkor");
            new TForm(&app); // the main form stays
            auto* owner = new TComponent(&app);
            auto* form = new TForm(owner);
            new TFreed(form, controlFreed);
            form->OnDestroy = [&](TObject*) {
                ++calls;
                throw Exception("Cannot save the settings");
            };
            if (how == THow::Directly)
                delete form;
            else if (how == THow::ByItsOwner)
                delete owner;
            if (how != THow::WithTheApplication) {
                EXPECT_TRUE(controlFreed);
            }
        }
        EXPECT_TRUE(controlFreed);
        EXPECT_EQ(calls, 1);
        ASSERT_EQ(host.MessageBoxes().size(), 1u);
        EXPECT_EQ(host.MessageBoxes()[0].Text, "Cannot save the settings.");
        EXPECT_EQ(host.MessageBoxes()[0].Caption, "Velkor");
        EXPECT_EQ(host.MessageBoxes()[0].Style, MsgBox::kOk | MsgBox::kIconError);
    }
}

TEST(FormLifetime, AFormOutsideAnyApplicationIsRefusedAndLeavesNothingBehind)
{
    THeadlessHost host;
    TComponent loose(nullptr);
    EXPECT_THROW(new TForm(&loose), EInvalidOperation);
    EXPECT_EQ(loose.ComponentCount(), 0) << "the refused form is no longer owned";
    EXPECT_THROW(new TForm(nullptr), EInvalidOperation);
}

TEST(FormLifetime, AHostReportsToTheApplicationAttachedNowAndDropsErrorsWithoutOne)
{
    THeadlessHost host;
    {
        TApplication first(host);
        first.SetTitle("first");
    }
    host.Schedule(1, [] { throw Exception("Rig is not responding"); });
    host.Advance(1);
    EXPECT_TRUE(host.MessageBoxes().empty()) << "no application, nobody to tell";

    TApplication second(host);
    second.SetTitle("second");
    host.Schedule(1, [] { throw Exception("Rig is not responding"); });
    host.Advance(1);
    ASSERT_EQ(host.MessageBoxes().size(), 1u);
    EXPECT_EQ(host.MessageBoxes()[0].Caption, "second");
}

TEST_F(FormsTest, PaintingClipsEveryControlToItselfAndItsParent)
{
    Form->SetColor(clBlack);
    Panel->SetColor(clSilver);
    Button->SetColor(clRed);
    Button->SetBounds(90, 40, 30, 30); // hangs over the panel's corner
    const auto calls = Host.Paint(*Form);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].BrushColor, clBlack);
    EXPECT_EQ(calls[0].Clip, (TRect{0, 0, 200, 100}));
    EXPECT_EQ(calls[1].Origin, (TPoint{10, 10}));
    EXPECT_EQ(calls[2].Origin, (TPoint{100, 50}));
    EXPECT_EQ(calls[2].Clip, (TRect{100, 50, 110, 60})) << "clipped to the panel";
    EXPECT_EQ(calls[2].Rect, (TRect{0, 0, 30, 30}));

    Panel->SetVisible(false);
    EXPECT_EQ(Host.Paint(*Form).size(), 1u);
}

TEST_F(FormsTest, ACaptionAssignedItsOwnTextRepaintsNothing)
{
    Host.Paint(*Form);
    Panel->SetCaption("ON");
    EXPECT_EQ(Host.WindowOf(*Form).Invalid.size(), 1u);
    EXPECT_EQ(Host.WindowOf(*Form).Invalid[0], (TRect{10, 10, 110, 60}));
    Host.Paint(*Form);
    Panel->SetCaption("ON");
    Panel->SetStrProp("Caption", "ON");
    EXPECT_TRUE(Host.WindowOf(*Form).Invalid.empty());
    Panel->SetIntProp("Left", 20);
    EXPECT_EQ(Panel->Left(), 20);
}

TEST_F(FormsTest, TheFormFollowsItsWindowAndTheWindowItsForm)
{
    Form->SetBounds(300, 200, 229, 103);
    EXPECT_EQ(Host.WindowOf(*Form).Bounds, (TRect{300, 200, 529, 303}));
    TMessage move{Msg::Move, 0, PointToLParam({310, 220}), 0};
    Form->Dispatch(move);
    EXPECT_EQ(Form->Left(), 310);
    EXPECT_EQ(Form->Top(), 220);
    EXPECT_EQ(Button->ClientToScreen({0, 0}), (TPoint{310 + 15, 220 + 15}));
}

} // namespace
