#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>

#include "base/SysUtils.h"
#include "ui/Forms.h"
#include "ui/HeadlessHost.h"
#include "widgets/TFlatSpeedButtonUnit.h"
#include "widgets/TFlatTitlebarUnit.h"

namespace {

constexpr TColor kTitleColor = 9211797;
constexpr TColor kOverColor = 8421504;

// The main window's chrome as the program builds it.
class FlatChrome : public ::testing::Test {
protected:
    FlatChrome()
    {
        Form->SetBorderStyle(TFormBorderStyle::bsNone);
        Form->SetBounds(300, 200, 229, 103);
        Bar->SetParent(Form);
        Bar->SetBounds(2, 2, 225, 18);
        Bar->SetCaption("None");
        Bar->SetTitlebarColor(kTitleColor);
        Bar->SetInactiveTextColor(clSilver);
        Bar->Font().SetSize(8);
        Bar->Font().SetStyle(fsBold);
        CloseButton = AddButton(208, "X", "Close");
        MinButton = AddButton(192, "", "Minimize");
        MinButton->SetGlyph(MinimizeGlyph());
    }

    TFlatSpeedButton* AddButton(int left, const std::string& caption, const std::string& hint)
    {
        auto* button = new TFlatSpeedButton(Form);
        button->SetParent(Bar);
        button->SetBounds(left, 2, 16, 15);
        button->SetCaption(caption);
        button->SetHint(hint);
        button->SetShowHint(true);
        button->SetColor(kTitleColor);
        button->SetColorDown(kTitleColor);
        button->SetColorBorder(kTitleColor);
        button->SetColorHighLight(kTitleColor);
        button->SetColorFocused(kOverColor);
        button->SetColorShadow(clBlack);
        return button;
    }

    // What one control painted: its calls carry its place on the form.
    std::vector<TCanvasCall> PaintOf(const TControl& control)
    {
        const TPoint origin = control.FormOffset();
        std::vector<TCanvasCall> calls;
        for (const TCanvasCall& call : Host.Paint(*Form))
            if (call.Origin == origin)
                calls.push_back(call);
        return calls;
    }

    TPoint FormPlace() const { return {Form->Left(), Form->Top()}; }

    THeadlessHost Host;
    TApplication App{Host};
    TForm* Form = new TForm(&App);
    TFlatTitlebar* Bar = new TFlatTitlebar(Form);
    TFlatSpeedButton* CloseButton = nullptr;
    TFlatSpeedButton* MinButton = nullptr;
};

TEST_F(FlatChrome, BarPaintsItsFillThenOneCentredCaptionInTheActivityColour)
{
    // Text measures half the font height per character: 11-pixel bold gives 5 x 11.
    struct TCase {
        std::string Caption;
        int Width, Height;
        bool Active;
        TPoint Text;
    };
    const std::vector<TCase> cases = {
        {"None", 225, 18, false, {112 - 10, 9 - 5}},
        {"Memories", 531, 19, true, {265 - 20, 9 - 5}},
        {"abc", 101, 10, true, {50 - 7, 5 - 5}},
        // Wider than the bar: still centred, both ends cut off.
        {std::string(50, 'W'), 225, 18, false, {112 - 125, 4}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Caption);
        Bar->SetBounds(2, 2, c.Width, c.Height);
        Bar->SetCaption(c.Caption);
        if (c.Active)
            Host.Activate(*Form);
        else
            Host.Deactivate(*Form);
        const std::vector<TCanvasCall> calls = PaintOf(*Bar);
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].Kind, TCanvasCall::FillRect);
        EXPECT_EQ(calls[0].Rect, (TRect{0, 0, c.Width, c.Height}));
        EXPECT_EQ(calls[0].BrushColor, kTitleColor);
        EXPECT_EQ(calls[1].Kind, TCanvasCall::TextOut);
        EXPECT_EQ(calls[1].Text, c.Caption);
        EXPECT_EQ(calls[1].Points[0], c.Text);
        EXPECT_EQ(calls[1].BrushStyle, TBrushStyle::Solid);
        EXPECT_EQ(calls[1].BrushColor, kTitleColor);
        EXPECT_EQ(calls[1].Font.Color(), c.Active ? clWhite : clSilver);
        EXPECT_EQ(calls[1].Font.Style(), fsBold);
        EXPECT_EQ(calls[1].Clip, (TRect{2, 2, 2 + std::min(c.Width, 227), 2 + std::min(c.Height, 101)}));
    }
}

