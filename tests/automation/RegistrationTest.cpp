#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "automation/Registration.h"
#include "base/SysUtils.h"
#include "tests/support/MemoryRegistry.h"

namespace {

constexpr TRegRoot kMachine = TRegRoot::LocalMachine;
constexpr TRegRoot kUser = TRegRoot::CurrentUser;
// The machine's classes and the user's, each below its root.
const std::string kClassesKey = "Software\\Classes\\";
const std::string kClsid = "{CAD05301-DA07-4E2F-B881-F05A6583402A}";
const std::string kLibId = "{A1B5FCD3-A2FE-4AC5-8224-D851D4594C24}";
const std::string kExe = "C:\\Velkor\\velkor.exe";
const std::string kNeutralKey = "TypeLib\\" + kLibId + "\\1.0\\0\\win32";

TServerNames Names()
{
    TServerNames names;
    names.ClsidText = kClsid;
    names.ClassName = "VelkorCom";
    names.Description = "VelkorCom Object";
    names.ServerName = "Velkor";
    names.LibIdText = kLibId;
    return names;
}

const std::vector<TClassEntry> kEntries = {
    {"CLSID\\" + kClsid, "VelkorCom Object"},
    {"CLSID\\" + kClsid + "\\LocalServer32", kExe},
    {"Velkor.VelkorCom", "VelkorCom Object"},
    {"Velkor.VelkorCom\\Clsid", kClsid},
    {"CLSID\\" + kClsid + "\\ProgID", "Velkor.VelkorCom"},
    {"CLSID\\" + kClsid + "\\Version", "1.0"},
    {"CLSID\\" + kClsid + "\\TypeLib", kLibId},
};

// Everything done to the registry and the type library, in order.
using TLog = std::vector<std::string>;

class TRecordingRegistry : public IRegistry {
public:
    TRecordingRegistry(TMemoryRegistry& store, TLog& log) : FStore(store), FLog(log) {}
    TRegStatus OpenKey(TRegRoot root, const std::string& path, TRegAccess access,
                       std::unique_ptr<IRegistryKey>& key) override
    {
        return FStore.OpenKey(root, path, access, key);
    }
    TRegStatus CreateKey(TRegRoot root, const std::string& path) override { return FStore.CreateKey(root, path); }
    TRegStatus DeleteKey(TRegRoot root, const std::string& path) override
    {
        // Logged below the classes key of either root.
        const std::string key = path.starts_with(kClassesKey) ? path.substr(kClassesKey.size()) : path;
        FLog.push_back(std::string(root == kUser ? "delete user " : "delete ") + key);
        return FStore.DeleteKey(root, path);
    }
    std::string ProgramBaseName() override { return "velkor"; }

private:
    TMemoryRegistry& FStore;
    TLog& FLog;
};

class TFakeTypeLib : public ITypeLibRegistrar {
public:
    explicit TFakeTypeLib(TLog& log) : FLog(log) {}
    std::map<TClassesScope, TRegStatus> Results;

    TOutcome Register(TClassesScope scope) override
    {
        FLog.push_back(std::string("register type library for the ") + Name(scope));
        const auto it = Results.find(scope);
        const TRegStatus status = it == Results.end() ? TRegStatus::Ok : it->second;
        if (status == TRegStatus::Ok)
            return {};
        return {status, "Error accessing the OLE registry", static_cast<int32_t>(0x8002801C)};
    }
    void Unregister(TClassesScope scope) override
    {
        FLog.push_back(std::string("unregister type library for the ") + Name(scope));
    }

private:
    static const char* Name(TClassesScope scope) { return scope == TClassesScope::Machine ? "machine" : "user"; }
    TLog& FLog;
};

class RegistrationTest : public ::testing::Test {
protected:
    TServerRegistration Plan(bool localeNeutral = false, const std::string& exe = kExe)
    {
        return TServerRegistration(Recording, TypeLib, Names(), {exe, ""}, localeNeutral,
                                   [this](const std::string& path) { return Files.count(path) > 0; });
    }

