// velkor.exe as the automation server loggers use, over real cross-process
// COM: the registration switches, a client creating the object by ProgID with
// and without a running instance, the methods against rigsim.exe, a failing
// rig server, and the closing warning.
#include <gtest/gtest.h>

#include <ocidl.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "AutomationSupport.h"
#include "tests/support/win32/RigSimProcess.h"
#include "Velkor_TLB.h"
#include "tests/support/win32/VelkorProcess.h"
#include "base/ScopeExit.h"
#include "base/win32/ComUtil.h"
#include "tests/support/TempFolder.h"
#include "tests/support/win32/LockedKey.h"

#define EXPECT_FAILED(expression) EXPECT_TRUE(FAILED(expression))

using Microsoft::WRL::ComPtr;

namespace {

// An operator's velkor.exe that, when the test ends, takes with it every
// velkor.exe COM started beside it, each ended as the operator ends it.
class TOperatorsVelkor : public TVelkorProcess {
public:
    using TVelkorProcess::TVelkorProcess;
    ~TOperatorsVelkor() { EndEveryVelkor(); }
};

class AutomationServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForgetStoredSettings();
        EndEveryVelkor();
        ASSERT_EQ(RunVelkor(L"/regserver"), 0u);
    }
    void TearDown() override
    {
        EndEveryVelkor();
        ForgetStoredSettings();
    }

    static ComPtr<IVelkorCom> Create()
    {
        ComPtr<IVelkorCom> object;
        EXPECT_EQ(CreateVelkorCom(object), S_OK);
        return object;
    }
    static std::wstring Mode(IVelkorCom* object)
    {
        TBStr mode;
        EXPECT_EQ(object->GetMode(mode.Out()), S_OK);
        return mode.Get() ? mode.Wide() : L"<null>";
    }
    static LONG Freq(IVelkorCom* object)
    {
        LONG freq = -1;
        EXPECT_EQ(object->GetFreq(&freq), S_OK);
        return freq;
    }
    // A click on the main window's ON/OFF switch.
    static void ClickSwitch(HWND window)
    {
        const LPARAM point = MAKELPARAM(12, 27);
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, point);
        PostMessageW(window, WM_LBUTTONUP, 0, point);
    }
};

TEST_F(AutomationServerTest, RegserverAndUnregserverExitWithZeroAndWriteOrRemoveTheEntries)
{
    for (const auto& [key, value] : ExpectedClassEntries(VelkorExePath()))
        EXPECT_EQ(ClassesValue(key).value_or(L"<missing>"), value) << key;
    EXPECT_FALSE(ClassesKeyExists(kClsidKey + L"\\InprocServer32"));
    const std::wstring exe = VelkorExePath();
    const std::wstring folder = std::filesystem::path(exe).parent_path().wstring() + L"\\";
    EXPECT_EQ(ClassesValue(kTypeLibKey + L"\\1.0\\409\\win32").value_or(L""), exe);
    EXPECT_EQ(ClassesValue(kTypeLibKey + L"\\1.0\\0\\win32").value_or(L""), exe) << "Wine's marshaller needs it";
    EXPECT_EQ(ClassesValue(kTypeLibKey + L"\\1.0\\HELPDIR").value_or(L""), folder);
    EXPECT_TRUE(ClassesKeyExists(std::wstring(L"Interface\\") + kIidText));

    // Another program's subkey keeps the class's key.
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, (kClsidKey + L"\\Implemented Categories\\{X}").c_str(), nullptr,
                              REG_SZ, L"", sizeof(wchar_t)),
              ERROR_SUCCESS);
    for (const wchar_t* args : {L"/unregserver", L"-UnregServer"}) {
        EXPECT_EQ(RunVelkor(args), 0u) << "also with nothing left to remove";
        for (const auto& [key, value] : ExpectedClassEntries(exe)) {
            if (key == kClsidKey) {
                EXPECT_TRUE(ClassesKeyExists(key)) << "kept for the other program's subkey";
                EXPECT_TRUE(ClassesKeyExists(kClsidKey + L"\\Implemented Categories\\{X}"));
            } else {
                EXPECT_FALSE(ClassesKeyExists(key)) << key;
            }
        }
        EXPECT_FALSE(ClassesKeyExists(kTypeLibKey)) << "the type library is unregistered";
        EXPECT_FALSE(ClassesKeyExists(std::wstring(L"Interface\\") + kIidText));
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kClsidKey.c_str());

    for (const wchar_t* args : {L"-RegServer", L"/REGSERVER", L"/RegServer /UnregServer"}) {
        EXPECT_EQ(RunVelkor(args), 0u) << args;
        EXPECT_EQ(ClassesValue(kClsidKey + L"\\LocalServer32").value_or(L""), exe) << args;
        EXPECT_TRUE(ClassesKeyExists(kTypeLibKey + L"\\1.0\\0\\win32")) << args;
    }
    EXPECT_TRUE(VelkorProcessIds().empty()) << "no registration start stays";
}

