#include "app/win32/MainWindow.h"

#include "rig/win32/RigServers.h"

TTxControlForm* MakeMainWindow(TApplication& app, IRegistry& registry, IRigCallWait& rigWait,
                               const TRigServerSetting& rigServer)
{
    auto* form = new TTxControlForm(&app, registry);
    auto* transceiver =
        new TTransceiver(&app, std::make_unique<TAppPollHost>(app), MakeRigServerThread(rigServer, rigWait));
    transceiver->SetName("Transceiver");
    form->Transceiver = transceiver;
    return form;
}
