#pragma once
// TFormPlacement remembers where its window was between runs; TFormStorage
// also remembers chosen published properties of the window's components. Both
// keep everything as text values in the registry and hook the window's show,
// close query and destroy events, so the window never calls them itself.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "ui/Forms.h"

enum class TPlacementRegRoot { prCurrentUser, prLocalMachine, prCurrentConfig, prClassesRoot, prUsers, prDynData };

enum TPlacementOption : unsigned { fpState = 1, fpPosition = 2 };
using TPlacementOptions = unsigned;

class TPlacementStorage;

class TFormPlacement : public TComponent {
public:
    // Owned by a form, it wraps the OnShow, OnCloseQuery and OnDestroy
    // handlers the form has at this point, so make it after setting them.
    // The registry keeps the placement; it outlives the component.
    TFormPlacement(TComponent* AOwner, IRegistry& registry);
    ~TFormPlacement() override;

    // False: neither restore nor save.
    bool Active() const { return FActive; }
    void SetActive(bool active) { FActive = active; }
    // The window's key. Starting with "\" it is taken from the root; otherwise
    // it lies below the file key, and empty it is the form's name.
    const std::string& IniSection() const { return FIniSection; }
    void SetIniSection(const std::string& section) { FIniSection = section; }
    // The file key below HKEY_CURRENT_USER; empty means "Software\" plus the
    // program file's base name.
    const std::string& IniFileName() const { return FIniFileName; }
    void SetIniFileName(const std::string& name) { FIniFileName = name; }
    TPlacementOptions Options() const { return FOptions; }
    void SetOptions(TPlacementOptions options) { FOptions = options; }
    TPlacementRegRoot RegistryRoot() const { return FRegistryRoot; }
    void SetRegistryRoot(TPlacementRegRoot root) { FRegistryRoot = root; }
    // A stored "FormVersion" below it skips the restore.
    int32_t Version() const { return FVersion; }
    void SetVersion(int32_t version) { FVersion = version; }

    // After a restore, once placement and stored properties are in place.
    TNotifyEvent OnRestorePlacement;
    TNotifyEvent OnSavePlacement;

    // What the hooks call; errors are raised (ERegistryException).
    void RestoreFormPlacement();
    void SaveFormPlacement();

protected:
    TForm* Form() const { return FForm; }
    virtual void RestoreStoredProps(TPlacementStorage&) {}
    virtual void SaveStoredProps(TPlacementStorage&) {}

private:
    struct THookLink;
    struct TShowHook;
    struct TCloseQueryHook;
    struct TDestroyHook;

    void FormShow(TObject* sender);
    void FormCloseQuery(TObject* sender, bool& canClose);
    void FormDestroy(TObject* sender);
    void RestorePosition(TPlacementStorage& storage);
    void RestoreState(TPlacementStorage& storage);
    void Save(bool destroying);
    void Unhook();
    std::string FileKey() const;
    std::string SectionKey() const;

    IRegistry& FRegistry;
    TForm* FForm = nullptr;
    std::shared_ptr<THookLink> FLink;
    bool FActive = true;
    std::string FIniSection;
    std::string FIniFileName;
    TPlacementOptions FOptions = 0;
    TPlacementRegRoot FRegistryRoot = TPlacementRegRoot::prCurrentUser;
    int32_t FVersion = 0;
    bool FRestored = false;
    bool FSavedSinceRestore = false;
};

class TFormStorage : public TFormPlacement {
public:
    using TFormPlacement::TFormPlacement;

    // "Component.Property" entries, stored under "Component_Property".
    const std::vector<std::string>& StoredProps() const { return FStoredProps; }
    void SetStoredProps(std::vector<std::string> props) { FStoredProps = std::move(props); }

protected:
    void RestoreStoredProps(TPlacementStorage& storage) override;
    void SaveStoredProps(TPlacementStorage& storage) override;

private:
    std::vector<std::string> FStoredProps;
};