TEST_F(AutomationServerTest, ANormalStartRegistersAgainAndALookalikeSwitchIsANormalStart)
{
    ASSERT_EQ(RunVelkor(L"/unregserver"), 0u);
    ASSERT_FALSE(ClassesKeyExists(kProgId));
    // Not a registration switch: the operator's window comes up, and the
    // start registers as every normal start does.
    const DWORD id = StartVelkor(L"/regserver32");
    ASSERT_EQ(VelkorWithWindow(), id);
    for (const auto& [key, value] : ExpectedClassEntries(VelkorExePath()))
        EXPECT_EQ(ClassesValue(key).value_or(L"<missing>"), value) << key;
    TProcess process(id);
    for (HWND window : WindowsOf(id, nullptr, kMainCaption))
        PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.WaitForExit(10000), 0u);
}

TEST_F(AutomationServerTest, AClientStartsTheProgramThroughComAndItsLastReleaseEndsIt)
{
    ASSERT_TRUE(VelkorProcessIds().empty());
    ComPtr<IVelkorCom> object = Create();
    ASSERT_TRUE(object);
    const DWORD id = VelkorWithWindow();
    ASSERT_NE(id, 0u) << "COM started velkor.exe, which shows its window";
    EXPECT_EQ(VelkorProcessIds().size(), 1u);
    TProcess process(id);

    EXPECT_EQ(Freq(object.Get()), 0) << "never polled";
    EXPECT_EQ(Mode(object.Get()), L"<null>");
    EXPECT_EQ(object->IsConnected(), 0);

    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(object.As(&dispatch), E_NOINTERFACE) << "no binding by name";
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(object.As(&support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(__uuidof(IVelkorCom)), S_OK);

    // Aggregation across processes is refused for anything but IUnknown.
    ComPtr<IUnknown> outer;
    object.As(&outer);
    void* aggregated = nullptr;
    EXPECT_EQ(CoCreateInstance(__uuidof(VelkorCom), outer.Get(), CLSCTX_LOCAL_SERVER, __uuidof(IVelkorCom),
                               &aggregated),
              CLASS_E_NOAGGREGATION);

    // A second client's object is served by the same process.
    ComPtr<IVelkorCom> second = Create();
    EXPECT_EQ(VelkorProcessIds().size(), 1u);
    second.Reset();
    EXPECT_EQ(process.WaitForExit(500), STILL_ACTIVE) << "one object is still held";

    support.Reset();
    outer.Reset();
    object.Reset();
    EXPECT_EQ(process.WaitForExit(10000), 0u) << "the last release ends a program COM started";
}

TEST_F(AutomationServerTest, TheLastReleaseDuringAMenuEndsTheProgramOnlyOnceTheMenuHasClosed)
{
    ComPtr<IVelkorCom> object = Create();
    ASSERT_TRUE(object);
    const DWORD id = VelkorWithWindow();
    ASSERT_NE(id, 0u);
    TProcess process(id);
    HWND window = WindowsOf(id, nullptr, kMainCaption).front();
    // The shortcut menu, a loop of the system's own inside the program.
    const LPARAM point = MAKELPARAM(100, 95);
    PostMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, point);
    PostMessageW(window, WM_RBUTTONUP, 0, point);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] { return !(WindowsOf(id, L"#32768", nullptr).empty()); }, 10000));
    menu = WindowsOf(id, L"#32768", nullptr).front();

    object.Reset();
    EXPECT_EQ(process.WaitForExit(1000), STILL_ACTIVE) << "the release does not end the menu's loop";
    EXPECT_TRUE(IsWindowVisible(menu));
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    SendMessageTimeoutW(window, WM_CANCELMODE, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    EXPECT_EQ(process.WaitForExit(10000), 0u) << "the main loop ends the program after it";
}

