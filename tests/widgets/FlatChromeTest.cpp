#include <gtest/gtest.h>

#include <functional>

#include "base/SysUtils.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"
#include "widgets/TFlatSpeedButtonUnit.h"
#include "widgets/TFlatTitlebarUnit.h"

namespace {

constexpr TColor kTitle = 9211797;

// The main window's chrome as the program builds it; text measures 5 x 11
// pixels per character in its bold 8 pt font.
class FlatChrome : public ::testing::Test {
protected:
    FlatChrome()
    {
        Form->SetBounds(300, 200, 229, 103);
        Bar->SetParent(Form);
        Bar->SetBounds(2, 2, 225, 18);
        Bar->SetCaption("None");
        Bar->SetTitlebarColor(kTitle);
        Bar->SetInactiveTextColor(clSilver);
        Bar->Font().SetSize(8);
        Bar->Font().SetStyle(fsBold);
        for (auto* button : {Close, Min}) {
            button->SetParent(Bar);
            button->SetShowHint(true);
            for (const char* prop : {"Color", "ColorDown", "ColorBorder", "ColorHighLight"})
                button->SetIntProp(prop, kTitle);
            button->SetColorFocused(clGray);
            button->SetColorShadow(clBlack);
        }
        Close->SetBounds(208, 2, 16, 15);
        Close->SetCaption("X");
        Close->SetHint("Close");
        Min->SetBounds(192, 2, 16, 15);
        Min->SetGlyph(MinimizeGlyph());
    }

    // What one control painted: its calls carry its place on the form.
    std::vector<TCanvasCall> PaintOf(const TControl& control)
    {
        std::vector<TCanvasCall> calls;
        for (const TCanvasCall& call : Host.Paint(*Form))
            if (call.Origin == control.FormOffset())
                calls.push_back(call);
        return calls;
    }
    TPoint Place() const { return {Form->Left(), Form->Top()}; }

    THeadlessHost Host;
    TApplication App{Host};
    TForm* Form = new TForm(&App);
    TFlatTitlebar* Bar = new TFlatTitlebar(Form);
    TFlatSpeedButton* Close = new TFlatSpeedButton(Form);
    TFlatSpeedButton* Min = new TFlatSpeedButton(Form);
};

TEST_F(FlatChrome, BarPaintsItsFillThenOneCentredCaptionInTheActivityColour)
{
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
        {std::string(50, 'W'), 225, 18, false, {112 - 125, 4}}, // wider than the bar: ends cut off
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Caption);
        Bar->SetBounds(2, 2, c.Width, c.Height);
        Bar->SetCaption(c.Caption);
        c.Active ? Host.Activate(*Form) : Host.Deactivate(*Form);
        const std::vector<TCanvasCall> calls = PaintOf(*Bar);
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].Rect, (TRect{0, 0, c.Width, c.Height}));
        EXPECT_EQ(calls[0].BrushColor, kTitle);
        EXPECT_EQ(calls[1].Text, c.Caption);
        EXPECT_EQ(calls[1].Points[0], c.Text);
        EXPECT_EQ(calls[1].BrushStyle, TBrushStyle::Solid);
        EXPECT_EQ(calls[1].BrushColor, kTitle);
        EXPECT_EQ(calls[1].Font.Color(), c.Active ? clWhite : clSilver);
        EXPECT_EQ(calls[1].Font.Style(), fsBold);
    }
}

TEST_F(FlatChrome, ColourSettersRepaintOnlyWhenTheValueChanges)
{
    const std::vector<std::pair<const char*, TColor>> cases = {
        {"ActiveTextColor", clWhite}, {"InactiveTextColor", clSilver}, {"TitlebarColor", kTitle}};
    for (const auto& [name, current] : cases) {
        SCOPED_TRACE(name);
        Host.Paint(*Form);
        Bar->SetIntProp(name, current);
        EXPECT_TRUE(Host.WindowOf(*Form).Invalid.empty());
        Bar->SetIntProp(name, current ^ 0x010101);
        EXPECT_EQ(Host.WindowOf(*Form).Invalid, (std::vector<TRect>{{2, 2, 227, 20}}));
    }
}