TEST(FlatTitlebar, FreshBarIsBlackWithTheInactiveCaptionUntilItsFormIsActivated)
{
    THeadlessHost host;
    TApplication app(host);
    auto* form = new TForm(&app);
    auto* bar = new TFlatTitlebar(form);
    bar->SetParent(form);
    bar->SetCaption("x");
    EXPECT_EQ(bar->BoundsRect(), (TRect{0, 0, 100, 19}));
    EXPECT_FALSE(bar->Active());
    const std::vector<TCanvasCall> calls = host.Paint(*form);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2].BrushColor, clBlack);
    EXPECT_EQ(calls.back().Font.Color(), TFlatTitlebar::kDefaultInactiveTextColor);

    // Stored settings reach the colours by name.
    bar->SetIntProp("activetextcolor", 0x123456);
    EXPECT_EQ(bar->ActiveTextColor(), 0x123456u);
    EXPECT_EQ(bar->GetIntProp("TitlebarColor"), 0);
}

TEST_F(FlatChrome, ColourSettersRepaintOnlyWhenTheValueChanges)
{
    struct TCase {
        const char* Name;
        std::function<void(TColor)> Set;
        TColor Current;
    };
    const std::vector<TCase> cases = {
        {"ActiveTextColor", [&](TColor c) { Bar->SetActiveTextColor(c); }, clWhite},
        {"InactiveTextColor", [&](TColor c) { Bar->SetInactiveTextColor(c); }, clSilver},
        {"TitlebarColor", [&](TColor c) { Bar->SetTitlebarColor(c); }, kTitleColor},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Host.Paint(*Form);
        c.Set(c.Current);
        EXPECT_TRUE(Host.WindowOf(*Form).Invalid.empty());
        c.Set(c.Current ^ 0x010101);
        ASSERT_FALSE(Host.WindowOf(*Form).Invalid.empty());
        EXPECT_EQ(Host.WindowOf(*Form).Invalid.back(), (TRect{2, 2, 227, 20}));
    }
}

TEST_F(FlatChrome, ActivationOfTheFormSwitchesCaptionColourAndRaisesEvents)
{
    std::vector<std::string> events;
    Bar->OnActivate = [&](TObject* sender) { events.push_back(sender == Bar ? "activate" : "?"); };
    Bar->OnDeactivate = [&](TObject* sender) { events.push_back(sender == Bar ? "deactivate" : "?"); };
    auto* other = new TForm(&App);

    Host.Activate(*Form, true); // clicked into
    EXPECT_TRUE(Bar->Active());
    EXPECT_EQ(PaintOf(*Bar).back().Font.Color(), clWhite);
    Host.Activate(*other); // another window takes over
    EXPECT_FALSE(Bar->Active());
    EXPECT_EQ(PaintOf(*Bar).back().Font.Color(), clSilver);
    Host.Activate(*Form); // by keyboard
    EXPECT_EQ(events, (std::vector<std::string>{"activate", "deactivate", "activate"}));

    // Moved to another form, the bar follows that form only.
    Bar->SetParent(other);
    events.clear();
    Host.Activate(*other);
    Host.Activate(*Form);
    EXPECT_EQ(events, (std::vector<std::string>{"activate", "deactivate"}));
}

TEST_F(FlatChrome, BarDestroyedBeforeItsFormNoLongerHearsTheForm)
{
    int calls = 0;
    Bar->OnActivate = [&](TObject*) { ++calls; };
    Bar->OnDeactivate = [&](TObject*) { ++calls; };
    delete Bar;
    Host.Activate(*Form);
    Host.Deactivate(*Form);
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(Host.MessageBoxes().empty());

    // And a form that goes before a bar it does not own leaves nothing behind.
    auto* outliving = new TFlatTitlebar(&App);
    outliving->SetParent(Form);
    delete Form;
    EXPECT_EQ(outliving->Parent(), nullptr);
    delete outliving;
}

TEST_F(FlatChrome, BarRefusesAParentThatIsNotAForm)
{
    auto* panel = new TCustomControl(Form);
    panel->SetParent(Form);
    auto* loose = new TFlatTitlebar(Form);
    for (TFlatTitlebar* bar : {loose, Bar}) {
        TWinControl* before = bar->Parent();
        try {
            bar->SetParent(panel);
            ADD_FAILURE() << "no error";
        } catch (const EInvalidOperation& error) {
            EXPECT_STREQ(error.what(), "TFlatTitlebar can only be placed on a descndant of a TCustomForm");
        }
        EXPECT_EQ(bar->Parent(), before);
    }
    EXPECT_EQ(panel->ControlCount(), 0);
    // The refused move left the bar watching its form.
    Host.Activate(*Form);
    EXPECT_TRUE(Bar->Active());
}