TEST_F(AutomationServerTest, AnOperatorsRunningProgramServesClientsAndOutlivesThem)
{
    TOperatorsVelkor velkor;
    ASSERT_TRUE(velkor.MainWindow());
    for (int round = 0; round < 2; ++round) {
        ComPtr<IVelkorCom> object = Create();
        ASSERT_TRUE(object);
        EXPECT_EQ(VelkorProcessIds(), std::vector<DWORD>{velkor.Id()}) << "no second process";
        EXPECT_EQ(Freq(object.Get()), 0);
        object.Reset();
        EXPECT_EQ(velkor.WaitForExit(1000), STILL_ACTIVE) << "releasing leaves it running";
    }
    PostMessageW(velkor.MainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u) << "no object left: no warning";
}

// The operator starts Velkor while a logger's start by COM runs: that copy
// comes to the front, and it is the operator's from then on.
TEST_F(AutomationServerTest, AStartByComThatTheOperatorStartsAgainOutlivesItsClient)
{
    ComPtr<IVelkorCom> object = Create();
    ASSERT_TRUE(object);
    const DWORD id = VelkorWithWindow();
    ASSERT_NE(id, 0u);
    TProcess process(id);
    EXPECT_EQ(RunVelkor(L""), 0u) << "the operator's start ends at once";
    EXPECT_EQ(VelkorProcessIds(), std::vector<DWORD>{id});

    object.Reset();
    EXPECT_EQ(process.WaitForExit(1000), STILL_ACTIVE) << "the operator's now: the last release leaves it";
    ComPtr<IVelkorCom> next = Create();
    ASSERT_TRUE(next) << "and it serves the next client";
    EXPECT_EQ(VelkorProcessIds(), std::vector<DWORD>{id});
    next.Reset();
    for (HWND window : WindowsOf(id, nullptr, kMainCaption))
        PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.WaitForExit(10000), 0u);
}

class AutomationRigTest : public AutomationServerTest {
protected:
    void SetUp() override
    {
        AutomationServerTest::SetUp();
        RigSim.Start();
        Control = RigSim.Control();
        Control->SetVfo(0x80); // VFO A/A
        Control->SetFreqA(14200000);
        Control->SetFreq(14200000);
        Control->SetMode(0x2000000); // USB
    }
    // put_Mode and put_Freq calls in the stand-in's log.
    std::vector<std::wstring> Puts(const wchar_t* slot)
    {
        TBStr log;
        Control->GetCallLog(log.Out());
        std::vector<std::wstring> puts;
        std::wstring text = log.Wide() + L"\n";
        const std::wstring prefix = std::wstring(L"IRigX.") + slot + L" ";
        for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
            const std::wstring line = text.substr(start, end - start);
            if (line.starts_with(prefix))
                puts.push_back(line.substr(prefix.size()));
        }
        return puts;
    }

    TRigSimProcess RigSim;
    ComPtr<IRigSimControl> Control;
};

