#pragma once
// velkor.exe as the COM local server of VelkorCom: the start-up before any
// window (switches, class object, registry work), the class object offered to
// COM, and the folder a start by COM works in.

#include <windows.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "automation/ComServer.h"
#include "automation/Registration.h"
#include "automation/win32/VelkorCOMUnit.h"
#include "base/win32/ComScope.h"
#include "platform/Registry.h"

// The command line's parameters, without the program's name.
std::vector<std::string> CommandLineParams();

// True when the program runs under Wine (ntdll says so).
bool RunningUnderWine();

class TVelkorServer {
public:
    // Module initialisation: the start mode from the parameters, the server's
    // record, and the class object, which loads the type library embedded in
    // the executable (loaded once and kept). Raises what stops the start.
    explicit TVelkorServer(const std::vector<std::string>& params);
    ~TVelkorServer();
    TVelkorServer(const TVelkorServer&) = delete;
    TVelkorServer& operator=(const TVelkorServer&) = delete;

    TStartMode StartMode() const { return FRecord.StartMode(); }
    TComServer& Record() { return FRecord; }
    TVelkorComFactory& ClassObject() { return *FFactory.Get(); }
    // The names the registry gets, from the type library.
    const TServerNames& Names() const { return FNames; }

    // With COM initialised: registers (every mode but unregister) or
    // unregisters, as the start mode asks. Raises what stops the start.
    void UpdateRegistry(IRegistry& registry);
    // Offers the class object to COM for the life of the result: registered
    // suspended, then resumed. Raises EOleError when COM refuses.
    std::unique_ptr<TClassObjectRegistration> OfferClassObject();
    // An operator's start remembers its current folder; a start by COM goes
    // to the remembered one, else to the program's own folder, so that it
    // reads and saves the operator's bands and memories.
    void EnterStartFolder(IRegistry& registry);

private:
    class TComProcess : public IComProcess {
    public:
        uint32_t AddRefServerProcess() override { return CoAddRefServerProcess(); }
        uint32_t ReleaseServerProcess() override { return CoReleaseServerProcess(); }
        void ResumeClassObjects() override { CoResumeClassObjects(); }
    };

    TComProcess FProcess;
    TComServer FRecord;
    std::wstring FExePath;
    Microsoft::WRL::ComPtr<ITypeLib> FTypeLib;
    Microsoft::WRL::ComPtr<ITypeLib> FRegisteredTypeLib;
    Microsoft::WRL::ComPtr<TVelkorComFactory> FFactory;
    TServerNames FNames;
};
