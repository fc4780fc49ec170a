#pragma once
// The component model the windows are described in: named components with an
// owner that frees them, published properties by name, and timers. A component
// reaches the screen and the clock through the host its owners lead to (the
// application holds it), so this layer knows nothing of forms.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

enum class TPropKind { String, Integer };

class ITimerHost;

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& name) { FName = name; }
    int32_t Tag() const { return FTag; }
    void SetTag(int32_t tag) { FTag = tag; }

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(static_cast<size_t>(index)); }
    // Owned component by name (case-insensitive), or nullptr.
    TComponent* FindComponent(const std::string& name) const;

    // Called by the owner just before it frees the component, while the whole
    // object still stands.
    virtual void BeforeDestruction() {}

    // Published properties, looked up by name without regard to case. Reading or
    // writing one that does not exist, or through the wrong kind, raises
    // EInvalidOperation.
    bool HasProperty(const std::string& name) const { return FindProperty(name) != nullptr; }
    TPropKind PropertyKind(const std::string& name) const;
    std::string GetStrProp(const std::string& name) const;
    void SetStrProp(const std::string& name, const std::string& value);
    int32_t GetIntProp(const std::string& name) const;
    void SetIntProp(const std::string& name, int32_t value);

protected:
    // Frees the owned components, last created first.
    void DestroyComponents();
    void PublishString(std::string name, std::function<std::string()> get, std::function<void(const std::string&)> set);
    void PublishInteger(std::string name, std::function<int32_t()> get, std::function<void(int32_t)> set);

private:
    struct TPropInfo {
        std::string Name;
        TPropKind Kind;
        std::function<std::string()> GetStr;
        std::function<void(const std::string&)> SetStr;
        std::function<int32_t()> GetInt;
        std::function<void(int32_t)> SetInt;
    };
    const TPropInfo* FindProperty(const std::string& name) const;
    const TPropInfo& Property(const std::string& name, TPropKind kind) const;

    TComponent* FOwner;
    std::vector<TComponent*> FComponents;
    std::vector<TPropInfo> FProperties;
    std::string FName;
    int32_t FTag = 0;
};

// A timer served by the host's event loop. It runs while Enabled and Interval is
// above 0; every change of either starts the interval afresh.
class TTimer : public TComponent {
public:
    // Runs on the host its owner finds; raises EInvalidOperation when the owner
    // leads to none (no owner, or one outside the application).
    explicit TTimer(TComponent* AOwner);
    // Runs on the given host (the program's, or one of a component's own),
    // whoever owns it.
    TTimer(TComponent* AOwner, ITimerHost& host);
    ~TTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    uint32_t Interval() const { return FInterval; }
    void SetInterval(uint32_t value);

    TNotifyEvent OnTimer;

    // Called by the host when the interval has elapsed.
    void Timer();

private:
    void UpdateTimer();

    ITimerHost& FHost;
    bool FEnabled = true;
    uint32_t FInterval = 1000;
    bool FRunning = false;
};