TEST_F(AutomationRigTest, TheMethodsReadAndDriveTheRadioThroughTheProgram)
{
    StoreSetting(L"On_Offlbl_Caption", L"ON");
    TOperatorsVelkor velkor;
    HWND window = velkor.MainWindow();
    ASSERT_TRUE(window);
    ComPtr<IVelkorCom> object = Create();
    ComPtr<IVelkorCom> other = Create();
    ASSERT_TRUE(object && other);
    ASSERT_TRUE(WaitFor([&] { return object->IsConnected() == 1 && Freq(object.Get()) == 14200000; }, 10000));

    // Sidebands are reported as "SSB"; the rest as they are.
    EXPECT_EQ(Mode(object.Get()), L"SSB");
    Control->SetMode(0x4000000); // LSB
    EXPECT_TRUE(WaitFor([&] { return Mode(object.Get()) == L"SSB"; }, 10000));
    Control->SetMode(0x1000000); // CW-R
    EXPECT_TRUE(WaitFor([&] { return Mode(object.Get()) == L"CW-R"; }, 10000));

    // The mode names exactly as the transceiver knows them.
    Control->Reset();
    for (const char* wrong : {"usb", "Ssb", "CW "})
        EXPECT_EQ(object->SetMode(TBStr(std::string(wrong)).Get()), 0) << wrong;
    EXPECT_TRUE(Puts(L"35").empty()) << "nothing sent";
    EXPECT_EQ(object->SetMode(TBStr(std::string("FM")).Get()), 1);
    EXPECT_EQ(Puts(L"35"), std::vector<std::wstring>{L"1073741824"});

    // One client's frequency shows in the other's after the next poll.
    EXPECT_EQ(other->SetFreq(14250000), 1);
    EXPECT_TRUE(WaitFor([&] { return Freq(object.Get()) == 14250000; }, 10000));

    // With polling switched off, the last polled frequency stays: two changes
    // both start from it, the second replacing the first.
    ClickSwitch(window);
    ASSERT_TRUE(WaitFor([&] { return object->IsConnected() == 0; }, 10000));
    Control->Reset();
    EXPECT_EQ(object->ChangeFreq(100), 1);
    EXPECT_EQ(other->ChangeFreq(100), 1);
    EXPECT_EQ(Puts(L"15"), (std::vector<std::wstring>{L"14250100", L"14250100"}));
    EXPECT_EQ(object->ChangeFreq(-500), 1);
    EXPECT_EQ(Puts(L"15").back(), L"14249500");
}

TEST_F(AutomationRigTest, AFailingRigServerGivesZeroAndTheProgramLivesOn)
{
    TOperatorsVelkor velkor;
    ASSERT_TRUE(velkor.MainWindow());
    ComPtr<IVelkorCom> object = Create();
    ASSERT_TRUE(object);
    Control->FailCalls(-1, E_FAIL, TBStr(std::string("Rig is not responding")).Get());
    EXPECT_EQ(object->SetFreq(7000000), 0);
    EXPECT_EQ(object->SetMode(TBStr(std::string("CW")).Get()), 0);
    EXPECT_EQ(object->ChangeFreq(10), 0);
    EXPECT_EQ(Freq(object.Get()), 0);
    EXPECT_EQ(velkor.WaitForExit(0), STILL_ACTIVE);
    EXPECT_EQ(MessageBoxOf(velkor.Id(), L"Velkor"), nullptr) << "the client's failure shows nothing";

    Control->FailCalls(0, 0, nullptr);
    Control->Reset();
    EXPECT_EQ(object->SetFreq(7000000), 1);
    EXPECT_EQ(Puts(L"15"), std::vector<std::wstring>{L"7000000"});
}

TEST_F(AutomationRigTest, AHungRigServerFailsTheLoggersCallsReportsOnceAndTheWindowStillCloses)
{
    StoreSetting(L"On_Offlbl_Caption", L"ON");
    TOperatorsVelkor velkor;
    HWND window = velkor.MainWindow();
    ASSERT_TRUE(window);
    ComPtr<IVelkorCom> object = Create();
    ASSERT_TRUE(object);
    ASSERT_TRUE(WaitFor([&] { return object->IsConnected() == 1; }, 10000));

    Control->HangCalls(VARIANT_TRUE);
    EXPECT_EQ(object->SetFreq(7000000), 0) << "a command behind the hung call fails instead of hanging";
    EXPECT_TRUE(WaitFor([&] { return object->IsConnected() == 0; }, 10000));
    EXPECT_EQ(Freq(object.Get()), 14200000) << "reads answer from the last poll";
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer)) << "the window answers";
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(velkor.Id(), L"Velkor")) != nullptr; }, 10000));
    EXPECT_EQ(MessageBoxText(box), L"The rig server does not answer.");
    AnswerMessageBox(box, IDOK);
    Sleep(1000);
    EXPECT_EQ(MessageBoxOf(velkor.Id(), L"Velkor"), nullptr) << "a hang that lasts is reported once";

    // Closed while the server still hangs, the program ends all the same.
    object.Reset();
    const DWORD start = GetTickCount();
    EXPECT_TRUE(EndVelkor(velkor.Id()));
    std::printf("velkor.exe ended %lu ms after the close\n", GetTickCount() - start);
    Control->HangCalls(VARIANT_FALSE);
    TBStr log;
    Control->GetCallLog(log.Out());
    EXPECT_EQ(log.Ansi().find("7000000"), std::string::npos) << "the abandoned command never went out";
}

