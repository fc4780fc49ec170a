#include "rig/win32/OmniRigXThread.h"

#include <objbase.h>

#include "base/win32/ComScope.h"
#include "base/win32/ComUtil.h"
#include "rig/win32/OmniRigX.h"

namespace {

// The thread's apartment and the client in it; the client goes first.
class TApartmentOmniRigX : public IRigServer {
public:
    TApartmentOmniRigX()
    {
        OleCheck(FApartment.Result());
        FClient = std::make_unique<TOmniRigX>();
    }
    TApartmentOmniRigX(const TApartmentOmniRigX&) = delete;
    TApartmentOmniRigX& operator=(const TApartmentOmniRigX&) = delete;

    std::unique_ptr<IRig> Rig() override { return FClient->Rig(); }
    void ShowRigDialog(bool visible) override { FClient->ShowRigDialog(visible); }
    bool Connected() const override { return FClient->Connected(); }

private:
    // Multithreaded: the thread serves no messages, and the server's events
    // reach the sink on COM's own threads.
    TComApartment FApartment{COINIT_MULTITHREADED};
    std::unique_ptr<TOmniRigX> FClient;
};

} // namespace

TComRigCallWait::TComRigCallWait(std::function<bool()> ending)
    : FEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)), FEnding(std::move(ending))
{
    if (!FEvent)
        OleCheck(HRESULT_FROM_WIN32(GetLastError()));
}

void TComRigCallWait::Wake() { SetEvent(FEvent.Get()); }

void TComRigCallWait::Wait(uint32_t timeout)
{
    DWORD index = 0;
    HANDLE event = FEvent.Get();
    CoWaitForMultipleHandles(0, timeout, 1, &event, &index);
}

bool TComRigCallWait::Ending() { return FEnding && FEnding(); }

std::unique_ptr<TRigServerThread> MakeOmniRigXThread(IRigCallWait& wait, TRigDeadlines deadlines)
{
    return std::make_unique<TRigServerThread>([] { return std::make_unique<TApartmentOmniRigX>(); }, wait,
                                              deadlines);
}