TEST_F(FlatChrome, DraggingTheBarMovesTheFormByExactlyTheMouseMovement)
{
    const std::vector<TPoint> moves = {{5, 3}, {-40, 0}, {0, -25}, {1, 1}, {300, 200}, {0, 0}};
    const TPoint start = FormPlace();
    TPoint mouse = Bar->ClientToScreen({50, 9});
    Host.MouseDownAt(*Form, TMouseButton::mbLeft, mouse);
    EXPECT_TRUE(Bar->Dragging());
    EXPECT_EQ(Bar->DragOrigin(), (TPoint{50, 9}));
    for (const TPoint move : moves) {
        mouse = {mouse.X + move.X, mouse.Y + move.Y};
        Host.MouseMoveAt(*Form, mouse);
        EXPECT_EQ(Bar->ScreenToClient(mouse), (TPoint{50, 9})) << "the grabbed point stays under the mouse";
    }
    const TPoint moved = FormPlace();
    EXPECT_EQ(moved, (TPoint{start.X + 266, start.Y + 179}));
    EXPECT_EQ(Host.WindowOf(*Form).Bounds, (TRect{moved.X, moved.Y, moved.X + 229, moved.Y + 103}));

    Host.MouseUpAt(*Form, TMouseButton::mbLeft, mouse);
    EXPECT_FALSE(Bar->Dragging());
    Host.MouseMoveAt(*Form, {mouse.X + 10, mouse.Y + 10});
    EXPECT_EQ(FormPlace(), moved);
}

TEST_F(FlatChrome, DragEndsOnAnyReleaseAndOnlyTheLeftButtonStartsOne)
{
    const TPoint grab = Bar->ClientToScreen({20, 5});
    struct TCase {
        const char* Name;
        std::function<void()> Play;
    };
    const std::vector<TCase> cases = {
        {"right release during a left drag",
         [&] {
             Host.MouseDownAt(*Form, TMouseButton::mbLeft, grab);
             Host.MouseDownAt(*Form, TMouseButton::mbRight, grab);
             Host.MouseUpAt(*Form, TMouseButton::mbRight, grab);
         }},
        {"right button alone", [&] { Host.MouseDownAt(*Form, TMouseButton::mbRight, grab); }},
        {"mouse taken away by another window",
         [&] {
             Host.MouseDownAt(*Form, TMouseButton::mbLeft, grab);
             TMessage lost{Msg::CaptureChanged, 0, 0, 0};
             Form->Dispatch(lost);
         }},
        {"press on the close button", [&] { Host.MouseDownAt(*Form, TMouseButton::mbLeft, CloseButton->ClientToScreen({3, 3})); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TPoint before = FormPlace();
        c.Play();
        EXPECT_FALSE(Bar->Dragging());
        Host.MouseMoveAt(*Form, {grab.X + 30, grab.Y + 20});
        EXPECT_EQ(FormPlace(), before);
        Host.MouseUpAt(*Form, TMouseButton::mbLeft, grab);
        Host.MouseUpAt(*Form, TMouseButton::mbRight, grab);
    }
}

struct TLook {
    TColor Face, TopLeft, BottomRight;
    bool operator==(const TLook&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TLook& look)
{
    return out << std::hex << look.Face << "/" << look.TopLeft << "/" << look.BottomRight;
}

TLook LookOf(const std::vector<TCanvasCall>& calls)
{
    if (calls.size() < 5 || calls[0].Kind != TCanvasCall::FillRect)
        return {};
    return {calls[0].BrushColor, calls[1].PenColor, calls[4].PenColor};
}

TEST_F(FlatChrome, ButtonShowsItsStateAsTheMouseComesPressesAndGoes)
{
    // Distinct colours so that no two roles can be mixed up.
    CloseButton->SetColor(0x11);
    CloseButton->SetColorFocused(0x22);
    CloseButton->SetColorDown(0x33);
    CloseButton->SetColorBorder(0x44);
    CloseButton->SetColorHighLight(0x55);
    CloseButton->SetColorShadow(0x66);
    const TLook up{0x11, 0x44, 0x44}, over{0x22, 0x55, 0x66}, down{0x33, 0x66, 0x55};
    int clicks = 0;
    CloseButton->OnClick = [&](TObject*) { ++clicks; };
    auto& b = *CloseButton;
    struct TStep {
        const char* Name;
        std::function<void()> Do;
        TLook Look;
        int Clicks;
    };
    const std::vector<TStep> steps = {
        {"at rest", [] {}, up, 0},
        {"mouse comes", [&] { Host.MouseMove(b, 5, 5); }, over, 0},
        {"left press", [&] { Host.MouseDown(b, TMouseButton::mbLeft, 5, 5); }, down, 0},
        {"dragged off", [&] { Host.MouseMove(b, 40, 5); }, up, 0},
        {"released off", [&] { Host.MouseUp(b, TMouseButton::mbLeft, 40, 5); }, up, 0},
        {"back over", [&] { Host.MouseMove(b, 5, 5); }, over, 0},
        {"right click", [&] {
             Host.MouseDown(b, TMouseButton::mbRight, 5, 5);
             Host.MouseUp(b, TMouseButton::mbRight, 5, 5);
         }, over, 0},
        {"pressed again", [&] { Host.MouseDown(b, TMouseButton::mbLeft, 5, 5); }, down, 0},
        {"off and back", [&] {
             Host.MouseMove(b, -3, 5);
             Host.MouseMove(b, 15, 14);
         }, down, 0},
        {"released over", [&] { Host.MouseUp(b, TMouseButton::mbLeft, 15, 14); }, over, 1},
        {"mouse goes", [&] { Host.MouseMove(*Bar, 50, 5); }, up, 1},
        {"disabled", [&] { b.SetEnabled(false); }, up, 1},
        {"disabled under the mouse", [&] { Host.Click(b, 5, 5); }, up, 1},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.Name);
        step.Do();
        EXPECT_EQ(LookOf(PaintOf(b)), step.Look);
        EXPECT_EQ(clicks, step.Clicks);
    }
    EXPECT_EQ(b.State(), TFlatSpeedButton::TState::Disabled);
}

TEST_F(FlatChrome, ButtonFrameIsOnePixelWithTheFarCornersInTheLowerRightColour)
{
    Host.MouseMove(*CloseButton, 5, 5);
    const std::vector<TCanvasCall> calls = PaintOf(*CloseButton);
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[0].Rect, (TRect{0, 0, 16, 15}));
    EXPECT_EQ(calls[0].BrushColor, kOverColor);
    // Lines leave out their end point.
    const std::vector<std::pair<TPoint, TPoint>> lines = {
        {{0, 0}, {15, 0}}, {{0, 0}, {0, 14}}, {{0, 14}, {16, 14}}, {{15, 0}, {15, 14}}};
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(calls[i + 1].Kind, TCanvasCall::Line);
        EXPECT_EQ(calls[i + 1].Points, (std::vector<TPoint>{lines[i].first, lines[i].second}));
        EXPECT_EQ(calls[i + 1].PenColor, i < 2 ? kTitleColor : clBlack);
    }
}