TEST_F(AutomationServerTest, ClosingWhileAClientHoldsAnObjectWarnsAndNoKeepsBoth)
{
    TOperatorsVelkor velkor;
    HWND window = velkor.MainWindow();
    ASSERT_TRUE(window);
    ComPtr<IVelkorCom> object = Create();
    ASSERT_TRUE(object);

    PostMessageW(window, WM_CLOSE, 0, 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(velkor.Id(), kWarningCaption)) != nullptr; }, 10000));
    EXPECT_EQ(MessageBoxText(box),
              L"There are still active COM objects in this application.  One or more clients may have references to "
              L"these objects, so manually closing this application may cause those client application(s) to "
              L"fail.\r\n\r\nAre you sure you want to close this application?");
    EXPECT_EQ(MessageBoxDefaultButton(box), IDNO);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "no owner window";
    AnswerMessageBox(box, IDNO);
    ASSERT_TRUE(WaitFor([&] { return !MessageBoxOf(velkor.Id(), kWarningCaption); }, 10000));
    EXPECT_EQ(velkor.WaitForExit(500), STILL_ACTIVE) << "No keeps the program";
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(Freq(object.Get()), 0) << "and the object";

    // The session's end asks the same.
    PostMessageW(window, WM_QUERYENDSESSION, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(velkor.Id(), kWarningCaption)) != nullptr; }, 10000));
    AnswerMessageBox(box, IDNO);

    object.Reset();
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u) << "nothing held: no warning";
}

// A client's lock alone warns as well; it is proved in the program's own
// process, since Wine's class object proxy does not pass LockServer on.
TEST_F(AutomationServerTest, YesEndsTheProgramWhileAClientHoldsAnObject)
{
    TOperatorsVelkor velkor;
    HWND window = velkor.MainWindow();
    ASSERT_TRUE(window);
    ComPtr<IVelkorCom> object = Create();
    ASSERT_TRUE(object);

    PostMessageW(window, WM_CLOSE, 0, 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(velkor.Id(), kWarningCaption)) != nullptr; }, 10000));
    AnswerMessageBox(box, IDYES);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u) << "Yes ends it, the object notwithstanding";
    LONG freq = 0;
    EXPECT_FAILED(object->GetFreq(&freq)) << "the client has lost its object";

    // The next client gets a program of its own.
    ComPtr<IVelkorCom> next = Create();
    ASSERT_TRUE(next);
    TProcess process(VelkorWithWindow());
    next.Reset();
    EXPECT_EQ(process.WaitForExit(10000), 0u);
}

TEST_F(AutomationServerTest, AStartByComWorksInTheFolderTheOperatorsStartRanIn)
{
    const TTempFolder folder(L"velkor-operator", TFolderName::AsGiven);
    {
        TOperatorsVelkor velkor(folder.Path().wstring());
        ASSERT_TRUE(velkor.MainWindow());
        PostMessageW(velkor.MainWindow(), WM_CLOSE, 0, 0);
        ASSERT_EQ(velkor.WaitForExit(10000), 0u);
    }
    {
        ComPtr<IVelkorCom> object = Create();
        ASSERT_TRUE(object);
        TProcess process(VelkorWithWindow());
        EXPECT_TRUE(SamePath(process.CurrentDirectory(), folder.Path().wstring() + L"\\"))
            << "in " << std::string(process.CurrentDirectory().begin(), process.CurrentDirectory().end());
        object.Reset();
        EXPECT_EQ(process.WaitForExit(10000), 0u);
    }
    // A remembered folder that has gone: the program's own.
    ASSERT_TRUE(folder.Remove());
    ComPtr<IVelkorCom> object = Create();
    ASSERT_TRUE(object);
    TProcess process(VelkorWithWindow());
    const std::wstring own = std::filesystem::path(VelkorExePath()).parent_path().wstring() + L"\\";
    EXPECT_TRUE(SamePath(process.CurrentDirectory(), own));
    object.Reset();
    EXPECT_EQ(process.WaitForExit(10000), 0u);
}

