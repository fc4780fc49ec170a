// velkor.exe: one copy per logon session (an operator's second start brings
// the running one to the front and ends), the automation server's start-up
// before any window (switches, class object, COM for the user-interface
// thread, registry work, the class object offered), then the main window,
// the transceiver and the memory list in the program's start order (the
// memory file is "velkor.mem" in the current directory) and the sharing
// ports that are asked for, running until the main window closes or, when COM
// started the program, its last automation object goes.

#include <windows.h>
#include <objbase.h>

#include <memory>

#include "app/ComMainForm.h"
#include "app/MemoryListWindow.h"
#include "app/RigServerForm.h"
#include "app/win32/MainWindow.h"
#include "automation/win32/VelkorServer.h"
#include "base/win32/ComScope.h"
#include "base/win32/ComUtil.h"
#include "memories/ListUnit.h"
#include "platform/ProgramSettings.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Registry.h"
#include "rig/RefusedRigServer.h"
#include "rig/TransceiverUnit.h"
#include "rig/win32/OmniRigXThread.h"
#include "rig/win32/RigServers.h"
#include "rigctl/win32/RigctlServer.h"
#include "ui/Forms.h"
#include "ui/win32/Win32Host.h"
#include "velkor/RunningCopy.h"
#include "velkor/SharingPorts.h"

namespace {

// The automation server's part in the running program: the closing warning,
// the end after the last release (the memory list asked first), and the
// transceiver its objects drive, while the windows stand.
class TServedProgram {
public:
    TServedProgram(TComServer& server, TApplication& app, TTxControlForm& form, TTransceiver& transceiver)
        : FServer(server)
    {
        FServer.SetTransceiver(&transceiver);
        FServer.Attach(app, [&form] {
            bool canClose = true;
            if (form.MemoryList)
                form.MemoryList->CloseCheck(canClose);
            return canClose;
        });
    }
    ~TServedProgram()
    {
        FServer.SetTransceiver(nullptr);
        FServer.Detach();
    }
    TServedProgram(const TServedProgram&) = delete;
    TServedProgram& operator=(const TServedProgram&) = delete;

private:
    TComServer& FServer;
};

int Run(TVelkorServer& server, IRegistry& registry)
{
    // The files and the main window's way to the memory list outlive the
    // windows that use them.
    TWin32FileSystem files;
    TMemoryListWindow memoryList;
    {
        TWin32Host host;
        // A rig call's wait gives up at once when the program is ending.
        TComRigCallWait rigWait([&host] { return host.Ending(); });
        TApplication app(host);
        app.SetTitle("Velkor");
        // The rig server is read once; the operator's choice in the dialog
        // replaces it later, the switch's too.
        const TRigServerSetting rigServer = RigServerSettingOf(CommandLineParams(), registry);
        auto* form = MakeMainWindow(app, registry, rigWait, rigServer);
        auto* transceiver = form->Transceiver;
        // Hidden; it loads the memory file as it is made.
        memoryList.SetForm(new TListForm(&app, *transceiver, files, registry));
        form->MemoryList = &memoryList;
        TServedProgram served(server.Record(), app, *form, *transceiver);
        // Other programs share the transceiver through the sharing ports
        // (hamlib programs through the rigctl port); a port that cannot be
        // opened is reported once the window is up, and the program runs on
        // without it.
        const TOpenSharingPorts ports(SharingPorts(), transceiver, CommandLineParams(), registry);
        for (const std::string& portError : ports.Errors())
            host.PostToMainLoop([&app, portError] { app.ShowException(EInvalidOperation(portError)); });
        // A PTT a client keyed is released after this long (0: never).
        const TSecondsSetting pttLimit =
            SecondsSettingOf(ProgramSettingRow(TProgramValue::PttTimeout), CommandLineParams(), registry);
        transceiver->SetPttLimit(pttLimit.Seconds);
        if (!pttLimit.Error.empty())
            host.PostToMainLoop([&app, error = pttLimit.Error] { app.ShowException(EInvalidOperation(error)); });
        // A rig server setting that names none is reported the same way (the
        // COM rig server runs). One that points at the rigctl port just opened
        // would have the program ask itself: it is refused before any call,
        // and every call fails with the reason.
        const uint16_t rigctlPort = ports.PortOf(kRigctlPort.Name);
        std::string rigServerError = rigServer.Error;
        if (const std::string refusal = OwnPortRefusal(rigServer, rigctlPort); !refusal.empty()) {
            transceiver->ReplaceRigServer(std::make_unique<TRefusedRigServer>(refusal));
            rigServerError = refusal;
        }
        if (!rigServerError.empty())
            host.PostToMainLoop([&app, rigServerError] { app.ShowException(EInvalidOperation(rigServerError)); });
        TRigServerChoice rigServerChoice(
            app, *transceiver, registry, rigServer, rigctlPort,
            [&rigWait](const TRigServerSetting& setting) { return MakeRigServerThread(setting, rigWait); },
            [&rigWait](const TRigServerSetting& setting) { return ProbeRigServer(setting, rigWait); });
        form->RigServerChoice = &rigServerChoice;
        // The operator's next start brings this window to the front instead.
        TRunningCopyWindow runningCopy(
            app, [&] { return server.Record().OperatorStarted() ? TWin32Host::WindowOf(*form) : nullptr; });
        app.Run();
    } // the windows, the transceiver and its rig server client go before COM does
    return 0;
}

void StartError(const std::string& message)
{
    MessageBoxW(nullptr, AnsiToWide(ErrorReportText(message)).c_str(), L"Application Error", MB_OK | MB_ICONERROR);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    try {
        // Before anything is written: an operator's second start brings the
        // running copy to the front and ends.
        const TStartMode mode = StartModeOf(CommandLineParams());
        std::unique_ptr<TSessionMark> session;
        if (mode == TStartMode::Standalone || mode == TStartMode::Automation)
            if (!(session = EnterSession(mode)))
                return 0;
        // The server's record and class object outlive COM: objects that COM
        // lets go while it ends still count themselves out.
        TVelkorServer server(CommandLineParams());
        // COM on the user-interface thread, a single-threaded apartment.
        TComApartment com(COINIT_APARTMENTTHREADED);
        OleCheck(com.Result());
        // The one registry: the server's entries, the windows' settings and
        // the sharing ports'; it outlives the windows.
        TWin32Registry registry;
        server.UpdateRegistry(registry);
        if (server.StartMode() == TStartMode::Register || server.StartMode() == TStartMode::Unregister)
            return 0;
        const auto offered = server.OfferClassObject();
        server.EnterStartFolder(registry);
        return Run(server, registry);
    } catch (const std::exception& error) {
        StartError(error.what());
        return 1;
    }
}
