#include "ui/Classes.h"

#include <algorithm>

#include "base/SysUtils.h"
#include "ui/Application.h"

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner)
{
    if (FOwner)
        FOwner->FComponents.push_back(this);
    PublishInteger("Tag", [this] { return FTag; }, [this](int32_t v) { FTag = v; });
}

TComponent::~TComponent()
{
    DestroyComponents();
    if (FOwner) {
        auto& siblings = FOwner->FComponents;
        siblings.erase(std::find(siblings.begin(), siblings.end(), this));
    }
}

void TComponent::DestroyComponents()
{
    // Each component leaves the list as it goes.
    while (!FComponents.empty()) {
        TComponent* component = FComponents.back();
        component->BeforeDestruction();
        delete component;
    }
}

TComponent* TComponent::FindComponent(const std::string& name) const
{
    if (name.empty())
        return nullptr;
    for (TComponent* component : FComponents)
        if (SameText(component->Name(), name))
            return component;
    return nullptr;
}

void TComponent::PublishString(std::string name, std::function<std::string()> get,
                               std::function<void(const std::string&)> set)
{
    FProperties.push_back({std::move(name), TPropKind::String, std::move(get), std::move(set), {}, {}});
}

void TComponent::PublishInteger(std::string name, std::function<int32_t()> get, std::function<void(int32_t)> set)
{
    FProperties.push_back({std::move(name), TPropKind::Integer, {}, {}, std::move(get), std::move(set)});
}

const TComponent::TPropInfo* TComponent::FindProperty(const std::string& name) const
{
    for (const TPropInfo& info : FProperties)
        if (SameText(info.Name, name))
            return &info;
    return nullptr;
}

const TComponent::TPropInfo& TComponent::Property(const std::string& name, TPropKind kind) const
{
    const TPropInfo* info = FindProperty(name);
    if (!info)
        throw EInvalidOperation("Property " + name + " does not exist");
    if (info->Kind != kind)
        throw EInvalidOperation("Invalid property type: " + name);
    return *info;
}

TPropKind TComponent::PropertyKind(const std::string& name) const
{
    const TPropInfo* info = FindProperty(name);
    if (!info)
        throw EInvalidOperation("Property " + name + " does not exist");
    return info->Kind;
}

std::string TComponent::GetStrProp(const std::string& name) const { return Property(name, TPropKind::String).GetStr(); }

void TComponent::SetStrProp(const std::string& name, const std::string& value)
{
    Property(name, TPropKind::String).SetStr(value);
}

int32_t TComponent::GetIntProp(const std::string& name) const { return Property(name, TPropKind::Integer).GetInt(); }

void TComponent::SetIntProp(const std::string& name, int32_t value)
{
    Property(name, TPropKind::Integer).SetInt(value);
}

namespace {

ITimerHost& OwnersTimers(const TComponent* owner)
{
    TApplication* app = FindApplication(owner);
    if (!app)
        throw EInvalidOperation("A timer needs an owner inside the application");
    return app->Events();
}

} // namespace

// The host is looked up before the component joins its owner, so a timer that
// cannot run is never half made.
TTimer::TTimer(TComponent* AOwner) : TTimer(AOwner, OwnersTimers(AOwner)) {}

TTimer::TTimer(TComponent* AOwner, ITimerHost& host) : TComponent(AOwner), FHost(host)
{
    UpdateTimer();
}

TTimer::~TTimer()
{
    if (FRunning)
        FHost.StopTimer(*this);
}

void TTimer::SetEnabled(bool value)
{
    if (value != FEnabled) {
        FEnabled = value;
        UpdateTimer();
    }
}

void TTimer::SetInterval(uint32_t value)
{
    if (value != FInterval) {
        FInterval = value;
        UpdateTimer();
    }
}

void TTimer::UpdateTimer()
{
    if (FRunning) {
        FHost.StopTimer(*this);
        FRunning = false;
    }
    if (FEnabled && FInterval > 0) {
        FHost.StartTimer(*this, FInterval);
        FRunning = true;
    }
}

void TTimer::Timer()
{
    if (OnTimer)
        OnTimer(this);
}
