#include "widgets/FlatChrome.h"

#include <utility>

namespace FlatChrome {

TTitle MakeTitle(TForm& form, const TTitleDesign& design)
{
    auto* bar = new TFlatTitlebar(&form);
    bar->SetName(design.Name);
    bar->SetParent(&form);
    bar->SetBounds(design.Bounds.Left, design.Bounds.Top, design.Bounds.Right, design.Bounds.Bottom);
    bar->SetCaption(design.Caption);
    bar->SetTitlebarColor(kTitleColor);
    bar->SetActiveTextColor(kTitleTextColor);
    bar->SetInactiveTextColor(kInactiveTitleTextColor);
    bar->Font().SetStyle(fsBold);

    TFlatSpeedButton* close = MakeTitleButton(form, *bar, design.CloseName, design.CloseLeft, "Close");
    close->SetCaption("X");
    return {bar, close};
}

TFlatSpeedButton* MakeTitleButton(TForm& form, TFlatTitlebar& bar, const char* name, int left, const char* hint)
{
    auto* button = new TFlatSpeedButton(&form);
    button->SetName(name);
    button->SetParent(&bar);
    button->SetBounds(left, 2, 16, 15);
    button->SetColor(kTitleColor);
    button->SetColorDown(kTitleColor);
    button->SetColorBorder(kTitleColor);
    button->SetColorHighLight(kTitleColor);
    button->SetColorFocused(kTitleButtonFocusedColor);
    button->SetColorShadow(kTitleButtonShadowColor);
    button->SetHint(hint);
    button->SetShowHint(true);
    return button;
}

void SetTitleColor(TFlatTitlebar& bar, std::initializer_list<TFlatSpeedButton*> buttons, TColor color)
{
    if (bar.TitlebarColor() == color)
        return;
    bar.SetTitlebarColor(color);
    for (TFlatSpeedButton* button : buttons) {
        button->SetColor(color);
        button->SetColorDown(color);
        button->SetColorBorder(color);
        button->SetColorHighLight(color);
    }
}

TLabel* MakeLabel(TForm& form, TWinControl& parent, const char* name, TRect bounds, const char* caption)
{
    auto* label = new TLabel(&form);
    label->SetName(name);
    label->SetParent(&parent);
    label->SetBounds(bounds.Left, bounds.Top, bounds.Right, bounds.Bottom);
    label->SetCaption(caption);
    label->SetColor(kFaceColor);
    label->Font().SetColor(kTextColor);
    return label;
}

TFlatButton* MakeButton(TForm& form, TWinControl& parent, const char* name, TRect bounds, const char* caption,
                        TNotifyEvent onClick)
{
    auto* button = new TFlatButton(&form);
    button->SetName(name);
    button->SetParent(&parent);
    button->SetBounds(bounds.Left, bounds.Top, bounds.Right, bounds.Bottom);
    button->SetCaption(caption);
    button->SetColor(kButtonColor);
    button->OnClick = std::move(onClick);
    return button;
}

} // namespace FlatChrome
