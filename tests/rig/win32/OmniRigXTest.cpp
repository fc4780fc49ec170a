#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "FakeOmniRig.h"
#include "base/win32/ComUtil.h"
#include "rig/win32/OmniRigX.h"

using Microsoft::WRL::ComPtr;

namespace {

class OmniRigXTest : public ::testing::Test {
protected:
    TFakeOmniRigServer Server;
    TFakeOmniRigState& State = Server.State;

    // The message and code of the error a call raises.
    template <class F>
    std::pair<std::string, HRESULT> ErrorOf(F call)
    {
        try {
            call();
        } catch (const EOleError& error) {
            return {error.Message(), error.ErrorCode()};
        }
        ADD_FAILURE() << "no error raised";
        return {};
    }
};

TEST_F(OmniRigXTest, ConnectsOnFirstUseAndFetchesTheRigAnewForEveryCall)
{
    TOmniRigX client;
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(State.Created, 0);

    EXPECT_EQ(client.Rig()->GetFreq(), 14200000);
    client.Rig()->PutFreq(7050000);
    EXPECT_EQ(client.Rig()->GetFreq(), 7050000);
    EXPECT_EQ(client.Rig()->GetRigType(), "FAKE-1");
    EXPECT_TRUE(client.Connected());
    EXPECT_EQ(State.Created, 1) << "one connection for the whole life";
    EXPECT_EQ(State.RigFetches, 4);
    EXPECT_EQ(State.LiveRigs, 0) << "no rig object is kept between calls";

    client.ShowRigDialog(true);
    EXPECT_EQ(State.DialogVisible, VARIANT_TRUE);
    client.ShowRigDialog(false);
    EXPECT_EQ(State.DialogVisible, VARIANT_FALSE);
}

TEST_F(OmniRigXTest, AttachesToTheRunningInstanceBeforeMakingOne)
{
    ComPtr<IOmniRigX> running = Server.NewInstance();
    const TActiveObjectRegistration registration(running.Get(), __uuidof(OmniRigX), ACTIVEOBJECT_STRONG);
    ASSERT_EQ(registration.Result(), S_OK);
    TOmniRigX client;
    EXPECT_EQ(client.Rig()->GetFreq(), 14200000);
    EXPECT_EQ(State.Created, 0);
}

TEST_F(OmniRigXTest, AdvisesAnEventSinkWhenOfferedAndUnadvisesAtTheEnd)
{
    {
        TOmniRigX client;
        client.Rig();
        EXPECT_EQ(State.Advises, 1);
        EXPECT_TRUE(State.SinkAnswersEvents) << "events must be taken, and ignored";
        client.Rig();
        EXPECT_EQ(State.Advises, 1);
    }
    EXPECT_EQ(State.Unadvises, 1);

    State.OfferEvents = false;
    TOmniRigX client;
    EXPECT_NO_THROW(client.Rig()->GetFreq()) << "a server without events is fine";
    EXPECT_EQ(State.Advises, 1);
}

TEST_F(OmniRigXTest, FailuresCarryTheServersTextOrTheSystemsText)
{
    struct TCase {
        HRESULT Code;
        std::wstring ServerText;
        bool Supported;
        std::string Expected;
    };
    const HRESULT kRigError = static_cast<HRESULT>(0x80040201);
    const std::vector<TCase> cases = {
        {kRigError, L"Rig is not responding", true, "Rig is not responding"},
        {kRigError, L"Port COM3 is busy\r\n", true, "Port COM3 is busy"},
        {kRigError, L"", true, "OLE error 80040201"},
        {kRigError, L"Rig is not responding", false, "OLE error 80040201"},
        {E_OUTOFMEMORY, L"", true, OleErrorText(E_OUTOFMEMORY)},
    };
    TOmniRigX client;
    for (const TCase& c : cases) {
        State.SupportsErrorInfo = c.Supported;
        State.FailText = c.ServerText;
        State.FailCode = c.Code;
        EXPECT_EQ(ErrorOf([&] { client.Rig()->GetFreq(); }), std::make_pair(c.Expected, c.Code));
        State.FailCode = c.Code; // the fetch of the rig object fails the same way
        EXPECT_EQ(ErrorOf([&] { client.Rig(); }), std::make_pair(c.Expected, c.Code));
        EXPECT_TRUE(client.Connected()) << "an ordinary failure keeps the connection";
    }
    EXPECT_EQ(State.LiveRigs, 0);
}

TEST_F(OmniRigXTest, AServerThatWentAwayIsDroppedAndTheNextCallConnectsAfresh)
{
    const HRESULT gone[] = {RPC_E_DISCONNECTED, HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), RPC_E_SERVER_DIED,
                            CO_E_OBJNOTCONNECTED};
    TOmniRigX client;
    client.Rig();
    int connections = 1;
    for (HRESULT code : gone) {
        State.FailCode = code;
        EXPECT_EQ(ErrorOf([&] { client.Rig()->PutFreq(3500000); }).second, code);
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(client.Rig()->GetFreq(), 14200000);
        EXPECT_EQ(State.Created, ++connections);
    }
    EXPECT_TRUE(IsServerGone(HRESULT_FROM_WIN32(RPC_S_CALL_FAILED)));
    EXPECT_FALSE(IsServerGone(E_FAIL));
}

