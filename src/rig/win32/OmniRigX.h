#pragma once
// TOmniRigX: the COM client of the rig server.

#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <memory>

#include "OmniRig_TLB.h"
#include "rig/RigServer.h"

// The first call connects: to the instance registered as running for the
// server's class, else to a new one (in-process or local server), and advises
// an event sink when the server offers its events (they are ignored: state is
// learned by polling). A failed call raises EOleError with the server's error
// text, or the system's text for the code. When the server has gone away the
// connection is dropped, so that the next call connects afresh. COM must be
// initialised on the calling thread for the whole life of the object and of
// the rig objects it hands out; those may outlive it.
class TOmniRigX : public IRigServer {
public:
    TOmniRigX() = default;
    ~TOmniRigX() override;
    TOmniRigX(const TOmniRigX&) = delete;
    TOmniRigX& operator=(const TOmniRigX&) = delete;

    std::unique_ptr<IRig> Rig() override;
    void ShowRigDialog(bool visible) override;

    bool Connected() const override;
    void Disconnect();

    // What one connection holds; rig objects refer to it weakly.
    struct TConnection;

private:
    TConnection& Connection();

    std::shared_ptr<TConnection> FConnection;
};
