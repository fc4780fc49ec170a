// velkor.exe: starts COM for the user-interface thread, creates the
// transceiver with its rig server client, switches polling on and shows the
// polled state until the window is closed.

#include <windows.h>
#include <objbase.h>

#include <memory>

#include "app/win32/StatusWindow.h"
#include "base/win32/ComUtil.h"
#include "rig/TransceiverUnit.h"
#include "rig/win32/OmniRigX.h"
#include "ui/Forms.h"
#include "ui/win32/Win32Host.h"

namespace {
constexpr uint32_t kPollInterval = 200;

int Run()
{
    TWin32Host host;
    TApplication app(host);
    app.SetTitle("Velkor");
    auto* transceiver = new TTransceiver(&app, std::make_unique<TOmniRigX>());
    transceiver->SetName("Transceiver");
    TStatusWindow window(*transceiver);
    transceiver->Tim->SetInterval(kPollInterval);
    transceiver->StartPolling();
    app.Run();
    return 0;
} // the transceiver and its rig server client go before COM does

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