TEST_F(OmniRigXTest, ARigObjectOutlivesItsClient)
{
    // The client's memory is scribbled over once it is gone, so that a rig
    // object still reaching into it crashes here.
    alignas(TOmniRigX) unsigned char storage[sizeof(TOmniRigX)];
    auto* client = new (storage) TOmniRigX;
    std::unique_ptr<IRig> rig = client->Rig();
    client->~TOmniRigX();
    std::memset(storage, 0xA5, sizeof(storage));
    EXPECT_EQ(State.Unadvises, 1);

    EXPECT_EQ(rig->GetFreq(), 14200000);
    for (HRESULT code : {E_FAIL, RPC_E_DISCONNECTED, CO_E_OBJNOTCONNECTED}) {
        State.FailCode = code;
        EXPECT_EQ(ErrorOf([&] { rig->PutFreq(7000000); }).second, code);
    }
    rig.reset();
    EXPECT_EQ(State.LiveRigs, 0);
}

TEST_F(OmniRigXTest, ARigOfAnOlderConnectionLeavesTheNewOneStanding)
{
    TOmniRigX client;
    std::unique_ptr<IRig> old = client.Rig();
    State.FailCode = RPC_E_DISCONNECTED;
    EXPECT_EQ(ErrorOf([&] { old->GetFreq(); }).second, RPC_E_DISCONNECTED);
    EXPECT_FALSE(client.Connected()) << "the rig's own connection is dropped";

    std::unique_ptr<IRig> current = client.Rig();
    EXPECT_EQ(State.Created, 2);
    State.FailCode = RPC_E_DISCONNECTED;
    EXPECT_EQ(ErrorOf([&] { old->GetFreq(); }).second, RPC_E_DISCONNECTED);
    EXPECT_TRUE(client.Connected()) << "a rig of the connection before has no say over this one";
    EXPECT_EQ(current->GetFreq(), 14200000);
}

TEST_F(OmniRigXTest, MissingInterfacesRaiseInsteadOfCrashing)
{
    State.RigNull = true;
    TOmniRigX client;
    EXPECT_EQ(ErrorOf([&] { client.Rig(); }).second, E_POINTER);

    State.CreateNull = true;
    TOmniRigX unconnected;
    EXPECT_EQ(ErrorOf([&] { unconnected.ShowRigDialog(true); }).first,
              "DefaultInterface is NULL. Component is not connected to Server. You must call 'Connect' or "
              "'ConnectTo' before this operation");
    EXPECT_FALSE(unconnected.Connected());
}

TEST(OleErrorText, TrimsTheSystemTextAndNamesUnknownCodes)
{
    const std::string known = OleErrorText(E_OUTOFMEMORY);
    ASSERT_FALSE(known.empty());
    EXPECT_NE(known.rfind("OLE error", 0), 0u);
    EXPECT_NE(known.back(), '.');
    EXPECT_GT(static_cast<unsigned char>(known.back()), ' ');
    EXPECT_EQ(OleErrorText(static_cast<HRESULT>(0x80040201)), "OLE error 80040201");
    EXPECT_EQ(OleErrorText(static_cast<HRESULT>(0xA0001234)), "OLE error a0001234");
}

TEST(AnsiText, RoundTripsThroughUtf16AndBstr)
{
    for (const std::string& text : std::vector<std::string>{"", "VFO A/A", "14.200.000", std::string("x\0y", 3)}) {
        TBStr bstr(text);
        EXPECT_EQ(bstr.Ansi(), text);
        EXPECT_EQ(SysStringLen(bstr.Get()), text.size());
        EXPECT_EQ(WideToAnsi(AnsiToWide(text)), text);
    }
    TBStr empty;
    EXPECT_EQ(empty.Get(), nullptr);
    EXPECT_EQ(empty.Ansi(), "");
}

} // namespace
