#include "automation/Registration.h"

#include <memory>

#include "base/SysUtils.h"

std::string TServerNames::Version() const { return Format("%d.%d", MajorVersion, MinorVersion); }

std::vector<TClassEntry> ClassEntries(const TServerNames& names, const std::string& serverCommand)
{
    const std::string clsidKey = "CLSID\\" + names.ClsidText;
    const std::string progId = names.ProgId();
    return {
        {clsidKey, names.Description},
        {clsidKey + "\\" + names.ServerKey, serverCommand},
        {progId, names.Description},
        {progId + "\\Clsid", names.ClsidText},
        {clsidKey + "\\ProgID", progId},
        {clsidKey + "\\Version", names.Version()},
        {clsidKey + "\\TypeLib", names.LibIdText},
    };
}

std::vector<std::string> ClassKeysToDelete(const TServerNames& names)
{
    const std::string clsidKey = "CLSID\\" + names.ClsidText;
    const std::string progId = names.ProgId();
    return {
        clsidKey + "\\TypeLib", clsidKey + "\\Version", clsidKey + "\\ProgID", progId + "\\Clsid", progId,
        clsidKey + "\\" + names.ServerKey, clsidKey,
    };
}

std::string LocalServerCommand(const std::string& fullPath, const std::string& shortPath)
{
    if (fullPath.find(' ') == std::string::npos)
        return fullPath;
    if (!shortPath.empty() && shortPath.find(' ') == std::string::npos)
        return shortPath;
    return "\"" + fullPath + "\"";
}

TServerRegistration::TServerRegistration(IRegistry& registry, ITypeLibRegistrar& typeLib, TServerNames names,
                                         std::string serverCommand, std::string typeLibPath, bool localeNeutral)
    : FRegistry(registry), FTypeLib(typeLib), FNames(std::move(names)), FServerCommand(std::move(serverCommand)),
      FTypeLibPath(std::move(typeLibPath)), FLocaleNeutral(localeNeutral)
{
}

TRegRoot TServerRegistration::Root(TClassesScope scope) const
{
    return scope == TClassesScope::Machine ? TRegRoot::ClassesRoot : TRegRoot::CurrentUser;
}

std::string TServerRegistration::Path(TClassesScope scope, const std::string& key) const
{
    return scope == TClassesScope::Machine ? key : "Software\\Classes\\" + key;
}

void TServerRegistration::Register(TStartMode mode)
{
    const bool tolerant = mode == TStartMode::Standalone || mode == TStartMode::Automation;

    FTypeLibScope = TClassesScope::Machine;
    ITypeLibRegistrar::TOutcome outcome = FTypeLib.Register(TClassesScope::Machine);
    if (outcome.Status == TRegStatus::Denied && tolerant) {
        FTypeLibScope = TClassesScope::User;
        outcome = FTypeLib.Register(TClassesScope::User);
    }
    if (outcome.Status != TRegStatus::Ok)
        throw EOleError(outcome.Message, outcome.Code);
    if (FLocaleNeutral && !WriteLocaleNeutralEntry(FTypeLibScope) && !tolerant)
        throw ERegistryException(kEntryError);

    FEntriesScope = TClassesScope::Machine;
    const TRegStatus status = WriteEntries(TClassesScope::Machine);
    if (status == TRegStatus::Ok)
        return;
    if (!tolerant)
        throw ERegistryException(kEntryError);
    if (status == TRegStatus::Denied) {
        FEntriesScope = TClassesScope::User;
        WriteEntries(TClassesScope::User); // a failure here is ignored too
    }
}

TRegStatus TServerRegistration::WriteEntries(TClassesScope scope)
{
    const TRegRoot root = Root(scope);
    for (const TClassEntry& entry : ClassEntries(FNames, FServerCommand)) {
        const std::string path = Path(scope, entry.Key);
        TRegStatus status = FRegistry.CreateKey(root, path);
        std::unique_ptr<IRegistryKey> key;
        if (status == TRegStatus::Ok)
            status = FRegistry.OpenKey(root, path, TRegAccess::Full, key);
        if (status == TRegStatus::Ok)
            status = key->WriteString("", entry.Value);
        if (status != TRegStatus::Ok)
            return status == TRegStatus::NotFound ? TRegStatus::Failed : status;
    }
    return TRegStatus::Ok;
}

void TServerRegistration::Unregister()
{
    // Wine's removal keeps the library's key while another locale is in it,
    // and its removal for the user removes the machine's: every
    // locale-neutral entry goes first.
    if (FLocaleNeutral)
        for (TClassesScope scope : {TClassesScope::User, TClassesScope::Machine})
            DeleteLocaleNeutralEntry(scope);
    for (TClassesScope scope : {TClassesScope::User, TClassesScope::Machine})
        FTypeLib.Unregister(scope);
    for (TClassesScope scope : {TClassesScope::User, TClassesScope::Machine})
        DeleteKeys(scope);
}

void TServerRegistration::DeleteKeys(TClassesScope scope)
{
    for (const std::string& key : ClassKeysToDelete(FNames))
        FRegistry.DeleteKey(Root(scope), Path(scope, key));
}

std::string TServerRegistration::TypeLibVersionKey() const
{
    // The system writes the version in hexadecimal.
    return Format("TypeLib\\%s\\%x.%x", FNames.LibIdText.c_str(), static_cast<unsigned>(FNames.MajorVersion),
                  static_cast<unsigned>(FNames.MinorVersion));
}

bool TServerRegistration::WriteLocaleNeutralEntry(TClassesScope scope)
{
    const std::string path = Path(scope, TypeLibVersionKey() + "\\0\\" + FNames.Target);
    std::unique_ptr<IRegistryKey> key;
    return FRegistry.CreateKey(Root(scope), path) == TRegStatus::Ok &&
           FRegistry.OpenKey(Root(scope), path, TRegAccess::Full, key) == TRegStatus::Ok &&
           key->WriteString("", FTypeLibPath) == TRegStatus::Ok;
}

void TServerRegistration::DeleteLocaleNeutralEntry(TClassesScope scope)
{
    FRegistry.DeleteKey(Root(scope), Path(scope, TypeLibVersionKey() + "\\0\\" + FNames.Target));
    FRegistry.DeleteKey(Root(scope), Path(scope, TypeLibVersionKey() + "\\0"));
}

void RememberStartFolder(IRegistry& registry, const std::string& folder)
{
    std::unique_ptr<IRegistryKey> key;
    if (registry.CreateKey(TRegRoot::CurrentUser, kProgramKey) == TRegStatus::Ok &&
        registry.OpenKey(TRegRoot::CurrentUser, kProgramKey, TRegAccess::Full, key) == TRegStatus::Ok)
        key->WriteString(kStartFolderValue, folder);
}

std::string RememberedStartFolder(IRegistry& registry)
{
    std::unique_ptr<IRegistryKey> key;
    std::string folder;
    if (registry.OpenKey(TRegRoot::CurrentUser, kProgramKey, TRegAccess::Read, key) == TRegStatus::Ok) {
        try {
            ReadRegString(*key, kStartFolderValue, folder);
        } catch (const ERegistryException&) {
            folder.clear(); // a value of another type is no folder
        }
    }
    return folder;
}
