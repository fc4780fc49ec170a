// The installer scripts/package.sh makes, run as an unattended install would
// run it, in a Wine prefix of the test's own: the files, the registration,
// the data folder and the shortcuts; the program started from its shortcut's
// folder and by COM; a second install over an operator's files; a failing
// registration undone; a running Velkor left alone; and the uninstall.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <set>

#include "AutomationSupport.h"
#include "tests/support/win32/VelkorProcess.h"
#include "VersionResource.h"
#include "tests/support/TempFolder.h"
#include "tests/support/win32/LockedKey.h"

using Microsoft::WRL::ComPtr;
namespace fs = std::filesystem;

namespace {

// Long enough for an install under a slow Wine.
constexpr DWORD kInstallTime = 120000;

const fs::path kSetup = VELKOR_SETUP;
const fs::path kStage = VELKOR_STAGE;
const fs::path kShippedBands = VELKOR_SOURCE_DIR L"/velkor.ini";

fs::path KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    if (FAILED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path)))
        throw std::runtime_error("no known folder");
    fs::path folder(path);
    CoTaskMemFree(path);
    return folder;
}

fs::path ProgramFolder() { return KnownFolder(FOLDERID_ProgramFiles) / L"Velkor"; }
fs::path InstalledExe() { return ProgramFolder() / L"velkor.exe"; }
fs::path Uninstaller() { return ProgramFolder() / L"uninstall.exe"; }
fs::path DataFolder() { return KnownFolder(FOLDERID_RoamingAppData) / L"Velkor"; }
std::vector<fs::path> Shortcuts()
{
    return {KnownFolder(FOLDERID_Programs) / L"Velkor.lnk", KnownFolder(FOLDERID_Desktop) / L"Velkor.lnk"};
}

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velkor";

std::optional<std::wstring> RegistryText(HKEY root, const wchar_t* key, const wchar_t* name)
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

std::string FileBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::set<std::wstring> FileNames(const fs::path& folder)
{
    std::set<std::wstring> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        names.insert(entry.path().filename().wstring());
    return names;
}

struct TShortcut {
    std::wstring Target;
    std::wstring WorkingDirectory;
};

// A shortcut as the shell reads it; empty when it cannot be read.
TShortcut ReadShortcut(const fs::path& path)
{
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    TShortcut shortcut;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
        FAILED(link.As(&file)) || FAILED(file->Load(path.c_str(), STGM_READ)))
        return shortcut;
    wchar_t text[MAX_PATH * 2] = {};
    if (SUCCEEDED(link->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH)))
        shortcut.Target = text;
    text[0] = L'\0';
    if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH * 2)))
        shortcut.WorkingDirectory = text;
    return shortcut;
}

// Runs the installer with args; its exit code.
DWORD Install(const std::wstring& args = L"/S") { return RunVelkor(args, kInstallTime, kSetup.wstring()); }

// What a failed installation left, to tell its causes apart: a main window
// of Velkor's up, the program folder's files, the class registered.
std::string InstallState()
{
    std::string state = FindWindowW(nullptr, kMainCaption) ? "a Velkor window is up; " : "no Velkor window; ";
    state += std::to_string(VelkorProcessIds().size()) + " velkor.exe running; program folder:";
    for (const std::wstring& name : FileNames(ProgramFolder()))
        state += " " + std::string(name.begin(), name.end());
    state += ClassesKeyExists(kProgId) ? "; class registered" : "; class not registered";
    return state;
}

// Runs the installed uninstaller with args, and waits for the copy of itself
// that it hands the work to (so that it can remove its own file) as well.
void Uninstall(const std::wstring& args)
{
    DWORD uninstaller = 0;
    EXPECT_EQ(RunVelkor(args, kInstallTime, Uninstaller().wstring(), &uninstaller), 0u);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == uninstaller) {
            EXPECT_NE(TProcess(entry.th32ProcessID).WaitForExit(kInstallTime), STILL_ACTIVE)
                << "the uninstaller did not end";
        }
    CloseHandle(snapshot);
}