TEST_F(FlatChrome, BarFollowsItsOwnFormsActivationAndNothingElse)
{
    std::vector<std::string> events;
    Bar->OnActivate = [&](TObject* s) { events.push_back(s == Bar ? "on" : "?"); };
    Bar->OnDeactivate = [&](TObject* s) { events.push_back(s == Bar ? "off" : "?"); };
    auto* other = new TForm(&App);
    EXPECT_EQ(PaintOf(*Bar).back().Font.Color(), clSilver) << "inactive until first activated";
    Host.Activate(*Form, true);
    EXPECT_EQ(PaintOf(*Bar).back().Font.Color(), clWhite);
    Host.Activate(*other);
    EXPECT_EQ(PaintOf(*Bar).back().Font.Color(), clSilver);
    Host.Activate(*Form);
    EXPECT_EQ(events, (std::vector<std::string>{"on", "off", "on"}));

    events.clear();
    Bar->SetParent(other);
    Host.Activate(*other);
    Host.Activate(*Form);
    EXPECT_EQ(events, (std::vector<std::string>{"on", "off"}));

    // Gone before its form, the bar hears nothing more.
    events.clear();
    delete Bar;
    Host.Activate(*other);
    EXPECT_TRUE(events.empty());
    // A form going before a bar it does not own leaves nothing behind.
    auto* loose = new TFlatTitlebar(&App);
    loose->SetParent(Form);
    delete Form;
    EXPECT_EQ(loose->Parent(), nullptr);
    delete loose;
}

TEST_F(FlatChrome, BarRefusesAParentThatIsNotAForm)
{
    auto* panel = new TCustomControl(Form);
    panel->SetParent(Form);
    for (TFlatTitlebar* bar : {new TFlatTitlebar(Form), Bar}) {
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
    Host.Activate(*Form);
    EXPECT_TRUE(Bar->Active()) << "still watching its form";
}

TEST_F(FlatChrome, DraggingTheBarMovesTheFormByExactlyTheMouseMovement)
{
    const TPoint start = Place();
    TPoint mouse = Bar->ClientToScreen({50, 9});
    Host.MouseDownAt(*Form, TMouseButton::mbLeft, mouse);
    for (const TPoint move : std::vector<TPoint>{{5, 3}, {-40, 0}, {0, -25}, {300, 200}, {0, 0}}) {
        mouse = {mouse.X + move.X, mouse.Y + move.Y};
        Host.MouseMoveAt(*Form, mouse);
        EXPECT_EQ(Bar->ScreenToClient(mouse), (TPoint{50, 9})) << "the grabbed point stays under the mouse";
    }
    EXPECT_EQ(Place(), (TPoint{start.X + 265, start.Y + 178}));
    EXPECT_EQ(Host.WindowOf(*Form).Bounds.Left, start.X + 265);
    Host.MouseUpAt(*Form, TMouseButton::mbLeft, mouse);
    Host.MouseMoveAt(*Form, {mouse.X + 10, mouse.Y + 10});
    EXPECT_EQ(Place(), (TPoint{start.X + 265, start.Y + 178}));
}

TEST_F(FlatChrome, NoDragAfterAnyReleaseOrFromOtherButtonsOrTheTitleButtons)
{
    const TPoint grab = Bar->ClientToScreen({20, 5});
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"right release during a left drag",
         [&] {
             Host.MouseDownAt(*Form, TMouseButton::mbLeft, grab);
             Host.MouseDownAt(*Form, TMouseButton::mbRight, grab);
             Host.MouseUpAt(*Form, TMouseButton::mbRight, grab);
         }},
        {"right button alone", [&] { Host.MouseDownAt(*Form, TMouseButton::mbRight, grab); }},
        {"mouse taken by another window",
         [&] {
             Host.MouseDownAt(*Form, TMouseButton::mbLeft, grab);
             TMessage lost{Msg::CaptureChanged, 0, 0, 0};
             Form->Dispatch(lost);
         }},
        {"press on X", [&] { Host.MouseDownAt(*Form, TMouseButton::mbLeft, Close->ClientToScreen({3, 3})); }},
    };
    for (const auto& [name, play] : cases) {
        SCOPED_TRACE(name);
        const TPoint before = Place();
        play();
        Host.MouseMoveAt(*Form, {grab.X + 30, grab.Y + 5});
        EXPECT_EQ(Place(), before);
        Host.MouseUpAt(*Form, TMouseButton::mbLeft, grab);
        Host.MouseUpAt(*Form, TMouseButton::mbRight, grab);
    }
}