TEST_F(FlatChrome, ButtonsCentreTheirCaptionInTheBarsFontOrTheirGlyph)
{
    const std::vector<TCanvasCall> close = PaintOf(*CloseButton);
    ASSERT_EQ(close.back().Kind, TCanvasCall::TextOut);
    EXPECT_EQ(close.back().Text, "X");
    EXPECT_EQ(close.back().Points[0], (TPoint{(16 - 5) / 2, (15 - 11) / 2}));
    EXPECT_EQ(close.back().BrushStyle, TBrushStyle::Clear);
    EXPECT_EQ(close.back().Font, Bar->Font());

    Bar->Font().SetHeight(-13);
    EXPECT_EQ(PaintOf(*CloseButton).back().Font.Height(), -13) << "the bar's font is followed";
    CloseButton->Font().SetHeight(-7);
    EXPECT_EQ(PaintOf(*CloseButton).back().Font.Height(), -7) << "an own font ends that";

    const std::vector<TCanvasCall> min = PaintOf(*MinButton);
    ASSERT_EQ(min.back().Kind, TCanvasCall::Bitmap);
    EXPECT_EQ(min.back().Rect, (TRect{1, 0, 15, 14}));
    const TBitmap glyph = MinimizeGlyph();
    EXPECT_EQ(glyph.TransparentColor(), clWhite);
    EXPECT_EQ(glyph.Pixel(2, 10), clBlack);
    EXPECT_EQ(glyph.Pixel(11, 11), clBlack);
    EXPECT_EQ(glyph.Pixel(12, 11), clWhite);
}

TEST_F(FlatChrome, ButtonClicksOnLeftReleaseAndShowsItsHintAfterThePause)
{
    int clicks = 0;
    MinButton->OnClick = [&](TObject*) { ++clicks; };
    Host.Click(*MinButton, 3, 3);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(FormPlace(), (TPoint{300, 200}));

    Host.MouseMove(*Bar, 50, 5);
    Host.MouseMove(*CloseButton, 5, 5);
    Host.Advance(App.HintPause - 1);
    EXPECT_FALSE(Host.HintVisible());
    Host.Advance(1);
    EXPECT_TRUE(Host.HintVisible());
    EXPECT_EQ(Host.HintText(), "Close");
}

} // namespace