// Installs while the class's ProgID key is locked: the installer's
// velkor.exe /regserver fails and reports it in its error box, which is
// answered. The installer's exit code, and the box's text.
std::pair<DWORD, std::wstring> InstallWithFailingRegistration()
{
    TLockedKey locked(HKEY_CLASSES_ROOT, kProgId, KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
    EXPECT_TRUE(locked.Locked()) << "cannot lock the key";
    auto installer = std::async(std::launch::async, [] { return Install(); });
    std::wstring text = L"<no error box>";
    WaitFor(
        [&] {
            for (DWORD id : VelkorProcessIds())
                if (HWND box = MessageBoxOf(id, L"Application Error")) {
                    text = MessageBoxText(box);
                    AnswerMessageBox(box, IDOK);
                    return true;
                }
            return installer.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        },
        kInstallTime);
    return {installer.get(), text};
}

class InstallerTest : public ::testing::Test {
protected:
    // The copy of the build's prefix may hold the build's own registration
    // and settings: none of it is left before the first install.
    void SetUp() override
    {
        ASSERT_TRUE(EndEveryVelkor());
        ASSERT_EQ(RunVelkor(L"/unregserver"), 0u);
        RegDeleteTreeW(HKEY_CURRENT_USER, kProgramKey);
        RemoveAll();
        ASSERT_FALSE(fs::exists(ProgramFolder()));
    }
    void TearDown() override
    {
        EXPECT_TRUE(EndEveryVelkor()) << "a velkor.exe had to be killed";
        if (fs::exists(Uninstaller()))
            Uninstall(L"/S /RemoveData");
        RemoveAll();
    }
    static void RemoveAll()
    {
        std::error_code ignored;
        fs::remove_all(ProgramFolder(), ignored);
        fs::remove_all(DataFolder(), ignored);
        for (const fs::path& shortcut : Shortcuts())
            fs::remove(shortcut, ignored);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
    }
    // The class, its type library and its interface are registered for the
    // installed program, or (registered false) none of them is.
    static void ExpectRegistration(bool registered)
    {
        for (const auto& [key, value] : ExpectedClassEntries(InstalledExe().wstring())) {
            const std::optional<std::wstring> found = ClassesValue(key);
            if (!registered) {
                EXPECT_FALSE(ClassesKeyExists(key)) << key;
            } else if (key.ends_with(L"LocalServer32")) {
                ASSERT_TRUE(found) << key;
                EXPECT_EQ(found->find(L' '), std::wstring::npos) << "a short path, without a blank";
                EXPECT_TRUE(SamePath(*found, value)) << "the installed program";
            } else {
                EXPECT_EQ(found.value_or(L"<missing>"), value) << key;
            }
        }
        if (registered) {
            EXPECT_TRUE(SamePath(ClassesValue(kTypeLibKey + L"\\1.0\\409\\win32").value_or(L""), InstalledExe()));
            EXPECT_TRUE(ClassesKeyExists(std::wstring(L"Interface\\") + kIidText));
        } else {
            EXPECT_FALSE(ClassesKeyExists(kTypeLibKey));
            EXPECT_FALSE(ClassesKeyExists(std::wstring(L"Interface\\") + kIidText));
        }
    }
};

TEST_F(InstallerTest, ASilentInstallPutsTheProgramInPlaceRegisteredWithItsDataFolderAndShortcuts)
{
    ASSERT_EQ(Install(), 0u) << InstallState();

    EXPECT_EQ(FileNames(ProgramFolder()), (std::set<std::wstring>{L"README.txt", L"uninstall.exe", L"velkor.exe"}));
    for (const wchar_t* name : {L"velkor.exe", L"README.txt"})
        EXPECT_TRUE(FileBytes(ProgramFolder() / name) == FileBytes(kStage / name)) << "the packaged " << name;
    ExpectRegistration(true);

    // The operator's data folder, with the shipped bands file.
    EXPECT_EQ(FileNames(DataFolder()), std::set<std::wstring>{L"velkor.ini"});
    EXPECT_TRUE(FileBytes(DataFolder() / L"velkor.ini") == FileBytes(kShippedBands));
    EXPECT_TRUE(SamePath(RegistryText(HKEY_CURRENT_USER, kProgramKey, L"StartFolder").value_or(L""), DataFolder()))
        << "a start by COM before the operator's first start works in the data folder";
    for (const fs::path& path : Shortcuts()) {
        const TShortcut shortcut = ReadShortcut(path);
        EXPECT_TRUE(SamePath(shortcut.Target, InstalledExe())) << path;
        EXPECT_TRUE(SamePath(shortcut.WorkingDirectory, DataFolder())) << path;
    }

    // Explorer's "Installed apps" and the file's properties show the version.
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName").value_or(L""), L"Velkor");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion").value_or(L""), VELKOR_VERSION);
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString").value_or(L""),
              L"\"" + Uninstaller().wstring() + L"\" /S");
    EXPECT_EQ(TVersionResource(InstalledExe()).String(L"ProductVersion").value_or(L""), VELKOR_VERSION);
    EXPECT_EQ(TVersionResource(kSetup).String(L"ProductVersion").value_or(L""), VELKOR_VERSION);

    // Started from the shortcut's folder, the installed program shows its window there.
    const TShortcut shortcut = ReadShortcut(Shortcuts().front());
    TVelkorProcess velkor(shortcut.WorkingDirectory, {}, shortcut.Target);
    ASSERT_TRUE(velkor.MainWindow());
    TProcess process(velkor.Id());
    EXPECT_TRUE(SamePath(process.ImagePath(), InstalledExe()));
    EXPECT_TRUE(SamePath(process.CurrentDirectory(), DataFolder().wstring() + L"\\"));
    PostMessageW(velkor.MainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
}

