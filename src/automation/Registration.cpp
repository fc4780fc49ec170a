#include "automation/Registration.h"

#include <memory>

#include "base/SysUtils.h"
#include "platform/ProgramKey.h"

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

bool TServerPaths::StartedBy(const std::string& command) const
{
    const std::string value = Trim(command);
    for (const std::string& path : {FullPath, ShortPath})
        if (!path.empty() && (SameText(value, path) || SameText(value, "\"" + path + "\"")))
            return true;
    return false;
}

bool CommandFileExists(const std::string& command, const TFileExists& fileExists)
{
    const std::string value = Trim(command);
    if (value.empty())
        return false;
    if (value[0] == '"') {
        const size_t end = value.find('"', 1);
        return fileExists(value.substr(1, end == std::string::npos ? std::string::npos : end - 1));
    }
    // Unquoted, the system tries the parts before each blank, then the whole.
    for (size_t blank = value.find(' '); blank != std::string::npos; blank = value.find(' ', blank + 1))
        if (fileExists(value.substr(0, blank)))
            return true;
    return fileExists(value);
}

TServerRegistration::TServerRegistration(IRegistry& registry, ITypeLibRegistrar& typeLib, TServerNames names,
                                         TServerPaths paths, bool localeNeutral, TFileExists fileExists)
    : FRegistry(registry), FTypeLib(typeLib), FNames(std::move(names)), FPaths(std::move(paths)),
      FLocaleNeutral(localeNeutral), FFileExists(std::move(fileExists))
{
}

TRegRoot TServerRegistration::Root(TClassesScope scope) const
{
    return scope == TClassesScope::Machine ? TRegRoot::LocalMachine : TRegRoot::CurrentUser;
}

std::string TServerRegistration::Path(TClassesScope, const std::string& key) const
{
    // Either scope's own classes: HKEY_CLASSES_ROOT would show the user's
    // entries in place of the machine's.
    return "Software\\Classes\\" + key;
}

void TServerRegistration::Register(TStartMode mode)
{
    const bool tolerant = mode == TStartMode::Standalone || mode == TStartMode::Automation;

    FTypeLibScope = TClassesScope::Machine;
    ITypeLibRegistrar::TOutcome outcome = FTypeLib.Register(TClassesScope::Machine);
    if (outcome.Status == TRegStatus::Denied && tolerant) {
        if (MachineServesThisProgram()) {
            outcome = {}; // the installation registered it for the machine
        } else {
            FTypeLibScope = TClassesScope::User;
            outcome = FTypeLib.Register(TClassesScope::User);
        }
    }
    if (outcome.Status != TRegStatus::Ok)
        throw EOleError(outcome.Message, outcome.Code);
    if (FLocaleNeutral && !WriteLocaleNeutralEntry(FTypeLibScope) && !tolerant)
        throw ERegistryException(kEntryError);

    FEntriesScope = TClassesScope::Machine;
    FUserEntries = TUserEntries::Kept;
    const TRegStatus status = WriteEntries(TClassesScope::Machine);
    if (status != TRegStatus::Ok && !tolerant)
        throw ERegistryException(kEntryError);
    MendUserEntries(status);
}

TServerRegistration::TCommandState TServerRegistration::CommandState(TClassesScope scope)
{
    TCommandState state;
    std::unique_ptr<IRegistryKey> key;
    std::string command;
    if (FRegistry.OpenKey(Root(scope), Path(scope, "CLSID\\" + FNames.ClsidText + "\\" + FNames.ServerKey),
                          TRegAccess::Read, key) != TRegStatus::Ok)
        return state;
    try {
        state.Present = ReadRegStringUtf8(*key, "", command);
    } catch (const ERegistryException&) {
        state.Present = true; // a value of another type starts nothing
        return state;
    }
    state.ThisProgram = state.Present && FPaths.StartedBy(command);
    state.Exists = state.ThisProgram || (state.Present && CommandFileExists(command, FFileExists));
    return state;
}

bool TServerRegistration::MachineServesThisProgram()
{
    for (const TClassEntry& entry : ClassEntries(FNames, FPaths.Command())) {
        std::unique_ptr<IRegistryKey> key;
        std::string value;
        try {
            if (FRegistry.OpenKey(Root(TClassesScope::Machine), Path(TClassesScope::Machine, entry.Key),
                                  TRegAccess::Read, key) != TRegStatus::Ok ||
                !ReadRegStringUtf8(*key, "", value))
                return false;
        } catch (const ERegistryException&) {
            return false;
        }
        if (entry.Key.ends_with("\\" + FNames.ServerKey) ? !FPaths.StartedBy(value) : value != entry.Value)
            return false;
    }
    return true;
}

void TServerRegistration::MendUserEntries(TRegStatus machineWrite)
{
    const bool machineServes = MachineServesThisProgram();
    const TCommandState machine = CommandState(TClassesScope::Machine);
    const TCommandState user = CommandState(TClassesScope::User);
    if (machineWrite == TRegStatus::Denied && !machineServes)
        FUserEntries = TUserEntries::Written; // a standard user; the machine's are missing or start another
    else if (user.Present && !user.Exists)
        FUserEntries = machine.Exists ? TUserEntries::Removed : TUserEntries::Written;
    else if (user.ThisProgram && machineServes)
        FUserEntries = TUserEntries::Removed;

    if (FUserEntries == TUserEntries::Written) {
        FEntriesScope = TClassesScope::User;
        WriteEntries(TClassesScope::User); // a failure here is ignored too
    } else if (FUserEntries == TUserEntries::Removed) {
        RemoveUserEntries();
    }
}

void TServerRegistration::RemoveUserEntries()
{
    if (FLocaleNeutral)
        DeleteLocaleNeutralEntry(TClassesScope::User);
    // Only where the system registered the library for the user: under Wine
    // its removal for the user is the machine's.
    std::unique_ptr<IRegistryKey> key;
    const std::string libraryKey =
        Path(TClassesScope::User, TypeLibVersionKey() + "\\" + FNames.Locale + "\\" + FNames.Target);
    if (FRegistry.OpenKey(Root(TClassesScope::User), libraryKey, TRegAccess::Read, key) == TRegStatus::Ok) {
        key.reset();
        FTypeLib.Unregister(TClassesScope::User);
    }
    DeleteKeys(TClassesScope::User);
}

TRegStatus TServerRegistration::WriteEntries(TClassesScope scope)
{
    const TRegRoot root = Root(scope);
    for (const TClassEntry& entry : ClassEntries(FNames, FPaths.Command())) {
        const std::string path = Path(scope, entry.Key);
        TRegStatus status = FRegistry.CreateKey(root, path);
        std::unique_ptr<IRegistryKey> key;
        if (status == TRegStatus::Ok)
            status = FRegistry.OpenKey(root, path, TRegAccess::Full, key);
        if (status == TRegStatus::Ok)
            status = key->WriteStringUtf8("", entry.Value);
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
           key->WriteStringUtf8("", FPaths.FullPath) == TRegStatus::Ok;
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
        key->WriteStringUtf8(kStartFolderValue, folder);
}

std::string RememberedStartFolder(IRegistry& registry)
{
    TRegValue value;
    if (!ReadProgramValue(registry, ProgramSettingRow(TProgramValue::StartFolder), value) ||
        (value.Type != RegType::kSz && value.Type != RegType::kExpandSz))
        return {}; // a value of another type is no folder
    return value.Data;
}
