#include "widgets/FormPlacement.h"

#include <limits>
#include <optional>

#include "base/SysUtils.h"

// The storage for one restore or save: reads and writes text values under the
// window's key. Nothing is held open between calls.
class TPlacementStorage {
public:
    TPlacementStorage(IRegistry& registry, TRegRoot root, std::string key, const std::string& fileKey)
        : FRegistry(registry), FRoot(root), FKey(std::move(key))
    {
        // The file key is opened (made if missing) each time, though nothing
        // is written below it; not being able to is no error.
        FRegistry.CreateKey(TRegRoot::CurrentUser, fileKey);
    }

    // False when the value is missing or the key cannot be opened; a value
    // that is not text raises.
    bool Read(const std::string& name, std::string& value)
    {
        std::unique_ptr<IRegistryKey> key;
        if (FRegistry.OpenKey(FRoot, FKey, TRegAccess::Read, key) != TRegStatus::Ok)
            return false;
        return ReadRegString(*key, name, value);
    }

    std::string ReadString(const std::string& name, const std::string& defaultValue)
    {
        std::string value;
        return Read(name, value) ? value : defaultValue;
    }

    int32_t ReadInteger(const std::string& name, int32_t defaultValue)
    {
        std::string value;
        return Read(name, value) ? StrToIntDef(value, defaultValue) : defaultValue;
    }

    // Makes the key when missing (raising when it cannot); a key that exists
    // but cannot be opened is passed over.
    void Write(const std::string& name, const std::string& value)
    {
        CreateRegKey(FRegistry, FRoot, FKey);
        std::unique_ptr<IRegistryKey> key;
        if (FRegistry.OpenKey(FRoot, FKey, TRegAccess::Full, key) != TRegStatus::Ok)
            return;
        WriteRegString(*key, name, value);
    }

    void WriteInteger(const std::string& name, int64_t value) { Write(name, IntToStr(value)); }

private:
    IRegistry& FRegistry;
    TRegRoot FRoot;
    std::string FKey;
};

