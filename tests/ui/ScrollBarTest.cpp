// The windowless scroll bar on the headless host: its range at the limits of
// an int, the thumb where the track is short or the range huge, holding and
// leaving the arrows and the track, and the focus a press gives the control
// it scrolls.
#include <gtest/gtest.h>

#include <climits>

#include "base/SysUtils.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"
#include "ui/ScrollBar.h"

namespace {

// A control that takes keys, with a bar on its right edge; it logs what it
// gets and may keep the focus when it is asked to give it up.
class TScrolled : public TCustomControl {
public:
    TScrolled(TWinControl* parent, TRect bounds, std::vector<std::string>& log) : TCustomControl(parent), FLog(log)
    {
        SetParent(parent);
        SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
        SetTabStop(true);
    }
    void DoEnter() override { FLog.push_back(Name() + " focus"); }
    void DoExit() override
    {
        if (KeepFocus)
            ParentForm()->SetActiveControl(this);
    }
    void DblClick() override { FLog.push_back(Name() + " dblclick"); }
    void MouseDown(TMouseButton, TShiftState, int, int) override { FLog.push_back(Name() + " down"); }
    bool KeepFocus = false;

private:
    std::vector<std::string>& FLog;
};

class ScrollBarTest : public ::testing::Test {
protected:
    ScrollBarTest()
    {
        Form = new TForm(&App);
        Form->SetBorderStyle(TFormBorderStyle::bsNone);
        Form->SetBounds(100, 50, 200, 200);
        Scrolled = new TScrolled(Form, {10, 10, 110, 160}, Log);
        Scrolled->SetName("scrolled");
        Other = new TScrolled(Form, {130, 10, 170, 50}, Log);
        Other->SetName("other");
        Bar = new TScrollBar(Scrolled);
        Bar->SetParent(Scrolled);
        Bar->SetBounds(84, 0, TScrollBar::kDefaultWidth, 150); // a track of 118
        Bar->OnScroll = [this](TObject*) { Scrolls.push_back(Bar->Position()); };
        Form->Show();
        Form->SetActiveControl(Scrolled);
        Log.clear();
    }
    ~ScrollBarTest() override { delete Form; }

