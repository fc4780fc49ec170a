#pragma once
// Popup menus: items with a caption, a keyboard shortcut and a click handler.
// Captions are shown as they stand ("&" is a character like any other), with
// the shortcut's text after them; an item captioned "-" that does nothing when
// chosen is shown as a line between groups of items.

#include <cstdint>
#include <string>
#include <vector>

#include "ui/Classes.h"
#include "ui/Keys.h"

// A virtual key code (Vk) plus the modifier bits: the numbers menus store.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

// "F1", "Ctrl+F4", "Shift+Ctrl+A"; empty for 0.
std::string ShortCutToText(TShortCut shortCut);

class TPopupMenu;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner);
    // Leaves its menu when it goes.
    ~TMenuItem() override;

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& caption) { FCaption = caption; }
    TShortCut ShortCut() const { return FShortCut; }
    void SetShortCut(TShortCut shortCut) { FShortCut = shortCut; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled) { FEnabled = enabled; }
    TPopupMenu* Menu() const { return FMenu; }
    // The line between groups: captioned "-" and without a click. An item
    // that acts, a band named "-" among them, is an item whatever its caption.
    bool IsLine() const { return FCaption == "-" && !OnClick; }

    TNotifyEvent OnClick;
    // Runs OnClick with the item as the sender.
    void Click();

private:
    friend class TPopupMenu;
    std::string FCaption;
    TShortCut FShortCut = 0;
    bool FEnabled = true;
    TPopupMenu* FMenu = nullptr;
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* AOwner) : TComponent(AOwner) {}
    // Lets its items go: their owners free them.
    ~TPopupMenu() override;

    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int index) const { return FItems.at(static_cast<size_t>(index)); }
    // Appends an item; an item sits in one menu at a time.
    void Add(TMenuItem* item);
    // Makes an item owned by owner and appends it.
    TMenuItem* AddItem(TComponent* owner, const std::string& name, const std::string& caption, TShortCut shortCut,
                       TNotifyEvent onClick);
    // Removes and frees every item.
    void Clear();

    // Opens the menu with its top-left corner at a screen point, waits for the
    // choice and runs the chosen item's click, whose error goes back to the
    // caller.
    void Popup(int x, int y);
    // The first enabled item with this shortcut, or nullptr.
    TMenuItem* FindShortCut(TShortCut shortCut) const;
    // Clicks the item with this shortcut; false when the menu has none.
    bool IsShortCut(TShortCut shortCut);

private:
    friend class TMenuItem;
    std::vector<TMenuItem*> FItems;
};
