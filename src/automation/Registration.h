#pragma once
// The class's registry entries and the order they are written and removed
// in, over the registry seam; the type library's registration through a seam
// of its own. Machine-wide in the machine's own classes (what
// HKEY_CLASSES_ROOT shows of HKEY_LOCAL_MACHINE); a standard
// user's standalone or automation start falls back on the user's own classes
// only where the machine's do not start this program, and every start mends
// the user's entries that start a program that has gone.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "automation/StartMode.h"
#include "platform/ProgramSettings.h"
#include "platform/Registry.h"

// The names written into the registry, all read from the type library. Like
// every text of the registration (the paths, the values read back), in UTF-8:
// a program folder's name need not fit the ANSI code page.
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
    std::string Locale = "409";   // the library's locale, as its registry key names it

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

// The executable whose entries a registration writes.
struct TServerPaths {
    std::string FullPath;
    std::string ShortPath; // empty when the system has none

    // The LocalServer32 value it writes.
    std::string Command() const { return LocalServerCommand(FullPath, ShortPath); }
    // True when a LocalServer32 value starts this executable: its full path
    // or its short form, either of them quoted or not, without regard to case.
    bool StartedBy(const std::string& command) const;
};

// Whether a file exists, by its full path.
using TFileExists = std::function<bool(const std::string& path)>;

// True when the program a LocalServer32 value starts exists: the quoted path,
// or, unquoted, the whole value or a part of it up to a blank, as the system
// tries them.
bool CommandFileExists(const std::string& command, const TFileExists& fileExists);

// Where the class entries go: the machine's classes, or the current user's.
enum class TClassesScope { Machine, User };

// What a start did with the user's own class entries, which come before the
// machine's for that user.
enum class TUserEntries {
    Kept,    // none, or ones that start another program that exists
    Written, // the machine's do not start this program and may not be written
    Removed  // they started a program that has gone, or repeated the machine's
};

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
    // localeNeutral adds the library's entry for locale 0 beside the
    // system's (Wine's marshaller looks for no other); fileExists tells
    // whether the program an entry starts is still there.
    TServerRegistration(IRegistry& registry, ITypeLibRegistrar& typeLib, TServerNames names, TServerPaths paths,
                        bool localeNeutral, TFileExists fileExists);

    // Every mode but unregister: the type library, then the seven entries,
    // machine-wide. Raises what stops the start: a failed type-library
    // registration (EOleError), and in register mode a failed entry
    // (ERegistryException "Error creating system registry entry"). In
    // standalone and automation mode any other failure of an entry is
    // ignored, the entries after it unwritten, and a refusal for lack of
    // access writes the user's own entries, and has the library registered
    // for the user, unless the machine's entries are this program's already.
    // Then the user's own entries are mended (UserEntries()): ones that start
    // a program that has gone start this one when the machine's start none
    // (or one that has gone too), and are removed when the machine's start
    // this program or another that exists; ones that repeat the machine's
    // (the machine's are this program's) are removed, since an uninstall run
    // by an administrator cannot remove them.
    void Register(TStartMode mode);
    // The type library, then the keys, first the user's then the machine's;
    // every failure is ignored.
    void Unregister();

    // Where the last Register wrote, for the record.
    TClassesScope TypeLibScope() const { return FTypeLibScope; }
    TClassesScope EntriesScope() const { return FEntriesScope; }
    TUserEntries UserEntries() const { return FUserEntries; }

    static constexpr const char* kEntryError = "Error creating system registry entry";

private:
    // What a LocalServer32 value of the scope starts.
    struct TCommandState {
        bool Present = false;
        bool ThisProgram = false;
        bool Exists = false;
    };
    TCommandState CommandState(TClassesScope scope);
    // Every one of the machine's seven entries holds what this program writes.
    bool MachineServesThisProgram();
    void MendUserEntries(TRegStatus machineWrite);
    // Writes the entries in order; the status of the first failing one.
    TRegStatus WriteEntries(TClassesScope scope);
    void DeleteKeys(TClassesScope scope);
    // The user's entries, the library's locale-neutral entry and the
    // system's registration of the library for the user.
    void RemoveUserEntries();
    // The library's own key, and the locale-neutral entry below it.
    std::string TypeLibVersionKey() const;
    bool WriteLocaleNeutralEntry(TClassesScope scope);
    void DeleteLocaleNeutralEntry(TClassesScope scope);
    TRegRoot Root(TClassesScope scope) const;
    std::string Path(TClassesScope scope, const std::string& key) const;

    IRegistry& FRegistry;
    ITypeLibRegistrar& FTypeLib;
    TServerNames FNames;
    TServerPaths FPaths;
    bool FLocaleNeutral;
    TFileExists FFileExists;
    TClassesScope FTypeLibScope = TClassesScope::Machine;
    TClassesScope FEntriesScope = TClassesScope::Machine;
    TUserEntries FUserEntries = TUserEntries::Kept;
};

// The folder an operator's start runs in, remembered for a start by COM
// (which would run in the system folder) in the program's key (kProgramKey),
// in UTF-8: a profile folder's name need not fit the ANSI code page.
// Its row in kProgramSettings.
inline constexpr const char* kStartFolderValue = ProgramSettingRow(TProgramValue::StartFolder).Name;
// Failures are ignored: the next operator's start tries again.
void RememberStartFolder(IRegistry& registry, const std::string& folder);
// Empty when none is remembered.
std::string RememberedStartFolder(IRegistry& registry);
