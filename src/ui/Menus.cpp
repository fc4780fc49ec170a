#include "ui/Menus.h"

#include <algorithm>

#include "base/SysUtils.h"
#include "ui/Application.h"
#include "ui/Host.h"

namespace {

std::string KeyName(unsigned key)
{
    if (key >= Vk::F1 && key < Vk::F1 + 24)
        return "F" + std::to_string(key - Vk::F1 + 1);
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return std::string(1, static_cast<char>(key));
    switch (key) {
    case Vk::Back: return "BkSp";
    case Vk::Tab: return "Tab";
    case Vk::Return: return "Enter";
    case Vk::Escape: return "Esc";
    case Vk::Space: return "Space";
    case Vk::Prior: return "PgUp";
    case Vk::Next: return "PgDn";
    case Vk::End: return "End";
    case Vk::Home: return "Home";
    case Vk::Left: return "Left";
    case Vk::Up: return "Up";
    case Vk::Right: return "Right";
    case Vk::Down: return "Down";
    case Vk::Insert: return "Ins";
    case Vk::Delete: return "Del";
    default: return Format("#%u", key);
    }
}

} // namespace

std::string ShortCutToText(TShortCut shortCut)
{
    const unsigned key = shortCut & 0xFF;
    if (key == 0)
        return {};
    std::string text;
    if (shortCut & scShift)
        text += "Shift+";
    if (shortCut & scCtrl)
        text += "Ctrl+";
    if (shortCut & scAlt)
        text += "Alt+";
    return text + KeyName(key);
}

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem()
{
    if (FMenu)
        std::erase(FMenu->FItems, this);
}

void TMenuItem::Click()
{
    if (FEnabled && OnClick)
        OnClick(this);
}

TPopupMenu::~TPopupMenu()
{
    for (TMenuItem* item : FItems)
        item->FMenu = nullptr;
}

void TPopupMenu::Add(TMenuItem* item)
{
    if (item->FMenu)
        std::erase(item->FMenu->FItems, item);
    item->FMenu = this;
    FItems.push_back(item);
}

TMenuItem* TPopupMenu::AddItem(TComponent* owner, const std::string& name, const std::string& caption,
                               TShortCut shortCut, TNotifyEvent onClick)
{
    auto* item = new TMenuItem(owner);
    item->SetName(name);
    item->SetCaption(caption);
    item->SetShortCut(shortCut);
    item->OnClick = std::move(onClick);
    Add(item);
    return item;
}

void TPopupMenu::Clear()
{
    while (!FItems.empty())
        delete FItems.back(); // leaves the list as it goes
}

void TPopupMenu::Popup(int x, int y)
{
    TApplication* app = FindApplication(this);
    if (!app)
        return;
    // The caller's event dispatch reports an error of the chosen item's click.
    if (TMenuItem* chosen = app->Popups().TrackPopupMenu(*this, {x, y}))
        chosen->Click();
}

TMenuItem* TPopupMenu::FindShortCut(TShortCut shortCut) const
{
    if (shortCut == 0)
        return nullptr;
    for (TMenuItem* item : FItems)
        if (item->ShortCut() == shortCut && item->Enabled())
            return item;
    return nullptr;
}

bool TPopupMenu::IsShortCut(TShortCut shortCut)
{
    TMenuItem* item = FindShortCut(shortCut);
    if (!item)
        return false;
    item->Click();
    return true;
}
