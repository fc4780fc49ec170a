#pragma once
// Controls: rectangles on a form that paint themselves and take the mouse.
// Only forms have windows of their own; every control is painted by its form
// and gets its mouse input from it. What a control asks of its window goes up
// the parent chain to the form, which overrides the last step.

#include <functional>
#include <string>
#include <vector>

#include "ui/Classes.h"
#include "ui/Graphics.h"

class TWinControl;
class TForm;
class TPopupMenu;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

using TShiftState = unsigned;
constexpr TShiftState ssShift = 1;
constexpr TShiftState ssAlt = 2;
constexpr TShiftState ssCtrl = 4;
constexpr TShiftState ssLeft = 8;
constexpr TShiftState ssRight = 16;
constexpr TShiftState ssMiddle = 32;
constexpr TShiftState ssDouble = 64;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
// Handled comes in false; set it to keep the turn from the controls below.
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, int X, int Y, bool& Handled)>;

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* parent);
    // The form the control sits on, itself for a form, or nullptr.
    virtual TForm* ParentForm() const;

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    virtual void SetBounds(int left, int top, int width, int height);
    void SetLeft(int left) { SetBounds(left, FTop, FWidth, FHeight); }
    void SetTop(int top) { SetBounds(FLeft, top, FWidth, FHeight); }
    void SetWidth(int width) { SetBounds(FLeft, FTop, width, FHeight); }
    void SetHeight(int height) { SetBounds(FLeft, FTop, FWidth, height); }
    TRect BoundsRect() const { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
    TRect ClientRect() const { return {0, 0, FWidth, FHeight}; }
    // Where the control's client origin lies in its form's client area.
    virtual TPoint FormOffset() const;
    virtual TPoint ClientToScreen(TPoint point) const;
    TPoint ScreenToClient(TPoint point) const;

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool visible);
    // Visible, and so are all its parents up to the form.
    bool Showing() const;
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool enabled);

    const std::string& Caption() const { return FCaption; }
    // A caption assigned its own text changes nothing and repaints nothing.
    void SetCaption(const std::string& caption);
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& hint) { FHint = hint; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool show) { FShowHint = show; }
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    // Every change of the font repaints.
    TFont& Font() { return FFont; }
    const TFont& Font() const { return FFont; }

    // Keyboard focus. A control that is a tab stop takes the keys when it is
    // clicked or reached with Tab; its form keeps it as the ActiveControl.
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool tabStop) { FTabStop = tabStop; }
    // Its place in its parent's Tab order (the order it was put there in,
    // until changed); -1 without a parent.
    int TabOrder() const;
    void SetTabOrder(int order);
    // It and its parents show and are enabled.
    bool CanFocus() const;
    // It is its form's active control.
    bool Focused() const;
    // The focus came to the control or left it.
    virtual void DoEnter() {}
    virtual void DoExit() {}

    // Opened where the right button is released over the control (or a control
    // on it that has none of its own).
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* menu) { FPopupMenu = menu; }

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TMouseWheelEvent OnMouseWheel;

    // Repaints the control at the next paint of its form.
    void Invalidate();
    virtual void Paint(TCanvas& canvas);

    // Mouse input as the form routes it, in the control's client coordinates.
    // Derived controls extend these; the base raises the events.
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void Click();
    virtual void DblClick();
    // Keys, when the control is its form's active control.
    virtual void KeyDown(uint16_t& key, TShiftState shift) { (void)key, (void)shift; }
    virtual void KeyPress(char& key) { (void)key; }
    // The mouse wheel turned over the control, or over a control on it that
    // took nothing: delta is 120 a notch, positive away from the user. True
    // when the control took it; the base raises the event.
    virtual bool MouseWheel(TShiftState shift, int delta, int x, int y)
    {
        bool handled = false;
        if (OnMouseWheel)
            OnMouseWheel(this, shift, delta, x, y, handled);
        return handled;
    }
    // The mouse came over the control or left it.
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}

protected:
    virtual void CaptionChanged() { Invalidate(); }
    // Marks part of the control's client area for painting; the form asks its
    // host for it.
    virtual void InvalidateArea(const TRect& area);

private:
    friend class TWinControl;
    TWinControl* FParent = nullptr;
    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    bool FVisible = true;
    bool FEnabled = true;
    bool FShowHint = false;
    bool FTabStop = false;
    std::string FCaption;
    std::string FHint;
    TColor FColor = clBtnFace;
    TFont FFont;
    TPopupMenu* FPopupMenu = nullptr;
};

// A control that can hold other controls.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner) : TControl(AOwner) {}
    ~TWinControl() override;

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int index) const { return FControls.at(static_cast<size_t>(index)); }
    // The topmost showing child under a point of the client area, or nullptr.
    TControl* ControlAtPos(TPoint point, bool allowDisabled = false) const;

    // Paints the control, then its showing children, each clipped to itself.
    void PaintControls(TCanvas& canvas);

    // The tab stops inside the control that can take the focus, at any depth,
    // in Tab order.
    void GetTabStops(std::vector<TControl*>& stops) const;
    // The control that has the focus of the form this one is on.
    virtual TControl* FocusedControl() const { return Parent() ? Parent()->FocusedControl() : nullptr; }

protected:
    // A control inside this one, at any depth, goes or moves elsewhere; the form
    // lets go of it (mouse capture, hover, hint).
    virtual void ForgetControl(TControl* control);

private:
    friend class TControl;
    std::vector<TControl*> FControls;
    std::vector<TControl*> FTabList; // the same controls in Tab order
};

// A control without children, painted by its parent.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}
};

// True when control is container or lies on it, at any depth.
bool IsInside(const TControl* control, const TControl* container);

// A control that can hold others and paints itself.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}
};
