#pragma once
// The rigctl protocol over the program's transceiver, whose rig server is the
// fake that records every call.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rig/TransceiverUnit.h"
#include "rigctl/RigctlRig.h"
#include "rigctl/RigctlSession.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"

class RigctlTest : public ::testing::Test {
protected:
    RigctlTest() { Trx->StartPolling(); }

    // One poll tick of the radio as it stands, the rig server's log cleared.
    void Poll()
    {
        DispatchEvent(&App, [this] { Trx->TimTimer(Trx->Tim); });
        Rig->ClearLog();
    }
    void Poll(int32_t freqA, int32_t freqB, int32_t mode, int32_t vfo)
    {
        Rig->Radio.Arrange(freqA, freqB, mode, vfo);
        Poll();
    }
    std::vector<std::string> Reads() const
    {
        std::vector<std::string> reads;
        for (const std::string& entry : Rig->Log)
            if (entry.starts_with("get ") || entry == "fetch")
                reads.push_back(entry);
        return reads;
    }
    // Bytes a client sends, run to their end a share at a time, as the port
    // comes back for the rest; the replies stay unsent.
    static void Feed(TRigctlSession& session, const std::string& bytes)
    {
        session.Received(bytes);
        do
            session.Run();
        while (session.Pending());
    }
    // The replies waiting, all taken.
    static std::string Take(TRigctlSession& session)
    {
        std::string output(session.Output());
        session.Sent(output.size());
        return output;
    }
    // Everything a client is sent for bytes it sends, all taken.
    std::string Exchange(TRigctlSession& session, const std::string& bytes)
    {
        Feed(session, bytes);
        return Take(session);
    }
    std::string Exchange(const std::string& bytes) { return Exchange(Session, bytes); }

private:
    TTransceiver* MakeTransceiver()
    {
        auto rig = std::make_unique<TFakeRigServer>();
        Rig = rig.get();
        return new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(rig));
    }

protected:

    THeadlessHost Host;
    TApplication App{Host};
    TFakeRigServer* Rig = nullptr;
    TTransceiver* Trx = MakeTransceiver();
    TRigctlRig Shared{Trx};
    TRigctlSession Session{Shared};
};
