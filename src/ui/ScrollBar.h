#pragma once
// TScrollBar: a vertical scroll bar as a windowless control, an arrow at each
// end (as tall as the bar is wide) and the track with its thumb between them.
// A press on an arrow scrolls a line, one on the track a page, and either goes
// on while held (after 400 ms, then every 50 ms; the track until the thumb
// reaches the mouse); the thumb is dragged. The control it scrolls, its
// parent, places it, tells it the range and the position, and follows
// OnScroll; a press on the bar gives that control the focus when it takes
// keys, as a press anywhere on it would.

#include <cstdint>

#include "ui/Classes.h"
#include "ui/Controls.h"

class TScrollBar : public TGraphicControl {
public:
    static constexpr int kDefaultWidth = 16;
    static constexpr uint32_t kFirstRepeat = 400;
    static constexpr uint32_t kRepeat = 50;
    static constexpr TColor kTrackColor = 0x00C8C8C8;

    explicit TScrollBar(TComponent* AOwner);

    // Positions run from 0 to Max; a page shows PageSize of them. Set by the
    // control scrolled: no OnScroll, the position kept in range.
    int Max() const { return FMax; }
    int PageSize() const { return FPageSize; }
    int Position() const { return FPosition; }
    void SetRange(int max, int pageSize);
    void SetPosition(int position);

    // The operator moved the bar; Position() is its new place.
    TNotifyEvent OnScroll;

    // The thumb in the bar; empty when the track is too short for one.
    TRect ThumbRect() const;

    void Paint(TCanvas& canvas) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    enum class TPart { None, LineUp, LineDown, PageUp, PageDown, Thumb };

    int ArrowHeight() const { return Width(); }
    int TrackLength() const { return Height() - 2 * ArrowHeight(); }
    TPart PartAt(int x, int y) const;
    void Step(TPart part);
    // The operator's move: kept in range, raising OnScroll when it moved.
    void ScrollTo(int position);
    // A press gives the focus to the control scrolled; false when the control
    // that had it took it back, which drops the press.
    bool FocusScrolled();

    int FMax = 0;
    int FPageSize = 1;
    int FPosition = 0;
    TPart FPress = TPart::None;
    int FThumbGrab = 0;
    TPoint FMouse;
    TTimer* FRepeatTimer = nullptr;
};

// A raised box: the face, white at the top and left, black at the bottom and
// right with grey inside it. The bar's arrows and thumb are drawn so, and a
// grid's fixed cells.
void DrawRaised(TCanvas& canvas, const TRect& r);
