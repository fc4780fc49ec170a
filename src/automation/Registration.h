#pragma once
// The class's registry entries and the order they are written and removed
// in, over the registry seam; the type library's registration through a seam
// of its own. Machine-wide under HKEY_CLASSES_ROOT; a standard user's
// standalone or automation start falls back on the user's own classes.

#include <cstdint>
#include <string>
#include <vector>

#include "automation/StartMode.h"
#include "platform/Registry.h"

// The names written into the registry, all read from the type library.
struct TServerNames {
    std::string ClsidText;   // "{CAD05301-...}"
    std::string ClassName;   // the coclass's name
    std::string Description; // the coclass's help string
    std::string ServerName;  // the library's name
    std::string LibIdText;
    int MajorVersion = 1;
    int MinorVersion = 0;
    std::string ServerKey = "LocalServer32";
    std::string Target = "win32"; // the library's target, as its registry key names it

    std::string ProgId() const { return ServerName + "." + ClassName; }
    std::string Version() const;
};

struct TClassEntry {
    std::string Key; // below the classes root
    std::string Value;
    bool operator==(const TClassEntry&) const = default;
};

// The seven entries, in the order they are written; serverCommand is the
// LocalServer32 value.
std::vector<TClassEntry> ClassEntries(const TServerNames& names, const std::string& serverCommand);
// The keys unregistration deletes, one at a time, in this order.
std::vector<std::string> ClassKeysToDelete(const TServerNames& names);

// The LocalServer32 value for the executable at fullPath, whose short (8.3)
// form is shortPath (empty when the system has none): the full path when it
// has no blank, else the short form when that has none, else the full path in
// double quotes. Never a path with a blank unquoted, which would let another
// program be started in its place.
std::string LocalServerCommand(const std::string& fullPath, const std::string& shortPath);

// Where the class entries go: the machine's classes, or the current user's.
enum class TClassesScope { Machine, User };

// The type library's registration with the system.
class ITypeLibRegistrar {
public:
    struct TOutcome {
        TRegStatus Status = TRegStatus::Ok; // Ok, Denied (no access) or Failed
        std::string Message;                // the system's text when not Ok
        int32_t Code = 0;                   // the HRESULT
    };
    virtual ~ITypeLibRegistrar() = default;
    virtual TOutcome Register(TClassesScope scope) = 0;
    // Failures are nobody's business: ignored.
    virtual void Unregister(TClassesScope scope) = 0;
};

// Writes the class's entries (and has the type library registered) as a start
// mode asks, or removes them.
class TServerRegistration {
public:
    // typeLibPath is the executable's full path as the type library is
    // registered with it; localeNeutral adds the library's entry for locale 0
    // beside the system's (Wine's marshaller looks for no other).
    TServerRegistration(IRegistry& registry, ITypeLibRegistrar& typeLib, TServerNames names,
                        std::string serverCommand, std::string typeLibPath, bool localeNeutral);

    // Every mode but unregister: the type library, then the seven entries.
    // Raises what stops the start: a failed type-library registration
    // (EOleError), and in register mode a failed entry (ERegistryException
    // "Error creating system registry entry"). In standalone and automation
    // mode a refusal for lack of access falls back on the user's classes, and
    // any other failure of an entry is ignored, the entries after it unwritten.
    void Register(TStartMode mode);
    // The type library, then the keys, first the user's then the machine's;
    // every failure is ignored.
    void Unregister();

    // Where the last Register wrote, for the record.
    TClassesScope TypeLibScope() const { return FTypeLibScope; }
    TClassesScope EntriesScope() const { return FEntriesScope; }

    static constexpr const char* kEntryError = "Error creating system registry entry";

private:
    // Writes the entries in order; the status of the first failing one.
    TRegStatus WriteEntries(TClassesScope scope);
    void DeleteKeys(TClassesScope scope);
    // The library's own key, and the locale-neutral entry below it.
    std::string TypeLibVersionKey() const;
    bool WriteLocaleNeutralEntry(TClassesScope scope);
    void DeleteLocaleNeutralEntry(TClassesScope scope);
    TRegRoot Root(TClassesScope scope) const;
    std::string Path(TClassesScope scope, const std::string& key) const;

    IRegistry& FRegistry;
    ITypeLibRegistrar& FTypeLib;
    TServerNames FNames;
    std::string FServerCommand;
    std::string FTypeLibPath;
    bool FLocaleNeutral;
    TClassesScope FTypeLibScope = TClassesScope::Machine;
    TClassesScope FEntriesScope = TClassesScope::Machine;
};

// The folder an operator's start runs in, remembered for a start by COM
// (which would run in the system folder) under HKEY_CURRENT_USER.
inline constexpr const char* kProgramKey = "Software\\Velkor";
inline constexpr const char* kStartFolderValue = "StartFolder";
// Failures are ignored: the next operator's start tries again.
void RememberStartFolder(IRegistry& registry, const std::string& folder);
// Empty when none is remembered.
std::string RememberedStartFolder(IRegistry& registry);
