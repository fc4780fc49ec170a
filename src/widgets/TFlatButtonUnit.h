#pragma once
// A flat push button for the foot of a window: the flat speed button's looks,
// plus the keyboard focus (it is a tab stop; Enter and Space click it while it
// has the focus, which a dotted frame shows) and the default button's frame,
// two pixels wide.

#include "widgets/TFlatSpeedButtonUnit.h"

class TFlatButton : public TFlatSpeedButton {
public:
    explicit TFlatButton(TComponent* AOwner);

    bool Default() const { return FDefault; }
    void SetDefault(bool value);

    void Paint(TCanvas& canvas) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;

private:
    bool FDefault = false;
};
