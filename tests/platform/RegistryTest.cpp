#include <gtest/gtest.h>

#include "base/SysUtils.h"
#include "tests/support/MemoryRegistry.h"

namespace {

constexpr TRegRoot kUser = TRegRoot::CurrentUser;

TEST(Registry, ProgramBaseNameDropsFolderAndExtension)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\Program Files\\Velkor\\velkor.exe", "velkor"},
        {"Z:/work/build/bin/placement_tests.exe", "placement_tests"},
        {"C:\\dir.d\\velkor", "velkor"},
        {"velkor.backup.exe", "velkor.backup"},
    };
    for (const auto& [path, name] : cases)
        EXPECT_EQ(FileBaseName(path), name) << path;
}

TEST(Registry, TextReadsTakeTextTypesOnlyAndReportOthersByName)
{
    TMemoryRegistry reg;
    reg.SetValue(kUser, "k", "sz", {RegType::kSz, "a"});
    reg.SetValue(kUser, "k", "expand", {RegType::kExpandSz, "%TEMP%"});
    reg.SetValue(kUser, "k", "dword", {RegType::kDWord, std::string(4, '\0')});
    std::unique_ptr<IRegistryKey> key;
    ASSERT_EQ(reg.OpenKey(kUser, "\\K", TRegAccess::Read, key), TRegStatus::Ok);
    std::string text;
    EXPECT_TRUE(ReadRegString(*key, "SZ", text));
    EXPECT_EQ(text, "a");
    EXPECT_TRUE(ReadRegString(*key, "expand", text));
    EXPECT_EQ(text, "%TEMP%");
    EXPECT_FALSE(ReadRegString(*key, "missing", text));
    try {
        ReadRegString(*key, "dword", text);
        FAIL() << "no error";
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'dword'");
    }
    // Opened for reading: writes are refused.
    EXPECT_THROW(WriteRegString(*key, "sz", "b"), ERegistryException);
    EXPECT_EQ(reg.Value(kUser, "k", "sz")->Data, "a");
}

TEST(Registry, MemoryStoreKeysBehaveAsTheSystemsDo)
{
    TMemoryRegistry reg;
    std::unique_ptr<IRegistryKey> key;
    EXPECT_EQ(reg.OpenKey(kUser, "Software\\Velkor", TRegAccess::Full, key), TRegStatus::NotFound);
    ASSERT_EQ(reg.CreateKey(kUser, "Software\\Velkor\\WindowPos"), TRegStatus::Ok);
    EXPECT_TRUE(reg.HasKey(kUser, "software\\velkor")) << "parents are made";
    EXPECT_FALSE(reg.HasKey(TRegRoot::LocalMachine, "Software\\Velkor")) << "roots are apart";

    reg.CreateKey(kUser, "Software\\VelkorX");
    reg.CreateKey(kUser, "Software\\Velkor-1");
    // One key at a time: a key with subkeys stays, whoever made them.
    EXPECT_EQ(reg.DeleteKey(kUser, "software\\VELKOR"), TRegStatus::Failed);
    EXPECT_TRUE(reg.HasKey(kUser, "Software\\Velkor\\WindowPos"));
    EXPECT_EQ(reg.DeleteKey(kUser, "software\\velkor\\windowpos"), TRegStatus::Ok);
    EXPECT_EQ(reg.DeleteKey(kUser, "software\\VELKOR"), TRegStatus::Ok);
    EXPECT_FALSE(reg.HasKey(kUser, "Software\\Velkor"));
    EXPECT_TRUE(reg.HasKey(kUser, "Software\\VelkorX")) << "a sibling sharing the prefix stays";
    EXPECT_TRUE(reg.HasKey(kUser, "Software\\Velkor-1"));
    EXPECT_EQ(reg.DeleteKey(kUser, "Software\\Velkor"), TRegStatus::NotFound);
    EXPECT_EQ(reg.DeleteKey(kUser, ""), TRegStatus::Failed);

    // A key that exists but cannot be opened still counts as made.
    reg.DenyOpen(kUser, "Locked");
    EXPECT_EQ(reg.OpenKey(kUser, "Locked", TRegAccess::Read, key), TRegStatus::Denied);
    EXPECT_EQ(reg.CreateKey(kUser, "Locked"), TRegStatus::Ok);
    reg.DenyCreate(kUser, "Denied");
    EXPECT_EQ(reg.CreateKey(kUser, "Denied\\Below"), TRegStatus::Denied);
    EXPECT_FALSE(reg.HasKey(kUser, "Denied"));
    // Writes fail as they are told to; a key opened for reading refuses them.
    reg.FailWrite(kUser, "W", "a", TRegStatus::Denied);
    reg.FailWrite(kUser, "W", "b");
    ASSERT_EQ(reg.OpenKey(kUser, "W", TRegAccess::Full, key), TRegStatus::Ok);
    EXPECT_EQ(key->WriteString("A", "1"), TRegStatus::Denied);
    EXPECT_EQ(key->WriteString("b", "1"), TRegStatus::Failed);
    EXPECT_EQ(key->WriteString("c", "1"), TRegStatus::Ok);
    ASSERT_EQ(reg.OpenKey(kUser, "W", TRegAccess::Read, key), TRegStatus::Ok);
    EXPECT_EQ(key->WriteString("c", "2"), TRegStatus::Denied);
}

} // namespace