    THeadlessHost Host;
    TApplication App{Host};
    TForm* Form;
    TScrolled* Scrolled;
    TScrolled* Other;
    TScrollBar* Bar;
    std::vector<std::string> Log;
    std::vector<int> Scrolls;
};

TEST_F(ScrollBarTest, RangeAndPositionStayInRangeAndOnlyTheOperatorScrolls)
{
    Bar->SetRange(-5, 0);
    EXPECT_EQ(Bar->Max(), 0);
    EXPECT_EQ(Bar->PageSize(), 1);
    Bar->SetRange(10, 3);
    Bar->SetPosition(50);
    EXPECT_EQ(Bar->Position(), 10);
    Bar->SetPosition(-3);
    EXPECT_EQ(Bar->Position(), 0);
    Bar->SetPosition(9);
    Bar->SetRange(4, 3);
    EXPECT_EQ(Bar->Position(), 4) << "a range that shrank takes the position along";
    EXPECT_TRUE(Scrolls.empty()) << "what the scrolled control sets raises nothing";

    // At either end an arrow scrolls nothing and tells nothing.
    Host.Click(*Bar, 8, 140);
    Bar->SetPosition(0);
    Host.Click(*Bar, 8, 5);
    EXPECT_TRUE(Scrolls.empty());
}

TEST_F(ScrollBarTest, TheThumbWhereTheTrackIsShortOrTheRangeHuge)
{
    struct Case {
        const char* What;
        int Height, Max, Page, Position;
        TRect Thumb;
    };
    const Case cases[] = {
        {"nothing to scroll: the whole track", 150, 0, 5, 0, {0, 16, 16, 134}},
        {"half the rows show, halfway", 150, 10, 10, 5, {0, 45, 16, 104}},
        {"a huge range: the shortest thumb, at the foot", 150, INT_MAX, 1, INT_MAX, {0, 126, 16, 134}},
        {"a huge range and page", 150, INT_MAX, INT_MAX, 0, {0, 16, 16, 75}},
        {"the shortest track with a thumb", 40, 10, 1, 10, {0, 16, 16, 24}},
        {"no room for the arrows", 20, 10, 1, 0, {}},
        {"a track too short for one", 39, 10, 1, 0, {}},
    };
    for (const Case& c : cases) {
        Bar->SetBounds(84, 0, TScrollBar::kDefaultWidth, c.Height);
        Bar->SetRange(c.Max, c.Page);
        Bar->SetPosition(c.Position);
        EXPECT_EQ(Bar->ThumbRect(), c.Thumb) << c.What;
    }
    // Without a thumb the track takes no press.
    Host.Click(*Bar, 8, 19);
    EXPECT_TRUE(Scrolls.empty());

    // The huge range's thumb dragged to the foot reaches the last position.
    Bar->SetBounds(84, 0, TScrollBar::kDefaultWidth, 150);
    Bar->SetRange(INT_MAX, 1);
    Bar->SetPosition(0);
    Host.MouseDown(*Bar, TMouseButton::mbLeft, 8, 20);
    Host.MouseMove(*Bar, 8, 1000, ssLeft);
    Host.MouseUp(*Bar, TMouseButton::mbLeft, 8, 1000);
    EXPECT_EQ(Scrolls, std::vector<int>{INT_MAX});
    Host.MouseDown(*Bar, TMouseButton::mbLeft, 8, 130);
    Host.MouseMove(*Bar, 8, -1000, ssLeft);
    Host.MouseUp(*Bar, TMouseButton::mbLeft, 8, -1000);
    EXPECT_EQ(Scrolls, (std::vector<int>{INT_MAX, 0})) << "and back to the top";
}

TEST_F(ScrollBarTest, HeldPartsRepeatOnlyWhileTheMouseStaysOnThemAndStopAtTheEnd)
{
    Bar->SetRange(20, 5);
    Host.MouseDown(*Bar, TMouseButton::mbLeft, 8, 140); // the down arrow
    EXPECT_EQ(Scrolls, std::vector<int>{1}) << "the press scrolls at once";
    Host.Advance(399);
    EXPECT_EQ(Scrolls.size(), 1u) << "the first repeat after 400 ms";
    Host.Advance(1 + 2 * 50);
    EXPECT_EQ(Scrolls, (std::vector<int>{1, 2, 3, 4}));
    Host.MouseMove(*Bar, 60, 140, ssLeft); // off the bar, still held
    Host.Advance(500);
    EXPECT_EQ(Scrolls.size(), 4u) << "no repeat while the mouse is elsewhere";
    Host.MouseMove(*Bar, 8, 140, ssLeft);
    Host.Advance(2000);
    EXPECT_EQ(Scrolls.back(), 20) << "goes on once back";
    EXPECT_EQ(Scrolls.size(), 20u) << "and stops at the end";
    Host.MouseUp(*Bar, TMouseButton::mbLeft, 8, 140);

    // The track below the thumb pages until the thumb reaches the mouse.
    Bar->SetPosition(0);
    Scrolls.clear();
    Host.MouseDown(*Bar, TMouseButton::mbLeft, 8, 100);
    Host.Advance(2000);
    Host.MouseUp(*Bar, TMouseButton::mbLeft, 8, 100);
    EXPECT_EQ(Scrolls, (std::vector<int>{5, 10, 15}));
    const TRect thumb = Bar->ThumbRect();
    EXPECT_TRUE(thumb.Top <= 100 && 100 < thumb.Bottom) << thumb.Top << "-" << thumb.Bottom;
    Host.Advance(2000);
    EXPECT_EQ(Scrolls.size(), 3u) << "the release stops the repeat";
}

TEST_F(ScrollBarTest, APressFocusesTheScrolledControlUnlessTheFocusedOneKeepsIt)
{
    Bar->SetRange(20, 5);
    Form->SetActiveControl(Other);
    Log.clear();
    Host.MouseDown(*Bar, TMouseButton::mbRight, 8, 140);
    Host.MouseDown(*Bar, TMouseButton::mbLeft, 8, 140);
    Host.MouseUp(*Bar, TMouseButton::mbLeft, 8, 140);
    Host.MouseUp(*Bar, TMouseButton::mbRight, 8, 140);
    EXPECT_EQ(Form->ActiveControl(), Other) << "a left press during a right one moves no focus";
    EXPECT_EQ(Scrolls, std::vector<int>{1});

    Host.Click(*Bar, 8, 140);
    EXPECT_EQ(Form->ActiveControl(), Scrolled);
    EXPECT_EQ(Log, std::vector<std::string>{"scrolled focus"});
    EXPECT_EQ(Scrolls, (std::vector<int>{1, 2}));

    // The focused control keeps the focus: the press is dropped.
    Form->SetActiveControl(Other);
    Other->KeepFocus = true;
    Host.Click(*Bar, 8, 140);
    EXPECT_EQ(Form->ActiveControl(), Other);
    EXPECT_EQ(Scrolls, (std::vector<int>{1, 2})) << "no scroll";
    Host.Advance(1000);
    EXPECT_EQ(Scrolls.size(), 2u) << "and no repeat";
}

TEST_F(ScrollBarTest, ADoubleClickOnTheBarScrollsTwiceAndIsNoDoubleClickOfTheScrolledControl)
{
    Bar->SetRange(20, 5);
    Host.DoubleClick(*Bar, 8, 140);
    EXPECT_EQ(Scrolls, (std::vector<int>{1, 2}));
    EXPECT_TRUE(Log.empty()) << Log.front();
    Host.Advance(1000);
    EXPECT_EQ(Scrolls.size(), 2u);
}

} // namespace
