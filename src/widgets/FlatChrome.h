#pragma once
// The chrome the borderless windows share: their colours, the title bar with
// its close button, the labels on the face and the flat buttons at the foot.
// Each window builds its own controls with these, owned by the form.

#include <initializer_list>

#include "ui/Forms.h"
#include "ui/StdCtrls.h"
#include "widgets/TFlatButtonUnit.h"
#include "widgets/TFlatSpeedButtonUnit.h"
#include "widgets/TFlatTitlebarUnit.h"

namespace FlatChrome {

inline constexpr TColor kFaceColor = 0x00C8EBEB;  // red 235, green 235, blue 200
inline constexpr TColor kTitleColor = 0x008C8F95; // red 149, green 143, blue 140
inline constexpr TColor kTitleTextColor = clWhite;
// The main window's title bar while the radio transmits.
inline constexpr TColor kTransmitTitleColor = 0x002020C0; // red 192, green 32, blue 32
inline constexpr TColor kInactiveTitleTextColor = clSilver;
inline constexpr TColor kTextColor = clBlack;
inline constexpr TColor kButtonColor = clSilver;
// A title bar button under the mouse, and its frame's lower edge while so.
inline constexpr TColor kTitleButtonFocusedColor = clGray;
inline constexpr TColor kTitleButtonShadowColor = clBlack;

// The title bar's design: its place on the form, and its close button's.
struct TTitleDesign {
    const char* Name;
    TRect Bounds; // left, top, width, height
    const char* Caption;
    const char* CloseName;
    int CloseLeft;
};

struct TTitle {
    TFlatTitlebar* Bar;
    TFlatSpeedButton* Close;
};

// The bar on form, its caption bold, and its close button "X" ("Close" as
// hint) on it; the button's click is the caller's.
TTitle MakeTitle(TForm& form, const TTitleDesign& design);

// A button on the bar, 16 x 15 at left: face, frame and highlight in the
// bar's colour, so that it shows only under the mouse.
TFlatSpeedButton* MakeTitleButton(TForm& form, TFlatTitlebar& bar, const char* name, int left, const char* hint);

// The bar and its buttons in color; nothing is painted when it is so already.
void SetTitleColor(TFlatTitlebar& bar, std::initializer_list<TFlatSpeedButton*> buttons, TColor color);

// Black text on the face colour; bounds as left, top, width, height.
TLabel* MakeLabel(TForm& form, TWinControl& parent, const char* name, TRect bounds, const char* caption);

// A flat push button in the button colour; bounds as left, top, width, height.
TFlatButton* MakeButton(TForm& form, TWinControl& parent, const char* name, TRect bounds, const char* caption,
                        TNotifyEvent onClick);

} // namespace FlatChrome
