#include <gtest/gtest.h>

#include <map>

#include "automation/Registration.h"
#include "base/SysUtils.h"
#include "platform/MemoryRegistry.h"

namespace {

constexpr TRegRoot kClasses = TRegRoot::ClassesRoot;
constexpr TRegRoot kUser = TRegRoot::CurrentUser;
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
        FLog.push_back(std::string(root == kUser ? "delete user " : "delete ") + path);
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
    TServerRegistration Plan(bool localeNeutral = false)
    {
        return TServerRegistration(Recording, TypeLib, Names(), kExe, kExe, localeNeutral);
    }

    // The class entries present under a root, in the order of the seven.
    std::vector<TClassEntry> Present(TRegRoot root, const std::string& prefix = {}) const
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
};

TEST_F(RegistrationTest, RegisterWritesTheTypeLibraryThenTheSevenEntriesInOrder)
{
    Plan().Register(TStartMode::Register);
    EXPECT_EQ(Log, TLog{"register type library for the machine"});
    std::vector<TClassEntry> written;
    for (const TMemoryRegistry::TWrite& write : Store.Writes()) {
        EXPECT_EQ(write.Name, "") << "the default value";
        written.push_back({write.Path, write.Value});
    }
    EXPECT_EQ(written, kEntries);
    EXPECT_EQ(Store.Value(kClasses, kEntries[1].Key, "")->Type, RegType::kSz);
    EXPECT_FALSE(Store.HasKey(kClasses, "CLSID\\" + kClsid + "\\ThreadingModel"));
    EXPECT_FALSE(Store.HasKey(kUser, "Software\\Classes\\CLSID")) << "nothing for the user alone";
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
        Store.FailWrite(kClasses, "Velkor.VelkorCom", "", c.Refusal);
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
        EXPECT_EQ(Present(kClasses), First(c.MachineEntries)) << label << ": the entries after it unwritten";
        EXPECT_EQ(Present(kUser, "Software\\Classes\\"), First(c.UserEntries)) << label;
        EXPECT_EQ(plan.EntriesScope(), c.UserEntries ? TClassesScope::User : TClassesScope::Machine) << label;
    }
}

TEST_F(RegistrationTest, AKeyThatCannotBeMadeIsARefusedEntryToo)
{
    Store.DenyCreate(kClasses, "CLSID");
    EXPECT_THROW(Plan().Register(TStartMode::Register), ERegistryException);
    EXPECT_TRUE(Present(kClasses).empty());
    Plan().Register(TStartMode::Standalone);
    EXPECT_TRUE(Present(kClasses).empty());
    EXPECT_EQ(Present(kUser, "Software\\Classes\\"), kEntries);
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
            EXPECT_EQ(Present(kClasses), kEntries) << label << ": the entries need no fallback of their own";
        }
        EXPECT_EQ(Log, c.Calls) << label;
    }
}

TEST_F(RegistrationTest, UnderWineTheLibraryGetsALocaleNeutralEntryThatUnregistrationRemoves)
{
    Plan(true).Register(TStartMode::Register);
    ASSERT_TRUE(Store.Value(kClasses, kNeutralKey, ""));
    EXPECT_EQ(Store.Value(kClasses, kNeutralKey, "")->Data, kExe);
    EXPECT_EQ(Store.Writes().front().Path, kNeutralKey) << "right after the library";

    Log.clear();
    Plan(true).Unregister();
    EXPECT_FALSE(Store.HasKey(kClasses, "TypeLib\\" + kLibId + "\\1.0\\0"));
    // Removed before the system's own removal, which keeps the library's key
    // while another locale is in it.
    const TLog head(Log.begin(), Log.begin() + 6);
    EXPECT_EQ(head, (TLog{"delete user Software\\Classes\\" + kNeutralKey,
                          "delete user Software\\Classes\\TypeLib\\" + kLibId + "\\1.0\\0",
                          "delete " + kNeutralKey, "delete TypeLib\\" + kLibId + "\\1.0\\0",
                          "unregister type library for the user", "unregister type library for the machine"}));

    // A standard user's library: the entry goes with it to the user's classes.
    Store = TMemoryRegistry();
    TypeLib.Results = {{TClassesScope::Machine, TRegStatus::Denied}};
    Plan(true).Register(TStartMode::Automation);
    EXPECT_TRUE(Store.Value(kUser, "Software\\Classes\\" + kNeutralKey, ""));
    EXPECT_FALSE(Store.HasKey(kClasses, "TypeLib"));

    Store = TMemoryRegistry();
    TypeLib.Results.clear();
    Plan(false).Register(TStartMode::Register);
    EXPECT_FALSE(Store.HasKey(kClasses, "TypeLib")) << "not on Windows";
}

TEST_F(RegistrationTest, UnregistrationDeletesOneKeyAtATimeInOrderAndLeavesOtherProgramsSubkeys)
{
    Plan().Register(TStartMode::Register);
    // Another program added to the class's key.
    Store.SetString(kClasses, "CLSID\\" + kClsid + "\\Implemented Categories\\{X}", "", "");
    Log.clear();
    Plan().Unregister();

    const std::vector<std::string> keys = {
        "CLSID\\" + kClsid + "\\TypeLib", "CLSID\\" + kClsid + "\\Version", "CLSID\\" + kClsid + "\\ProgID",
        "Velkor.VelkorCom\\Clsid",        "Velkor.VelkorCom",                "CLSID\\" + kClsid + "\\LocalServer32",
        "CLSID\\" + kClsid,
    };
    TLog expected = {"unregister type library for the user", "unregister type library for the machine"};
    for (const std::string& key : keys)
        expected.push_back("delete user Software\\Classes\\" + key);
    for (const std::string& key : keys)
        expected.push_back("delete " + key);
    EXPECT_EQ(Log, expected);

    EXPECT_TRUE(Present(kClasses).size() == 1 && Present(kClasses)[0].Key == "CLSID\\" + kClsid)
        << "the class key stays for the other program's subkey";
    EXPECT_TRUE(Store.HasKey(kClasses, "CLSID\\" + kClsid + "\\Implemented Categories\\{X}"));
    EXPECT_FALSE(Store.HasKey(kClasses, "Velkor.VelkorCom"));
    EXPECT_FALSE(Store.HasKey(kClasses, "CLSID\\" + kClsid + "\\LocalServer32"));

    // Nothing registered: nothing to complain about. The next start writes all again.
    Plan().Unregister();
    Plan().Register(TStartMode::Standalone);
    EXPECT_EQ(Present(kClasses), kEntries);
}

TEST_F(RegistrationTest, AUsersOwnEntriesGoToo)
{
    Store.FailWrite(kClasses, "CLSID\\" + kClsid, "", TRegStatus::Denied);
    Plan().Register(TStartMode::Standalone);
    ASSERT_EQ(Present(kUser, "Software\\Classes\\"), kEntries);
    Plan().Unregister();
    EXPECT_TRUE(Present(kUser, "Software\\Classes\\").empty());
    EXPECT_FALSE(Store.HasKey(kUser, "Software\\Classes\\CLSID\\" + kClsid));
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
    Store.SetValue(kUser, "Software\\Velkor", "StartFolder", {RegType::kDWord, "1234"});
    EXPECT_EQ(RememberedStartFolder(Store), "") << "a value of another type is no folder";
    Store.DenyOpen(kUser, "Software\\Velkor");
    RememberStartFolder(Store, "C:\\Other"); // no error
}

} // namespace