TEST_F(InstallerTest, ASecondInstallKeepsTheOperatorsBandsMemoriesAndStartFolder)
{
    ASSERT_EQ(Install(), 0u) << InstallState();
    const std::string bands = "20m#14000000#14350000\r\n";
    const std::string memories = "Caption\tMode\tVFO A\tVFO B\t\r\nHome\tDIGI\t7.074.000\t\t\r\n";
    WriteFile(DataFolder() / L"velkor.ini", bands);
    WriteFile(DataFolder() / L"velkor.mem", memories);
    const TTempFolder folder(L"velkor-elsewhere", TFolderName::AsGiven);
    const fs::path& elsewhere = folder.Path();
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kProgramKey, L"StartFolder", REG_SZ, elsewhere.c_str(),
                              static_cast<DWORD>((elsewhere.wstring().size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);

    ASSERT_EQ(Install(), 0u) << InstallState();
    EXPECT_EQ(FileBytes(DataFolder() / L"velkor.ini"), bands) << "the operator's own bands file";
    EXPECT_EQ(FileBytes(DataFolder() / L"velkor.mem"), memories);
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, kProgramKey, L"StartFolder").value_or(L""), elsewhere.wstring())
        << "the operator's last start is remembered as it was";
    EXPECT_EQ(FileNames(ProgramFolder()), (std::set<std::wstring>{L"README.txt", L"uninstall.exe", L"velkor.exe"}))
        << "nothing of the earlier installation left aside";
    ExpectRegistration(true);
}

TEST_F(InstallerTest, AClientsObjectIsServedByTheInstalledProgramInTheDataFolder)
{
    ASSERT_EQ(Install(), 0u) << InstallState();
    ComPtr<IVelkorCom> object;
    ASSERT_EQ(CreateVelkorCom(object), S_OK);
    TProcess process(VelkorWithWindow());
    ASSERT_TRUE(process.Valid()) << "COM started the program, which shows its window";
    EXPECT_TRUE(SamePath(process.ImagePath(), InstalledExe()));
    EXPECT_TRUE(SamePath(process.CurrentDirectory(), DataFolder().wstring() + L"\\")) << "where its bands are";
    LONG freq = -1;
    EXPECT_EQ(object->GetFreq(&freq), S_OK);
    object.Reset();
    EXPECT_EQ(process.WaitForExit(10000), 0u) << "the last release ends it";
}

