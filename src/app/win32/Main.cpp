// velkor.exe: starts COM for the user-interface thread, builds the main window,
// the transceiver and the memory list in the program's start order, and runs
// until the main window closes. The memory file is "velkor.mem" in the
// current directory.

#include <windows.h>
#include <objbase.h>

#include <memory>

#include "app/ComMainForm.h"
#include "app/MemoryListWindow.h"
#include "base/win32/ComUtil.h"
#include "memories/ListUnit.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Registry.h"
#include "rig/TransceiverUnit.h"
#include "rig/win32/OmniRigX.h"
#include "ui/Forms.h"
#include "ui/win32/Win32Host.h"

namespace {

// The system's registry for the stored settings, while the program runs.
class TRegistryInUse {
public:
    TRegistryInUse() { SetRegistry(&FRegistry); }
    ~TRegistryInUse() { SetRegistry(nullptr); }
    TRegistryInUse(const TRegistryInUse&) = delete;
    TRegistryInUse& operator=(const TRegistryInUse&) = delete;

private:
    TWin32Registry FRegistry;
};

int Run()
{
    // The registry, the files and the main window's way to the memory list
    // outlive the windows that use them.
    TRegistryInUse registry;
    TWin32FileSystem files;
    TMemoryListWindow memoryList;
    {
        TWin32Host host;
        TApplication app(host);
        app.SetTitle("Velkor");
        auto* form = new TTxControlForm(&app);
        auto* transceiver = new TTransceiver(&app, std::make_unique<TOmniRigX>());
        transceiver->SetName("Transceiver");
        form->Transceiver = transceiver;
        // Hidden; it loads the memory file as it is made.
        memoryList.SetForm(new TListForm(&app, *transceiver, files));
        form->MemoryList = &memoryList;
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
    HRESULT code = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(code)) {
        StartError(OleErrorText(code));
        return 1;
    }
    int result = 1;
    try {
        result = Run();
    } catch (const std::exception& error) {
        StartError(error.what());
    }
    CoUninitialize();
    return result;
}
