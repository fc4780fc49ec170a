#include "app/win32/MainWindow.h"

#include "rig/win32/OmniRigXThread.h"

TTxControlForm* MakeMainWindow(TApplication& app, IRegistry& registry, IRigCallWait& rigWait)
{
    auto* form = new TTxControlForm(&app, registry);
    auto* transceiver = new TTransceiver(&app, std::make_unique<TAppPollHost>(app), MakeOmniRigXThread(rigWait));
    transceiver->SetName("Transceiver");
    form->Transceiver = transceiver;
    return form;
}