// A profile folder such as C:\\Users\\Micha\u0142, whose name the ANSI code page
// (1252) cannot hold: remembered as it is, so that a start by COM works there
// and reads the operator's bands and memories.
TEST_F(AutomationServerTest, AStartByComFindsTheOperatorsFolderThatTheCodePageCannotName)
{
    ASSERT_EQ(GetACP(), 1252u) << "the test session's ANSI code page (LANG, LC_ALL) must be 1252";
    const TTempFolder folder(L"velkor-Micha\u0142", TFolderName::AsGiven);
    // Left by a run that was cut short, they would hold the operator's start.
    for (const wchar_t* file : {L"velkor.ini", L"velkor.mem"})
        std::filesystem::remove(folder / file);
    {
        TOperatorsVelkor velkor(folder.Path().wstring());
        ASSERT_TRUE(velkor.MainWindow());
        PostMessageW(velkor.MainWindow(), WM_CLOSE, 0, 0);
        ASSERT_EQ(velkor.WaitForExit(10000), 0u);
    }
    wchar_t remembered[MAX_PATH] = {};
    DWORD size = sizeof(remembered);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Velkor", L"StartFolder", RRF_RT_REG_SZ, nullptr, remembered,
                           &size),
              ERROR_SUCCESS);
    EXPECT_NE(std::wstring(remembered).find(L"velkor-Micha\u0142"), std::wstring::npos) << "the name as it is";
    EXPECT_TRUE(SamePath(remembered, folder.Path().wstring()));

    // What the COM start finds there shows: a wrong bands line and a memory
    // file that is not text are reported, a missing file would not be.
    folder.Write("velkor.ini", "20m#14000000#14350000\r\n80m # 3500000 # 3800000\r\n");
    folder.Write("velkor.mem", std::string("Caption\tMode\tVFO A\tVFO B\t\r\n\0", 29));
    // The client waits in a thread of its own while the boxes hold the start.
    std::atomic<bool> created = false;
    std::atomic<bool> release = false;
    std::thread client([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            ComPtr<IVelkorCom> object;
            created = CreateVelkorCom(object) == S_OK;
            WaitFor([&] { return release.load(); }, 60000);
        }
        CoUninitialize();
    });
    // However the test ends: the client lets go, and the program with it.
    const TScopeExit joinClient([&] {
        release = true;
        client.join();
    });
    std::vector<std::wstring> reports;
    DWORD id = 0;
    for (int i = 0; i < 2; ++i) {
        HWND box = nullptr;
        WaitFor(
            [&] {
                for (DWORD each : VelkorProcessIds())
                    if ((box = MessageBoxOf(each, L"Error")) != nullptr)
                        return id = each, true;
                return false;
            },
            10000);
        if (!box)
            break;
        reports.push_back(MessageBoxText(box));
        AnswerMessageBox(box, IDOK);
        WaitFor([&] { return !IsWindow(box); }, 10000);
    }
    ASSERT_EQ(reports.size(), 2u) << "the COM start read neither file";
    EXPECT_EQ(reports[0], L"Wrong bands file format");
    EXPECT_EQ(reports[1].rfind(L"Cannot read the memory file velkor.mem: it holds NUL bytes", 0), 0u) << reports[1].c_str();
    EXPECT_TRUE(WaitFor([&] { return created.load(); }, 10000));
    TProcess process(id);
    EXPECT_TRUE(SamePath(process.CurrentDirectory(), folder.Path().wstring() + L"\\"));
    release = true;
    EXPECT_EQ(process.WaitForExit(10000), 0u);
}