namespace {

TRegRoot RootOf(TPlacementRegRoot root)
{
    switch (root) {
    case TPlacementRegRoot::prCurrentUser:
        return TRegRoot::CurrentUser;
    case TPlacementRegRoot::prLocalMachine:
        return TRegRoot::LocalMachine;
    case TPlacementRegRoot::prCurrentConfig:
        return TRegRoot::CurrentConfig;
    case TPlacementRegRoot::prClassesRoot:
        return TRegRoot::ClassesRoot;
    case TPlacementRegRoot::prUsers:
        return TRegRoot::Users;
    case TPlacementRegRoot::prDynData:
        return TRegRoot::DynData;
    }
    return TRegRoot::CurrentUser;
}

// The words of a position text, separated by commas or blanks.
std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    size_t pos = 0;
    while ((pos = text.find_first_not_of(", ", pos)) != std::string::npos) {
        const size_t end = text.find_first_of(", ", pos);
        words.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

int32_t WordValue(const std::vector<std::string>& words, size_t index, int32_t defaultValue)
{
    return index < words.size() ? StrToIntDef(words[index], defaultValue) : defaultValue;
}

std::string PositionText(int a, int b, int c, int d) { return Format("%d,%d,%d,%d", a, b, c, d); }

} // namespace

// ---------------------------------------------------------------- hooks

// What the component put in place of the form's own handlers. The wrappers
// stay valid after the component has gone: they then pass straight through.
struct TFormPlacement::THookLink {
    TFormPlacement* Placement;
    TNotifyEvent Show;
    TCloseQueryEvent CloseQuery;
    TNotifyEvent Destroy;
};

struct TFormPlacement::TShowHook {
    std::shared_ptr<THookLink> Link;
    void operator()(TObject* sender) const
    {
        const auto link = Link;
        if (link->Placement)
            link->Placement->FormShow(sender);
        else if (link->Show)
            link->Show(sender);
    }
};

struct TFormPlacement::TCloseQueryHook {
    std::shared_ptr<THookLink> Link;
    void operator()(TObject* sender, bool& canClose) const
    {
        const auto link = Link;
        if (link->Placement)
            link->Placement->FormCloseQuery(sender, canClose);
        else if (link->CloseQuery)
            link->CloseQuery(sender, canClose);
    }
};

struct TFormPlacement::TDestroyHook {
    std::shared_ptr<THookLink> Link;
    void operator()(TObject* sender) const
    {
        const auto link = Link;
        if (link->Placement)
            link->Placement->FormDestroy(sender);
        else if (link->Destroy)
            link->Destroy(sender);
    }
};

TFormPlacement::TFormPlacement(TComponent* AOwner, IRegistry& registry) : TComponent(AOwner), FRegistry(registry)
{
    FForm = dynamic_cast<TForm*>(AOwner);
    if (!FForm)
        return;
    FOptions = fpState | fpPosition;
    FLink = std::make_shared<THookLink>(THookLink{this, FForm->OnShow, FForm->OnCloseQuery, FForm->OnDestroy});
    FForm->OnShow = TShowHook{FLink};
    FForm->OnCloseQuery = TCloseQueryHook{FLink};
    FForm->OnDestroy = TDestroyHook{FLink};
}

TFormPlacement::~TFormPlacement() { Unhook(); }

void TFormPlacement::Unhook()
{
    if (!FLink)
        return;
    FLink->Placement = nullptr;
    // Handlers the form has set since are left alone.
    if (auto* hook = FForm->OnShow.target<TShowHook>(); hook && hook->Link == FLink)
        FForm->OnShow = FLink->Show;
    if (auto* hook = FForm->OnCloseQuery.target<TCloseQueryHook>(); hook && hook->Link == FLink)
        FForm->OnCloseQuery = FLink->CloseQuery;
    if (auto* hook = FForm->OnDestroy.target<TDestroyHook>(); hook && hook->Link == FLink)
        FForm->OnDestroy = FLink->Destroy;
    FLink.reset();
}

// An error in the restore or the save goes to the general error report here:
// the window is still shown, and the close or the destruction goes on.
void TFormPlacement::FormShow(TObject* sender)
{
    const auto link = FLink;
    try {
        RestoreFormPlacement();
    } catch (const std::exception& error) {
        FForm->App().ShowException(error);
    }
    if (link->Show)
        link->Show(sender);
}

void TFormPlacement::FormCloseQuery(TObject* sender, bool& canClose)
{
    const auto link = FLink;
    if (link->CloseQuery)
        link->CloseQuery(sender, canClose);
    if (!canClose || !link->Placement)
        return;
    try {
        Save(false);
    } catch (const std::exception& error) {
        FForm->App().ShowException(error);
    }
}

void TFormPlacement::FormDestroy(TObject* sender)
{
    const auto link = FLink;
    if (!FSavedSinceRestore) {
        try {
            Save(true);
        } catch (const std::exception& error) {
            FForm->App().ShowException(error);
        }
    }
    if (link->Destroy)
        link->Destroy(sender);
}

// ---------------------------------------------------------------- keys

std::string TFormPlacement::FileKey() const
{
    return FIniFileName.empty() ? "Software\\" + FRegistry.ProgramBaseName() : RegRelativePath(FIniFileName);
}

std::string TFormPlacement::SectionKey() const
{
    // The component model has no class names; the form's name stands in.
    const std::string section = FIniSection.empty() ? FForm->Name() : FIniSection;
    if (section.starts_with('\\'))
        return RegRelativePath(section);
    return section.empty() ? FileKey() : FileKey() + "\\" + section;
}

// ---------------------------------------------------------------- restore

void TFormPlacement::RestoreFormPlacement()
{
    if (!FForm || !FActive)
        return;
    FSavedSinceRestore = false;
    // Counts as restored only once it has gone through.
    FRestored = false;
    TPlacementStorage storage(FRegistry, RootOf(FRegistryRoot), SectionKey(), FileKey());
    if (storage.ReadInteger("FormVersion", 0) >= FVersion) {
        if (FOptions & fpPosition)
            RestorePosition(storage);
        if (FOptions & fpState)
            RestoreState(storage);
        RestoreStoredProps(storage);
        if (OnRestorePlacement)
            OnRestorePlacement(this);
    }
    FRestored = true;
    if (FForm->BorderStyle() == TFormBorderStyle::bsNone)
        FForm->SetMaxPosition({0, 0});
}

void TFormPlacement::RestorePosition(TPlacementStorage& storage)
{
    IScreen& display = FForm->App().Screen();
    TWindowPlacement placement = FForm->GetPlacement();
    if (!FForm->Visible())
        placement.ShowCmd = ShowCmd::Hide;
    placement.Flags = static_cast<unsigned>(storage.ReadInteger("Flags", static_cast<int32_t>(placement.Flags)));

    const TSize screen = display.ScreenSize();
    const std::string suffix = Format("(%dx%d)", screen.cx, screen.cy);
    std::string minMax = storage.ReadString("MinMaxPos" + suffix, "");
    if (minMax.empty())
        minMax = storage.ReadString("MinMaxPos", "");
    if (!minMax.empty()) {
        const auto words = Words(minMax);
        placement.MinPosition = {WordValue(words, 0, 0), WordValue(words, 1, 0)};
        placement.MaxPosition = {WordValue(words, 2, 0), WordValue(words, 3, 0)};
    }
    std::string normal = storage.ReadString("NormPos" + suffix, "");
    if (normal.empty())
        normal = storage.ReadString("NormPos", "");
    if (!normal.empty()) {
        const auto words = Words(normal);
        const int left = FForm->Left();
        const int top = FForm->Top();
        placement.NormalPosition = {WordValue(words, 0, left), WordValue(words, 1, top),
                                    WordValue(words, 2, left + FForm->Width()),
                                    WordValue(words, 3, top + FForm->Height())};
    }
    const int pixelsPerInch = storage.ReadInteger("PixelsPerInch", display.ScreenPixelsPerInch());
    if ((minMax.empty() && normal.empty()) || pixelsPerInch != display.ScreenPixelsPerInch())
        return;

    const TFormBorderStyle border = FForm->BorderStyle();
    if (border != TFormBorderStyle::bsSizeable && border != TFormBorderStyle::bsSizeToolWin) {
        // Only the place is restored, never the size; a place so far out
        // that the window's far edge has no number is no place.
        TRect& rect = placement.NormalPosition;
        const int64_t right = int64_t{rect.Left} + FForm->Width();
        const int64_t bottom = int64_t{rect.Top} + FForm->Height();
        if (right > std::numeric_limits<int32_t>::max() || bottom > std::numeric_limits<int32_t>::max())
            return;
        rect = {rect.Left, rect.Top, static_cast<int>(right), static_cast<int>(bottom)};
    }
    if (placement.NormalPosition.Left < placement.NormalPosition.Right) {
        if (FForm->Position() == TPosition::poScreenCenter || FForm->Position() == TPosition::poDesktopCenter)
            FForm->SetPosition(TPosition::poDesigned);
        FForm->SetPlacement(placement);
    }
}

void TFormPlacement::RestoreState(TPlacementStorage& storage)
{
    TForm* mainForm = FForm->App().MainForm();
    TWindowState state = TWindowState::wsNormal;
    const TFormStyle style = FForm->FormStyle();
    if ((mainForm == FForm || !mainForm) &&
        (style == TFormStyle::fsMDIForm ||
         (style == TFormStyle::fsNormal && FForm->Position() == TPosition::poDefault)))
        state = TWindowState::wsMaximized;
    switch (storage.ReadInteger("ShowCmd", 0)) {
    case ShowCmd::Normal:
    case ShowCmd::Show:
    case ShowCmd::Restore:
        state = TWindowState::wsNormal;
        break;
    case ShowCmd::ShowMinimized:
    case ShowCmd::Minimize:
    case ShowCmd::ShowMinNoActive:
        state = TWindowState::wsMinimized;
        break;
    case ShowCmd::ShowMaximized:
        state = TWindowState::wsMaximized;
        break;
    default:
        break;
    }
    if (state == TWindowState::wsMinimized && mainForm == FForm) {
        // The whole application starts minimised, not the window alone.
        FForm->SetWindowState(TWindowState::wsNormal);
        FForm->App().Windows().PostMinimizeApplication();
    } else {
        FForm->SetWindowState(state);
    }
}

// ---------------------------------------------------------------- save

void TFormPlacement::SaveFormPlacement() { Save(false); }

void TFormPlacement::Save(bool destroying)
{
    // A window never shown in this run has nothing worth keeping.
    if (!FForm || !FActive || !FRestored)
        return;
    TPlacementStorage storage(FRegistry, RootOf(FRegistryRoot), SectionKey(), FileKey());
    IScreen& display = FForm->App().Screen();

    storage.WriteInteger("FormVersion", FVersion);
    TWindowPlacement placement = FForm->GetPlacement();
    if (FForm->App().MainForm() == FForm && FForm->App().Windows().IsApplicationMinimized())
        placement.ShowCmd = ShowCmd::ShowMinimized;
    const TSize screen = display.ScreenSize();
    const std::string suffix = Format("(%dx%d)", screen.cx, screen.cy);
    const std::string minMax = PositionText(placement.MinPosition.X, placement.MinPosition.Y,
                                            placement.MaxPosition.X, placement.MaxPosition.Y);
    const TRect& rect = placement.NormalPosition;
    const std::string normal = PositionText(rect.Left, rect.Top, rect.Right, rect.Bottom);

    // As the signed number the integer rule reads back.
    storage.WriteInteger("Flags", static_cast<int32_t>(placement.Flags));
    storage.WriteInteger("ShowCmd", placement.ShowCmd);
    storage.WriteInteger("PixelsPerInch", display.ScreenPixelsPerInch());
    storage.Write("MinMaxPos" + suffix, minMax);
    storage.Write("MinMaxPos", minMax);
    storage.Write("NormPos" + suffix, normal);
    storage.Write("NormPos", normal);
    storage.Write("Visible", destroying ? "1" : "0");

    SaveStoredProps(storage);
    if (OnSavePlacement)
        OnSavePlacement(this);
    FSavedSinceRestore = true;
}

// ---------------------------------------------------------------- TFormStorage

namespace {

TComponent* FindNamed(const TComponent& owner, const std::string& name)
{
    if (TComponent* found = owner.FindComponent(name))
        return found;
    for (int i = 0; i < owner.ComponentCount(); ++i)
        if (TComponent* found = FindNamed(*owner.Components(i), name))
            return found;
    return nullptr;
}

struct TStoredProp {
    TComponent* Component;
    std::string Property;
    std::string ValueName;
};

// "Component.Property", or nothing when either half is empty or names nothing.
std::optional<TStoredProp> ResolveStoredProp(const TForm& form, const std::string& entry)
{
    const size_t dot = entry.find('.');
    if (dot == std::string::npos)
        return std::nullopt;
    const std::string component = Trim(entry.substr(0, dot));
    const std::string property = Trim(entry.substr(dot + 1));
    if (component.empty() || property.empty())
        return std::nullopt;
    TComponent* found = FindNamed(form, component);
    if (!found || !found->HasProperty(property))
        return std::nullopt;
    return TStoredProp{found, property, component + "_" + property};
}

} // namespace

void TFormStorage::RestoreStoredProps(TPlacementStorage& storage)
{
    for (const std::string& entry : FStoredProps) {
        const auto prop = ResolveStoredProp(*Form(), entry);
        if (!prop)
            continue;
        TComponent& component = *prop->Component;
        try {
            if (component.PropertyKind(prop->Property) == TPropKind::Integer) {
                const std::string current = IntToStr(component.GetIntProp(prop->Property));
                const std::string text = Trim(storage.ReadString(prop->ValueName, current));
                component.SetIntProp(prop->Property, StrToIntDef(text, 0));
            } else {
                const std::string current = component.GetStrProp(prop->Property);
                component.SetStrProp(prop->Property, Trim(storage.ReadString(prop->ValueName, current)));
            }
        } catch (const std::exception&) {
            // One property that cannot be restored does not stop the others.
        }
    }
}

void TFormStorage::SaveStoredProps(TPlacementStorage& storage)
{
    for (const std::string& entry : FStoredProps) {
        const auto prop = ResolveStoredProp(*Form(), entry);
        if (!prop)
            continue;
        const TComponent& component = *prop->Component;
        // Integer properties always have a text; an empty string is written as such.
        if (component.PropertyKind(prop->Property) == TPropKind::Integer)
            storage.Write(prop->ValueName, Trim(IntToStr(component.GetIntProp(prop->Property))));
        else
            storage.Write(prop->ValueName, Trim(component.GetStrProp(prop->Property)));
    }
}
