#pragma once
// An in-process rig server for the client's tests: the class object is
// registered in the test process, so every call stays in one apartment and the
// tests can script what the server answers, error objects included.

#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <string>

#include "OmniRig_TLB.h"
#include "base/win32/ComScope.h"

struct TFakeOmniRigState {
    // Counts of what the client did.
    int Created = 0;
    int RigFetches = 0;
    int LiveRigs = 0;
    int Advises = 0;
    int Unadvises = 0;
    bool SinkAnswersEvents = false;

    // Scripted answers.
    bool OfferEvents = true;
    bool CreateNull = false;      // the class object answers S_OK without an object
    bool RigNull = false;         // get Rig answers S_OK without a rig
    HRESULT FailCode = S_OK;      // the next rig or object call fails with this
    std::wstring FailText;        // ...leaving an error object with this text
    bool SupportsErrorInfo = true;
    long Freq = 14200000;
    std::wstring RigType = L"FAKE-1";
    VARIANT_BOOL DialogVisible = VARIANT_FALSE;
};

// Registers the class object for the rig server's class while it lives.
class TFakeOmniRigServer {
public:
    TFakeOmniRigServer();
    ~TFakeOmniRigServer();
    TFakeOmniRigServer(const TFakeOmniRigServer&) = delete;
    TFakeOmniRigServer& operator=(const TFakeOmniRigServer&) = delete;

    TFakeOmniRigState State;

    // A separate instance, for registering as the running object.
    Microsoft::WRL::ComPtr<IOmniRigX> NewInstance();

private:
    Microsoft::WRL::ComPtr<IClassFactory> FFactory;
    TClassObjectRegistration FRegistration;
};