// In a prefix of its own: the class is registered for a copy of the program.
TEST_F(AutomationServerTest, IsolatedAnInstallPathWithABlankIsRegisteredWithoutOne)
{
    const TTempFolder folder(L"Velkor Install Test", TFolderName::AsGiven);
    const std::wstring copy = (folder / L"velkor.exe").wstring();
    std::filesystem::copy_file(VelkorExePath(), copy, std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(RunVelkor(L"/regserver", 20000, copy), 0u);

    const std::wstring command = ClassesValue(kClsidKey + L"\\LocalServer32").value_or(L"");
    EXPECT_EQ(command.find(L' '), std::wstring::npos) << "no blank for another program to start in its place";
    EXPECT_TRUE(SamePath(command, copy)) << "the copy's short path";
    EXPECT_EQ(ClassesValue(kTypeLibKey + L"\\1.0\\409\\win32").value_or(L""), copy) << "the library: the full path";

    ComPtr<IVelkorCom> object = Create();
    ASSERT_TRUE(object);
    TProcess process(VelkorWithWindow());
    EXPECT_TRUE(SamePath(process.ImagePath(), copy)) << "COM started the copy";
    object.Reset();
    EXPECT_EQ(process.WaitForExit(10000), 0u);
    EXPECT_EQ(RunVelkor(L"/unregserver", 20000, copy), 0u);
}

// A standard user's start, on the system's registry: the machine's classes
// locked against writing as they are to that user. The user's own entries
// come before the machine's for that user and an uninstall run by an
// administrator cannot remove them: the start writes none where the
// installation's serve, and mends those that start a program that has gone.
// In a prefix of its own: the machine's entries point at a copy of the program.
TEST_F(AutomationServerTest, IsolatedAStandardUsersStartWritesOwnEntriesOnlyWhereTheMachinesDoNotServe)
{
    const std::wstring userServerKey = L"Software\\Classes\\" + kClsidKey + L"\\LocalServer32";
    auto userCommand = [&]() -> std::wstring {
        wchar_t text[MAX_PATH] = {};
        DWORD size = sizeof(text);
        if (RegGetValueW(HKEY_CURRENT_USER, userServerKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &size) !=
            ERROR_SUCCESS)
            return L"<none>";
        return text;
    };
    auto forgetUserEntries = [] {
        RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + kClsidKey).c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Classes\\") + kProgId).c_str());
    };
    const TTempFolder folder(L"velkor-elsewhere", TFolderName::AsGiven);
    const std::wstring copy = (folder / L"velkor.exe").wstring();
    std::filesystem::copy_file(VelkorExePath(), copy, std::filesystem::copy_options::overwrite_existing);
    const std::wstring gone = L"C:\\Uninstalled\\velkor.exe";

    const struct {
        const char* Name;
        std::wstring Machine; // the program the machine's entries start; empty: none
        std::wstring User;    // the one the user's start before; empty: none
        std::wstring After;   // the one the user's start after the start
    } cases[] = {
        {"installed", VelkorExePath(), L"", L"<none>"},
        {"installed, the user's left by an uninstalled copy", VelkorExePath(), gone, L"<none>"},
        {"installed elsewhere", copy, L"", VelkorExePath()},
        {"not installed, the user's left by an uninstalled copy", L"", gone, VelkorExePath()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_EQ(RunVelkor(L"/unregserver"), 0u);
        forgetUserEntries();
        if (!c.Machine.empty()) {
            ASSERT_EQ(RunVelkor(L"/regserver", 20000, c.Machine), 0u);
        }
        for (const auto& [key, value] : ExpectedClassEntries(c.User))
            if (!c.User.empty())
                RegSetKeyValueW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + key).c_str(), nullptr, REG_SZ,
                                value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        {
            TLockedKey locked(HKEY_CLASSES_ROOT, kClsidKey, KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
            ASSERT_TRUE(locked.Locked());
            TVelkorProcess velkor;
            ASSERT_TRUE(velkor.MainWindow()) << "it runs";
            EXPECT_EQ(userCommand(), c.After);
            PostMessageW(velkor.MainWindow(), WM_CLOSE, 0, 0);
            EXPECT_EQ(velkor.WaitForExit(10000), 0u);
        }
        EXPECT_EQ(ClassesValue(kClsidKey + L"\\LocalServer32").value_or(L"<none>"),
                  c.Machine.empty() ? L"<none>" : c.Machine)
            << "the machine's untouched";
    }
    forgetUserEntries();
    ASSERT_EQ(RunVelkor(L"/regserver"), 0u);
}

} // namespace
