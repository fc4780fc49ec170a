#pragma once
// The flat title bar of the borderless windows: a filled strip with a centred
// caption that shows whether its window is active and drags the window.

#include "ui/Controls.h"
#include "ui/Messages.h"

class TFlatTitlebar : public TCustomControl {
public:
    static constexpr TColor kDefaultInactiveTextColor = 8559266; // red 162, green 154, blue 130

    explicit TFlatTitlebar(TComponent* AOwner);
    ~TFlatTitlebar() override;

    TColor ActiveTextColor() const { return FActiveTextColor; }
    void SetActiveTextColor(TColor value);
    TColor InactiveTextColor() const { return FInactiveTextColor; }
    void SetInactiveTextColor(TColor value);
    TColor TitlebarColor() const { return FTitlebarColor; }
    void SetTitlebarColor(TColor value);

    // Only a form (or none) may hold the bar: it watches that form's activation.
    void SetParent(TWinControl* parent) override;

    // Whether the bar's form is active, as last reported by the form's window.
    bool Active() const { return FActive; }
    bool Dragging() const { return FDragging; }
    TPoint DragOrigin() const { return FDragOrigin; }

    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

    void Paint(TCanvas& canvas) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    // The form watched is always the parent: a form going first leaves the
    // bar without a parent, and its hooks go with it.
    TForm* WatchedForm() const;
    void FormMessage(const TMessage& msg);

    TColor FActiveTextColor = clWhite;
    TColor FInactiveTextColor = kDefaultInactiveTextColor;
    TColor FTitlebarColor = clBlack;
    bool FActive = false;
    bool FDragging = false;
    TPoint FDragOrigin;
};