TEST_F(InstallerTest, ASilentUninstallRemovesProgramRegistrationAndShortcutsAndKeepsTheDataUnlessAsked)
{
    const struct {
        const wchar_t* Args;
        bool DataKept;
    } cases[] = {{L"/S", true}, {L"/S /RemoveData", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args);
        ASSERT_EQ(Install(), 0u) << InstallState();
        WriteFile(DataFolder() / L"velkor.mem", "Caption\tMode\tVFO A\tVFO B\t\r\n");

        Uninstall(c.Args);
        EXPECT_FALSE(fs::exists(ProgramFolder()));
        ExpectRegistration(false);
        for (const fs::path& shortcut : Shortcuts())
            EXPECT_FALSE(fs::exists(shortcut)) << shortcut;
        EXPECT_FALSE(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"));
        EXPECT_EQ(fs::exists(DataFolder() / L"velkor.mem"), c.DataKept);
        EXPECT_EQ(fs::exists(DataFolder() / L"velkor.ini"), c.DataKept);
        RemoveAll();
    }
}

TEST_F(InstallerTest, AFailingRegistrationIsShownAndUndoesAFirstInstallation)
{
    const auto [code, message] = InstallWithFailingRegistration();
    EXPECT_EQ(code, 2u) << "not installed";
    EXPECT_NE(message.find(L"Error creating system registry entry"), std::wstring::npos)
        << std::string(message.begin(), message.end());

    EXPECT_FALSE(fs::exists(ProgramFolder())) << "no program files";
    ExpectRegistration(false);
    EXPECT_FALSE(fs::exists(DataFolder()));
    for (const fs::path& shortcut : Shortcuts())
        EXPECT_FALSE(fs::exists(shortcut)) << shortcut;
    EXPECT_FALSE(RegistryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"));
    EXPECT_FALSE(RegistryText(HKEY_CURRENT_USER, kProgramKey, L"StartFolder"));
}

TEST_F(InstallerTest, AFailingRegistrationPutsTheEarlierInstallationBack)
{
    ASSERT_EQ(Install(), 0u) << InstallState();
    // The earlier installation's README, told apart from the new one's.
    WriteFile(ProgramFolder() / L"README.txt", "earlier\r\n");

    EXPECT_EQ(InstallWithFailingRegistration().first, 2u);
    EXPECT_TRUE(FileBytes(ProgramFolder() / L"README.txt") == "earlier\r\n") << "the earlier README";
    EXPECT_EQ(FileNames(ProgramFolder()), (std::set<std::wstring>{L"README.txt", L"uninstall.exe", L"velkor.exe"}));
    ExpectRegistration(true);
    ComPtr<IVelkorCom> object;
    ASSERT_EQ(CreateVelkorCom(object), S_OK) << "the earlier program still serves loggers";
    TProcess process(VelkorWithWindow());
    EXPECT_TRUE(SamePath(process.ImagePath(), InstalledExe()));
    object.Reset();
    EXPECT_EQ(process.WaitForExit(10000), 0u);
}

TEST_F(InstallerTest, AnUnattendedInstallOrUninstallLeavesARunningVelkorAlone)
{
    ASSERT_EQ(Install(), 0u) << InstallState();
    WriteFile(ProgramFolder() / L"README.txt", "earlier\r\n");
    TVelkorProcess velkor(DataFolder().wstring(), {}, InstalledExe().wstring());
    ASSERT_TRUE(velkor.MainWindow());

    EXPECT_EQ(Install(), 2u) << "not installed while it runs";
    EXPECT_TRUE(FileBytes(ProgramFolder() / L"README.txt") == "earlier\r\n") << "the earlier README";
    Uninstall(L"/S /RemoveData");
    EXPECT_TRUE(fs::exists(InstalledExe())) << "not uninstalled while it runs";
    EXPECT_TRUE(fs::exists(DataFolder() / L"velkor.ini"));
    ExpectRegistration(true);
    EXPECT_EQ(velkor.WaitForExit(0), STILL_ACTIVE) << "and left running";

    PostMessageW(velkor.MainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
    Uninstall(L"/S");
    EXPECT_FALSE(fs::exists(ProgramFolder())) << "once it has ended";
}

} // namespace