TEST_F(FlatChrome, ButtonShowsItsStateAsTheMouseComesPressesAndGoes)
{
    // Distinct colours, so that no two roles can be mixed up.
    int value = 1;
    for (const char* prop : {"Color", "ColorFocused", "ColorDown", "ColorBorder", "ColorHighLight", "ColorShadow"})
        Close->SetIntProp(prop, value++);
    const std::vector<TColor> up{1, 4, 4}, over{2, 5, 6}, down{3, 6, 5}; // face, top-left, bottom-right
    int clicks = 0;
    Close->OnClick = [&](TObject*) { ++clicks; };
    TFlatSpeedButton& b = *Close;
    struct TStep {
        const char* Name;
        std::function<void()> Do;
        std::vector<TColor> Look;
        int Clicks;
    };
    const std::vector<TStep> steps = {
        {"mouse comes", [&] { Host.MouseMove(b, 5, 5); }, over, 0},
        {"left press", [&] { Host.MouseDown(b, TMouseButton::mbLeft, 5, 5); }, down, 0},
        {"dragged off", [&] { Host.MouseMove(b, -3, 5); }, up, 0},
        {"back over", [&] { Host.MouseMove(b, 15, 14); }, down, 0},
        {"released over", [&] { Host.MouseUp(b, TMouseButton::mbLeft, 15, 14); }, over, 1},
        {"released off", [&] {
             Host.MouseDown(b, TMouseButton::mbLeft, 5, 5);
             Host.MouseMove(b, 40, 5);
             Host.MouseUp(b, TMouseButton::mbLeft, 40, 5);
         }, up, 1},
        {"right click", [&] {
             Host.MouseMove(b, 5, 5);
             Host.MouseDown(b, TMouseButton::mbRight, 5, 5);
             Host.MouseUp(b, TMouseButton::mbRight, 5, 5);
         }, over, 1},
        {"mouse goes", [&] { Host.MouseMove(*Bar, 50, 5); }, up, 1},
        {"disabled while held", [&] {
             Host.MouseMove(b, 5, 5);
             Host.MouseDown(b, TMouseButton::mbLeft, 5, 5);
             b.SetEnabled(false);
             Host.MouseUp(b, TMouseButton::mbLeft, 5, 5);
         }, up, 1},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.Name);
        step.Do();
        const std::vector<TCanvasCall> calls = PaintOf(b);
        ASSERT_EQ(calls.size(), 6u);
        EXPECT_EQ(calls[0].Rect, (TRect{0, 0, 16, 15}));
        EXPECT_EQ((std::vector<TColor>{calls[0].BrushColor, calls[1].PenColor, calls[4].PenColor}), step.Look);
        EXPECT_EQ(clicks, step.Clicks);
    }
    // A one-pixel frame; lines leave out their end, so the far corners go to the lower-right colour.
    const std::vector<TCanvasCall> calls = PaintOf(b);
    const std::vector<std::vector<TPoint>> lines = {
        {{0, 0}, {15, 0}}, {{0, 0}, {0, 14}}, {{0, 14}, {16, 14}}, {{15, 0}, {15, 14}}};
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(calls[i + 1].Points, lines[i]);
}

TEST_F(FlatChrome, ButtonsCentreCaptionInTheBarsFontOrGlyphAndShowTheirHint)
{
    const TCanvasCall text = PaintOf(*Close).back();
    EXPECT_EQ(text.Text, "X");
    EXPECT_EQ(text.Points[0], (TPoint{(16 - 5) / 2, (15 - 11) / 2}));
    EXPECT_EQ(text.BrushStyle, TBrushStyle::Clear);
    EXPECT_EQ(text.Font, Bar->Font());
    Bar->Font().SetHeight(-13);
    EXPECT_EQ(PaintOf(*Close).back().Font.Height(), -13) << "the bar's font is followed";
    Close->Font().SetHeight(-7);
    EXPECT_EQ(PaintOf(*Close).back().Font.Height(), -7) << "until the button's own font is set";

    const TCanvasCall glyph = PaintOf(*Min).back();
    EXPECT_EQ(glyph.Kind, TCanvasCall::Bitmap);
    EXPECT_EQ(glyph.Rect, (TRect{1, 0, 15, 14}));

    Host.MouseMove(*Close, 5, 5);
    Host.Advance(App.HintPause);
    EXPECT_TRUE(Host.HintVisible());
    EXPECT_EQ(Host.HintText(), "Close");
}

} // namespace