    // The class entries present under a root, in the order of the seven.
    std::vector<TClassEntry> Present(TRegRoot root, const std::string& prefix) const
    {
        std::vector<TClassEntry> present;
        for (const TClassEntry& entry : kEntries)
            if (auto value = Store.Value(root, prefix + entry.Key, ""))
                present.push_back({entry.Key, value->Data});
        return present;
    }
    static std::vector<TClassEntry> First(size_t count) { return {kEntries.begin(), kEntries.begin() + count}; }

    TMemoryRegistry Store;
    TLog Log;
    TRecordingRegistry Recording{Store, Log};
    TFakeTypeLib TypeLib{Log};
    // The programs that exist.
    std::set<std::string> Files{kExe};
};

TEST_F(RegistrationTest, RegisterWritesTheTypeLibraryThenTheSevenEntriesInOrder)
{
    Plan().Register(TStartMode::Register);
    EXPECT_EQ(Log, TLog{"register type library for the machine"});
    std::vector<TClassEntry> written;
    for (const TMemoryRegistry::TWrite& write : Store.Writes()) {
        EXPECT_EQ(write.Name, "") << "the default value";
        EXPECT_TRUE(write.Utf8) << write.Path << ": a program folder's name need not fit the code page";
        written.push_back({write.Path.substr(kClassesKey.size()), write.Value});
    }
    EXPECT_EQ(written, kEntries);
    EXPECT_EQ(Store.Value(kMachine, kClassesKey + kEntries[1].Key, "")->Type, RegType::kSz);
    EXPECT_FALSE(Store.HasKey(kMachine, kClassesKey + "CLSID\\" + kClsid + "\\ThreadingModel"));
    EXPECT_FALSE(Store.HasKey(kUser, kClassesKey + "CLSID")) << "nothing for the user alone";
}

TEST_F(RegistrationTest, ARefusedWriteAtEntryThreeInEachMode)
{
    const struct {
        TStartMode Mode;
        TRegStatus Refusal;
        bool Raises;
        size_t MachineEntries;
        size_t UserEntries;
    } cases[] = {
        {TStartMode::Register, TRegStatus::Failed, true, 2, 0},
        {TStartMode::Register, TRegStatus::Denied, true, 2, 0},
        {TStartMode::Standalone, TRegStatus::Failed, false, 2, 0},
        {TStartMode::Automation, TRegStatus::Failed, false, 2, 0},
        // A standard user: the same entries for the user alone, and it runs on.
        {TStartMode::Standalone, TRegStatus::Denied, false, 2, 7},
        {TStartMode::Automation, TRegStatus::Denied, false, 2, 7},
    };
    for (const auto& c : cases) {
        Store = TMemoryRegistry();
        Store.FailWrite(kMachine, kClassesKey + "Velkor.VelkorCom", "", c.Refusal);
        const std::string label = Format("mode %d, status %d", static_cast<int>(c.Mode), static_cast<int>(c.Refusal));
        TServerRegistration plan = Plan();
        if (c.Raises) {
            try {
                plan.Register(c.Mode);
                ADD_FAILURE() << label << ": no error";
            } catch (const ERegistryException& error) {
                EXPECT_STREQ(error.what(), "Error creating system registry entry") << label;
            }
        } else {
            EXPECT_NO_THROW(plan.Register(c.Mode)) << label;
        }
        EXPECT_EQ(Present(kMachine, kClassesKey), First(c.MachineEntries)) << label << ": the entries after it unwritten";
        EXPECT_EQ(Present(kUser, kClassesKey), First(c.UserEntries)) << label;
        EXPECT_EQ(plan.EntriesScope(), c.UserEntries ? TClassesScope::User : TClassesScope::Machine) << label;
    }
}

TEST_F(RegistrationTest, AKeyThatCannotBeMadeIsARefusedEntryToo)
{
    Store.DenyCreate(kMachine, kClassesKey + "CLSID");
    EXPECT_THROW(Plan().Register(TStartMode::Register), ERegistryException);
    EXPECT_TRUE(Present(kMachine, kClassesKey).empty());
    Plan().Register(TStartMode::Standalone);
    EXPECT_TRUE(Present(kMachine, kClassesKey).empty());
    EXPECT_EQ(Present(kUser, kClassesKey), kEntries);
}

TEST_F(RegistrationTest, TheTypeLibraryFailingStopsEveryModeUnlessAUserCanHaveItAlone)
{
    const struct {
        TStartMode Mode;
        TRegStatus Machine;
        TRegStatus User;
        bool Raises;
        TLog Calls;
    } cases[] = {
        {TStartMode::Standalone, TRegStatus::Failed, TRegStatus::Ok, true, {"register type library for the machine"}},
        {TStartMode::Automation, TRegStatus::Failed, TRegStatus::Ok, true, {"register type library for the machine"}},
        {TStartMode::Register, TRegStatus::Denied, TRegStatus::Ok, true, {"register type library for the machine"}},
        {TStartMode::Standalone,
         TRegStatus::Denied,
         TRegStatus::Ok,
         false,
         {"register type library for the machine", "register type library for the user"}},
        {TStartMode::Automation,
         TRegStatus::Denied,
         TRegStatus::Failed,
         true,
         {"register type library for the machine", "register type library for the user"}},
    };
    for (const auto& c : cases) {
        Store = TMemoryRegistry();
        Log.clear();
        TypeLib.Results = {{TClassesScope::Machine, c.Machine}, {TClassesScope::User, c.User}};
        const std::string label = Format("mode %d", static_cast<int>(c.Mode));
        TServerRegistration plan = Plan();
        if (c.Raises) {
            try {
                plan.Register(c.Mode);
                ADD_FAILURE() << label << ": no error";
            } catch (const EOleError& error) {
                EXPECT_STREQ(error.what(), "Error accessing the OLE registry") << label;
                EXPECT_EQ(static_cast<uint32_t>(error.ErrorCode()), 0x8002801Cu) << label;
            }
            EXPECT_TRUE(Store.Writes().empty()) << label << ": no entry before the library";
        } else {
            plan.Register(c.Mode);
            EXPECT_EQ(plan.TypeLibScope(), TClassesScope::User) << label;
            EXPECT_EQ(Present(kMachine, kClassesKey), kEntries) << label << ": the entries need no fallback of their own";
        }
        EXPECT_EQ(Log, c.Calls) << label;
    }
}

TEST_F(RegistrationTest, UnderWineTheLibraryGetsALocaleNeutralEntryThatUnregistrationRemoves)
{
    Plan(true).Register(TStartMode::Register);
    ASSERT_TRUE(Store.Value(kMachine, kClassesKey + kNeutralKey, ""));
    EXPECT_EQ(Store.Value(kMachine, kClassesKey + kNeutralKey, "")->Data, kExe);
    EXPECT_EQ(Store.Writes().front().Path, kClassesKey + kNeutralKey) << "right after the library";

    Log.clear();
    Plan(true).Unregister();
    EXPECT_FALSE(Store.HasKey(kMachine, kClassesKey + "TypeLib\\" + kLibId + "\\1.0\\0"));
    // Removed before the system's own removal, which keeps the library's key
    // while another locale is in it.
    const TLog head(Log.begin(), Log.begin() + 6);
    EXPECT_EQ(head, (TLog{"delete user " + kNeutralKey,
                          "delete user TypeLib\\" + kLibId + "\\1.0\\0",
                          "delete " + kNeutralKey, "delete TypeLib\\" + kLibId + "\\1.0\\0",
                          "unregister type library for the user", "unregister type library for the machine"}));

    // A standard user's library: the entry goes with it to the user's classes.
    Store = TMemoryRegistry();
    TypeLib.Results = {{TClassesScope::Machine, TRegStatus::Denied}};
    Plan(true).Register(TStartMode::Automation);
    EXPECT_TRUE(Store.Value(kUser, kClassesKey + kNeutralKey, ""));
    EXPECT_FALSE(Store.HasKey(kMachine, kClassesKey + "TypeLib"));

    Store = TMemoryRegistry();
    TypeLib.Results.clear();
    Plan(false).Register(TStartMode::Register);
    EXPECT_FALSE(Store.HasKey(kMachine, kClassesKey + "TypeLib")) << "not on Windows";
}

TEST_F(RegistrationTest, UnregistrationDeletesOneKeyAtATimeInOrderAndLeavesOtherProgramsSubkeys)
{
    Plan().Register(TStartMode::Register);
    // Another program added to the class's key.
    Store.SetString(kMachine, kClassesKey + "CLSID\\" + kClsid + "\\Implemented Categories\\{X}", "", "");
    Log.clear();
    Plan().Unregister();

    const std::vector<std::string> keys = {
        "CLSID\\" + kClsid + "\\TypeLib", "CLSID\\" + kClsid + "\\Version", "CLSID\\" + kClsid + "\\ProgID",
        "Velkor.VelkorCom\\Clsid",        "Velkor.VelkorCom",                "CLSID\\" + kClsid + "\\LocalServer32",
        "CLSID\\" + kClsid,
    };
    TLog expected = {"unregister type library for the user", "unregister type library for the machine"};
    for (const std::string& key : keys)
        expected.push_back("delete user " + key);
    for (const std::string& key : keys)
        expected.push_back("delete " + key);
    EXPECT_EQ(Log, expected);

    EXPECT_TRUE(Present(kMachine, kClassesKey).size() == 1 && Present(kMachine, kClassesKey)[0].Key == "CLSID\\" + kClsid)
        << "the class key stays for the other program's subkey";
    EXPECT_TRUE(Store.HasKey(kMachine, kClassesKey + "CLSID\\" + kClsid + "\\Implemented Categories\\{X}"));
    EXPECT_FALSE(Store.HasKey(kMachine, kClassesKey + "Velkor.VelkorCom"));
    EXPECT_FALSE(Store.HasKey(kMachine, kClassesKey + "CLSID\\" + kClsid + "\\LocalServer32"));

    // Nothing registered: nothing to complain about. The next start writes all again.
    Plan().Unregister();
    Plan().Register(TStartMode::Standalone);
    EXPECT_EQ(Present(kMachine, kClassesKey), kEntries);
}

TEST_F(RegistrationTest, AUsersOwnEntriesGoToo)
{
    Store.FailWrite(kMachine, kClassesKey + "CLSID\\" + kClsid, "", TRegStatus::Denied);
    Plan().Register(TStartMode::Standalone);
    ASSERT_EQ(Present(kUser, kClassesKey), kEntries);
    Plan().Unregister();
    EXPECT_TRUE(Present(kUser, kClassesKey).empty());
    EXPECT_FALSE(Store.HasKey(kUser, kClassesKey + "CLSID\\" + kClsid));
}

// The user's own entries come before the machine's for that user, and an
// uninstall run by an administrator cannot remove them: a start writes them
// only where the machine's are not this program's, and mends those that start
// a program that has gone.
TEST_F(RegistrationTest, TheUsersOwnEntriesOnlyWhereTheMachinesDoNotServeAndNoneThatStartAProgramGone)
{
    const std::string other = "C:\\Other\\velkor.exe";     // another copy, there
    const std::string gone = "C:\\Uninstalled\\velkor.exe"; // a copy that has gone
    const std::string none;
    enum TWho { StandardUser, Administrator, MachineFailing };
    const struct {
        const char* Name;
        std::string Machine; // what the machine's entries start before the start
        std::string User;    // what the user's start
        TWho Who;
        TUserEntries Done;
        std::string UserAfter; // what the user's start afterwards
        std::string MachineAfter;
    } cases[] = {
        {"nothing registered", none, none, StandardUser, TUserEntries::Written, kExe, none},
        {"installed: the user needs none", kExe, none, StandardUser, TUserEntries::Kept, none, kExe},
        {"installed, and a copy left by an earlier start", kExe, kExe, StandardUser, TUserEntries::Removed, none, kExe},
        {"installed, and the user's start a program gone", kExe, gone, StandardUser, TUserEntries::Removed, none, kExe},
        {"the machine's start another program", other, none, StandardUser, TUserEntries::Written, kExe, other},
        {"the machine's another, the user's one gone", other, gone, StandardUser, TUserEntries::Written, kExe, other},
        {"both gone", gone, gone, StandardUser, TUserEntries::Written, kExe, gone},
        {"the user chose another copy", kExe, other, StandardUser, TUserEntries::Kept, other, kExe},
        {"an administrator's start, the user's gone", none, gone, Administrator, TUserEntries::Removed, none, kExe},
        {"an administrator's start, a copy of the machine's", other, kExe, Administrator, TUserEntries::Removed,
         none, kExe},
        {"the machine's fail otherwise, the user's gone", none, gone, MachineFailing, TUserEntries::Written, kExe,
         none},
        {"the machine's fail otherwise, nothing else", none, none, MachineFailing, TUserEntries::Kept, none, none},
    };
    const std::string server = "CLSID\\" + kClsid + "\\LocalServer32";
    auto command = [&](TRegRoot root) {
        const auto value = Store.Value(root, kClassesKey + server, "");
        return value ? value->Data : none;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Store = TMemoryRegistry();
        Files = {kExe, other};
        TypeLib.Results.clear();
        if (!c.Machine.empty())
            Plan(false, c.Machine).Register(TStartMode::Register);
        for (const TClassEntry& entry : ClassEntries(Names(), c.User.empty() ? kExe : c.User))
            if (!c.User.empty())
                Store.SetString(kUser, kClassesKey + entry.Key, "", entry.Value);
        if (c.Who != Administrator) {
            const TRegStatus refusal = c.Who == StandardUser ? TRegStatus::Denied : TRegStatus::Failed;
            Store.FailWrite(kMachine, kClassesKey + "CLSID\\" + kClsid, "", refusal);
            if (c.Who == StandardUser)
                TypeLib.Results[TClassesScope::Machine] = TRegStatus::Denied;
        }
        Log.clear();

        TServerRegistration plan = Plan();
        plan.Register(TStartMode::Standalone);
        EXPECT_EQ(plan.UserEntries(), c.Done);
        EXPECT_EQ(command(kUser), c.UserAfter);
        EXPECT_EQ(command(kMachine), c.MachineAfter);
        if (c.Done == TUserEntries::Written) {
            EXPECT_EQ(Present(kUser, kClassesKey), kEntries) << "all seven";
        }
        if (c.UserAfter.empty()) {
            EXPECT_FALSE(Store.HasKey(kUser, kClassesKey + "Velkor.VelkorCom")) << "none of the seven";
        }
        // The library goes for the user alone only with the user's entries.
        const bool libraryForUser = std::find(Log.begin(), Log.end(), "register type library for the user") != Log.end();
        EXPECT_EQ(libraryForUser, c.Who == StandardUser && c.Done == TUserEntries::Written);
    }
}

TEST_F(RegistrationTest, RemovingTheUsersEntriesTakesTheLibraryRegisteredForTheUserAlong)
{
    Plan(true).Register(TStartMode::Register);
    for (const TClassEntry& entry : ClassEntries(Names(), "C:\\Gone\\velkor.exe"))
        Store.SetString(kUser, kClassesKey + entry.Key, "", entry.Value);
    Store.SetString(kUser, kClassesKey + kNeutralKey, "", "C:\\Gone\\velkor.exe");
    Log.clear();
    TServerRegistration plan = Plan(true);
    plan.Register(TStartMode::Standalone);
    ASSERT_EQ(plan.UserEntries(), TUserEntries::Removed);
    EXPECT_FALSE(Store.HasKey(kUser, kClassesKey + kNeutralKey));
    EXPECT_EQ(std::count(Log.begin(), Log.end(), "unregister type library for the user"), 0)
        << "the system registered none for the user: under Wine its removal would be the machine's";

    // The system's registration for the user, as Windows makes it.
    for (const TClassEntry& entry : ClassEntries(Names(), "C:\\Gone\\velkor.exe"))
        Store.SetString(kUser, kClassesKey + entry.Key, "", entry.Value);
    Store.SetString(kUser, kClassesKey + "TypeLib\\" + kLibId + "\\1.0\\409\\win32", "", "C:\\Gone\\velkor.exe");
    Log.clear();
    Plan(true).Register(TStartMode::Standalone);
    EXPECT_EQ(std::count(Log.begin(), Log.end(), "unregister type library for the user"), 1);
    EXPECT_TRUE(Present(kUser, kClassesKey).empty());
}

TEST_F(RegistrationTest, WhatALocalServerValueStarts)
{
    const TServerPaths paths{"C:\\Program Files\\Velkor\\velkor.exe", "C:\\PROGRA~1\\Velkor\\velkor.exe"};
    Files = {paths.FullPath, "C:\\Tools\\logger.exe"};
    const struct {
        const char* Command;
        bool ThisProgram;
        bool Exists;
    } cases[] = {
        {"C:\\PROGRA~1\\Velkor\\velkor.exe", true, false},
        {"c:\\program files\\velkor\\VELKOR.EXE", true, false},
        {"\"C:\\Program Files\\Velkor\\velkor.exe\"", true, true},
        {"\"C:\\PROGRA~1\\Velkor\\velkor.exe\"", true, false},
        {" C:\\Program Files\\Velkor\\velkor.exe ", true, true},
        {"C:\\Program Files\\Velkor\\velkor.exe /automation", false, true},
        {"C:\\Tools\\logger.exe -Embedding", false, true},
        {"\"C:\\Tools\\logger.exe", false, true},
        {"C:\\Velkor\\velkor.exe", false, false},
        {"\"\"", false, false},
        {"", false, false},
    };
    const TFileExists exists = [this](const std::string& path) { return Files.count(path) > 0; };
    for (const auto& c : cases) {
        EXPECT_EQ(paths.StartedBy(c.Command), c.ThisProgram) << c.Command;
        EXPECT_EQ(CommandFileExists(c.Command, exists), c.Exists) << c.Command;
    }
    EXPECT_EQ(paths.Command(), paths.ShortPath);
}

TEST_F(RegistrationTest, TheLocalServerPathNeverHasAnUnquotedBlank)
{
    const struct {
        const char* Full;
        const char* Short;
        const char* Command;
    } cases[] = {
        {"C:\\Velkor\\velkor.exe", "C:\\Velkor\\velkor.exe", "C:\\Velkor\\velkor.exe"},
        {"C:\\Velkor\\velkor.exe", "", "C:\\Velkor\\velkor.exe"},
        {"C:\\Program Files\\Velkor\\velkor.exe", "C:\\PROGRA~1\\Velkor\\velkor.exe",
         "C:\\PROGRA~1\\Velkor\\velkor.exe"},
        // No short names on that volume.
        {"C:\\Program Files\\Velkor\\velkor.exe", "C:\\Program Files\\Velkor\\velkor.exe",
         "\"C:\\Program Files\\Velkor\\velkor.exe\""},
        {"C:\\Program Files\\Velkor\\velkor.exe", "", "\"C:\\Program Files\\Velkor\\velkor.exe\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LocalServerCommand(c.Full, c.Short), c.Command) << c.Full << " / " << c.Short;
}

TEST_F(RegistrationTest, TheOperatorsFolderIsRememberedForTheUser)
{
    EXPECT_EQ(RememberedStartFolder(Store), "");
    RememberStartFolder(Store, "C:\\Hamradio");
    EXPECT_EQ(Store.Value(kUser, "Software\\Velkor", "StartFolder")->Data, "C:\\Hamradio");
    EXPECT_EQ(RememberedStartFolder(Store), "C:\\Hamradio");
    RememberStartFolder(Store, "C:\\Users\\Micha\xC5\x82");
    EXPECT_EQ(Store.Writes().back(),
              (TMemoryRegistry::TWrite{"Software\\Velkor", "StartFolder", "C:\\Users\\Micha\xC5\x82", true}))
        << "in UTF-8, never through the code page";
    EXPECT_EQ(RememberedStartFolder(Store), "C:\\Users\\Micha\xC5\x82");
    Store.SetValue(kUser, "Software\\Velkor", "StartFolder", {RegType::kDWord, "1234"});
    EXPECT_EQ(RememberedStartFolder(Store), "") << "a value of another type is no folder";
    Store.DenyOpen(kUser, "Software\\Velkor");
    RememberStartFolder(Store, "C:\\Other"); // no error
}

} // namespace
