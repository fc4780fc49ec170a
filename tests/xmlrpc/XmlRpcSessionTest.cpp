// The XML-RPC port's protocol as hamlib's model 4 and fldigi use it, over the
// transceiver and the fake rig server: HTTP framing, the methods and their
// reply types, faults, and the requests refused before anything runs.
#include <gmock/gmock.h>

#include <algorithm>
#include <functional>

#include "base/SysUtils.h"
#include "rig/TransceiverUnit.h"
#include "rigctl/RigctlRig.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"
#include "xmlrpc/XmlRpcSession.h"

namespace {

using namespace RigParams;
using Lines = std::vector<std::string>;

std::string PutMode(int32_t flag) { return Format("put Mode %d", flag); }
std::string PutVfo(int32_t flag) { return Format("put Vfo %d", flag); }

std::string Body(const std::string& method, const std::string& value = "")
{
    std::string body = "<?xml version=\"1.0\"?>\r\n<?clientid=\"hamlib(1)\"?>\r\n<methodCall><methodName>" + method +
                       "</methodName>\r\n";
    if (!value.empty())
        body += "<params><param><value>" + value + "</value></param></params>";
    return body + "</methodCall>\r\n";
}

// A request as hamlib writes it, with other headers if given.
std::string Post(const std::string& method, const std::string& value = "", const std::string& headers = "")
{
    const std::string body = Body(method, value);
    return "POST /RPC2 HTTP/1.1\r\nUser-Agent: XMLRPC++ 0.8\r\nHost: 127.0.0.1:12345\r\n"
           "Content-type: text/xml\r\n" +
           headers + "Content-length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Response(const std::string& value)
{
    const std::string body = "<?xml version=\"1.0\"?>\r\n<methodResponse><params><param><value>" + value +
                             "</value></param></params></methodResponse>\r\n";
    return "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

std::string Str(const std::string& text) { return text; }
std::string I4(int value) { return "<i4>" + std::to_string(value) + "</i4>"; }
std::string Double(const std::string& value) { return "<double>" + value + "</double>"; }
std::string StringArray(const Lines& items)
{
    std::string text = "<array><data>";
    for (const std::string& item : items)
        text += "<value>" + item + "</value>";
    return text + "</data></array>";
}

// The fault's code in a response, or 0 for a value.
int FaultCode(const std::string& response)
{
    const size_t fault = response.find("<fault>");
    if (fault == std::string::npos)
        return 0;
    const size_t at = response.find("<i4>", fault) + 4;
    return std::stoi(response.substr(at));
}

// Responses one after another, each whole.
Lines SplitResponses(std::string text)
{
    Lines responses;
    while (!text.empty()) {
        const size_t end = text.find("</methodResponse>\r\n");
        if (end == std::string::npos) {
            responses.push_back(text);
            break;
        }
        responses.push_back(text.substr(0, end + 19));
        text.erase(0, end + 19);
    }
    return responses;
}

class XmlRpcTest : public ::testing::Test {
protected:
    XmlRpcTest() { Trx->StartPolling(); }

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
    static void Feed(TXmlRpcSession& session, const std::string& bytes)
    {
        session.Received(bytes);
        do
            session.Run();
        while (session.Pending());
    }
    static std::string Take(TXmlRpcSession& session)
    {
        std::string output(session.Output());
        session.Sent(output.size());
        return output;
    }
    std::string Exchange(TXmlRpcSession& session, const std::string& bytes)
    {
        Feed(session, bytes);
        return Take(session);
    }
    std::string Exchange(const std::string& bytes) { return Exchange(Session, bytes); }
    // One call's response.
    std::string CallOf(const std::string& method, const std::string& value = "")
    {
        return Exchange(Post(method, value));
    }

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
    TXmlRpcSession Session{Shared};
};

TEST_F(XmlRpcTest, HamlibsOpenIsAnsweredWithTheTypesItReads)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const struct {
        const char* Method;
        std::string Value;
    } cases[] = {
        {"main.get_version", Str("Velkor-1")},
        {"rig.get_xcvr", Str("Velkor")},
        {"rig.get_pwrmeter_scale", I4(1)},
        {"rig.get_modeA", Str("USB")},
        {"rig.get_vfoA", Str("14074000")},
        {"rig.get_bwA", StringArray({"2400", ""})},
        {"rig.get_AB", Str("A")},
        {"rig.get_modes", StringArray({"LSB", "USB", "CW", "CW-R", "AM", "FM", "LSB-D", "USB-D"})},
        {"rig.get_split", I4(0)},
        {"rig.get_vfoB", Str("7050000")},
        {"rig.get_ptt", I4(0)},
        {"rig.get_info", Str("Velkor")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CallOf(c.Method), Response(c.Value)) << c.Method;
    EXPECT_TRUE(Rig->Puts().empty());
    EXPECT_FALSE(Session.QuitRequested()) << "kept alive";
}

TEST_F(XmlRpcTest, ReadsAnswerTheLastPollInEveryArrangement)
{
    const struct {
        int32_t Mode;
        int32_t Vfo;
        const char* Freq;
        const char* AB;
        int Split;
        const char* ModeName;
        const char* Width;
        const char* Sideband;
    } cases[] = {
        {SSB_U, VFOAA, "14074000", "A", 0, "USB", "2400", "U"},
        {SSB_L, VFOBB, "7050000", "B", 0, "LSB", "2400", "L"},
        {CW_U, VFOAB, "14074000", "A", 1, "CW", "500", "U"},
        {CW_L, VFOBA, "7050000", "B", 1, "CW-R", "500", "L"},
        {DIG_U, VFOAA, "14074000", "A", 0, "USB-D", "2400", "U"},
        {DIG_L, VFOAA, "14074000", "A", 0, "LSB-D", "2400", "L"},
        {AM, VFOAA, "14074000", "A", 0, "AM", "6000", "U"},
        {FM, VFOAA, "14074000", "A", 0, "FM", "15000", "U"},
    };
    for (const auto& c : cases) {
        Poll(14074000, 7050000, c.Mode, c.Vfo);
        EXPECT_EQ(CallOf("rig.get_vfo"), Response(Str(c.Freq))) << c.Vfo;
        EXPECT_EQ(CallOf("rig.get_AB"), Response(Str(c.AB))) << c.Vfo;
        EXPECT_EQ(CallOf("rig.get_split"), Response(I4(c.Split))) << c.Vfo;
        for (const char* get : {"rig.get_mode", "rig.get_modeA", "rig.get_modeB"})
            EXPECT_EQ(CallOf(get), Response(Str(c.ModeName))) << get << " " << c.Mode;
        for (const char* get : {"rig.get_bw", "rig.get_bwA", "rig.get_bwB"})
            EXPECT_EQ(CallOf(get), Response(StringArray({c.Width, ""}))) << get << " " << c.Mode;
        EXPECT_EQ(CallOf("rig.get_bws"), Response("<array><data><value>" + StringArray({"Bandwidth", c.Width}) +
                                                  "</value></data></array>"))
            << c.Mode;
        EXPECT_EQ(CallOf("rig.get_sideband"), Response(Str(c.Sideband))) << c.Mode;
    }
    EXPECT_TRUE(Rig->Puts().empty());
}

TEST_F(XmlRpcTest, CommandsGoThroughTheTransceiverAndReadBack)
{
    const struct {
        int32_t Vfo; // as polled
        const char* Method;
        std::string Value;
        Lines Puts;
        const char* ReadBack; // a get and what it answers after
        std::string Answer;
    } cases[] = {
        {VFOAA, "rig.set_vfo", Double("7074000"), {"put Freq 7074000", "put FreqA 7074000"}, "rig.get_vfo",
         Str("7074000")},
        {VFOBB, "rig.set_vfo", Double("7074000.6"), {"put Freq 7074001", "put FreqB 7074001"}, "rig.get_vfoB",
         Str("7074001")},
        {VFOAA, "rig.set_vfo", I4(3500000), {"put Freq 3500000", "put FreqA 3500000"}, "rig.get_vfoA",
         Str("3500000")},
        {VFOAA, "rig.set_vfoA", Double("7074000"), {"put FreqA 7074000"}, "rig.get_vfoA", Str("7074000")},
        {VFOAA, "rig.set_vfoB", Double("7075000.000000"), {"put FreqB 7075000"}, "rig.get_vfoB", Str("7075000")},
        {VFOAA, "rig.set_vfoA_fast", Double("7074000"), {"put FreqA 7074000"}, "rig.get_vfoA", Str("7074000")},
        {VFOAA, "rig.set_vfoB_fast", Double("7076000"), {"put FreqB 7076000"}, "rig.get_vfoB", Str("7076000")},
        {VFOAA, "rig.set_mode", Str("CW"), {PutMode(CW_U)}, "rig.get_mode", Str("CW")},
        {VFOAA, "rig.set_modeA", Str("USB-D"), {PutMode(DIG_U)}, "rig.get_modeA", Str("USB-D")},
        {VFOAA, "rig.set_modeB", Str("LSB-D"), {PutMode(DIG_L)}, "rig.get_modeB", Str("LSB-D")},
        {VFOAA, "rig.set_mode", "<string>cw-r</string>", {PutMode(CW_L)}, "rig.get_mode", Str("CW-R")},
        {VFOAA, "rig.set_mode", Str("LSB"), {PutMode(SSB_L)}, "rig.get_mode", Str("LSB")},
        {VFOAA, "rig.set_mode", Str("AM"), {PutMode(AM)}, "rig.get_mode", Str("AM")},
        {VFOAA, "rig.set_mode", Str("FM"), {PutMode(FM)}, "rig.get_mode", Str("FM")},
        {VFOAA, "rig.set_AB", Str("B"), {PutVfo(VFOB), PutVfo(VFOBB)}, "rig.get_AB", Str("B")},
        {VFOBB, "rig.set_AB", Str("A"), {PutVfo(VFOA), PutVfo(VFOAA)}, "rig.get_AB", Str("A")},
        {VFOAB, "rig.set_AB", Str("B"), {PutVfo(VFOB), PutVfo(VFOBA)}, "rig.get_split", I4(1)},
        // Split transmits on B, as these clients take it.
        {VFOAA, "rig.set_split", I4(1), {PutVfo(VFOA), PutVfo(VFOAB)}, "rig.get_split", I4(1)},
        {VFOBB, "rig.set_split", "<boolean>1</boolean>", {PutVfo(VFOA), PutVfo(VFOAB)}, "rig.get_AB", Str("A")},
        {VFOAB, "rig.set_split", I4(0), {PutVfo(VFOA), PutVfo(VFOAA)}, "rig.get_split", I4(0)},
        {VFOBA, "rig.set_split", I4(0), {PutVfo(VFOB), PutVfo(VFOBB)}, "rig.get_AB", Str("B")},
    };
    for (const auto& c : cases) {
        Poll(14074000, 7050000, SSB_U, c.Vfo);
        EXPECT_EQ(CallOf(c.Method, c.Value), Response(I4(0))) << c.Method << " " << c.Value;
        EXPECT_EQ(Rig->Puts(), c.Puts) << c.Method << " " << c.Value << " from " << c.Vfo;
        EXPECT_EQ(CallOf(c.ReadBack), Response(c.Answer)) << c.Method << " " << c.Value;
    }
}

TEST_F(XmlRpcTest, WrongParametersAndUnknownMethodsAnswerAFaultAndSendNothing)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const struct {
        const char* Method;
        std::string Params; // the params element's content
        int Code;
    } cases[] = {
        {"rig.set_vfo", "", XmlRpc::kFaultBadParams},
        {"rig.set_vfo", "<param><value>7074000</value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_vfo", "<param><value><double>0.4</double></value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_vfo", "<param><value><double>1000000000</double></value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_vfo", "<param><value><double>-7074000</double></value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_vfo", "<param><value><double>1e300</double></value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_vfoA", "<param><value><i4>0</i4></value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_vfoB",
         "<param><value><double>7074000</double></value></param><param><value><double>1</double></value></param>",
         XmlRpc::kFaultBadParams},
        {"rig.set_mode", "<param><value>PKTUSB</value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_mode", "<param><value><i4>1</i4></value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_modeA", "", XmlRpc::kFaultBadParams},
        {"rig.set_AB", "<param><value>C</value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_AB", "<param><value>a</value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_split", "<param><value><i4>2</i4></value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_split", "<param><value>1</value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_ptt", "<param><value><i4>-1</i4></value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_ptt", "", XmlRpc::kFaultBadParams},
        {"rig.get_vfo", "<param><value><i4>1</i4></value></param>", XmlRpc::kFaultBadParams},
        {"rig.get_modes", "<param><value>x</value></param>", XmlRpc::kFaultBadParams},
        {"rig.set_bw", "<param><value><i4>500</i4></value></param>", XmlRpc::kFaultNotAvailable},
        {"rig.set_bwA", "", XmlRpc::kFaultNotAvailable},
        {"rig.set_bwB", "<param><value><i4>500</i4></value></param>", XmlRpc::kFaultNotAvailable},
        {"rig.set_bandwidth", "<param><value><i4>500</i4></value></param>", XmlRpc::kFaultNotAvailable},
        {"rig.cwio_get_wpm", "", XmlRpc::kFaultUnknownMethod},
        {"rig.set_frequency", "<param><value><double>7074000</double></value></param>", XmlRpc::kFaultUnknownMethod},
        {"RIG.GET_VFO", "", XmlRpc::kFaultUnknownMethod},
        {"fldigi.terminate", "", XmlRpc::kFaultUnknownMethod},
    };
    for (const auto& c : cases) {
        const std::string body = "<?xml version=\"1.0\"?><methodCall><methodName>" + std::string(c.Method) +
                                 "</methodName><params>" + c.Params + "</params></methodCall>";
        const std::string request = "POST / HTTP/1.1\r\nContent-Type: text/xml\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body;
        const std::string reply = Exchange(request);
        EXPECT_TRUE(reply.starts_with("HTTP/1.1 200 OK\r\n")) << c.Method << c.Params;
        EXPECT_EQ(FaultCode(reply), c.Code) << c.Method << c.Params << "\n" << reply;
        EXPECT_TRUE(reply.ends_with("</methodResponse>\r\n")) << c.Method;
    }
    EXPECT_TRUE(Rig->Puts().empty());
    // Not XML-RPC at all: a fault too, and the connection goes on.
    const std::string junk = "<methodCall><methodName>x</methodName><params><param><value>&bogus;</value>";
    EXPECT_EQ(FaultCode(Exchange("POST / HTTP/1.1\r\nContent-Type: text/xml\r\nContent-Length: " +
                                 std::to_string(junk.size()) + "\r\n\r\n" + junk)),
              XmlRpc::kFaultMalformed);
    EXPECT_EQ(FaultCode(Exchange("POST / HTTP/1.1\r\nContent-Type: text/xml\r\nContent-Length: 0\r\n\r\n")),
              XmlRpc::kFaultMalformed);
    EXPECT_EQ(CallOf("rig.get_vfo"), Response(Str("14074000")));
    EXPECT_FALSE(Session.QuitRequested());
}

TEST_F(XmlRpcTest, SystemListMethodsNamesEveryMethodAnswered)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const std::string reply = CallOf("system.listMethods");
    for (const char* method :
         {"main.get_version", "rig.get_xcvr", "rig.get_vfo", "rig.set_vfo", "rig.get_vfoA", "rig.get_vfoB",
          "rig.set_vfoA", "rig.set_vfoB", "rig.get_AB", "rig.set_AB", "rig.get_mode", "rig.set_mode", "rig.get_modeA",
          "rig.get_modeB", "rig.set_modeA", "rig.set_modeB", "rig.get_modes", "rig.get_bw", "rig.get_bwA",
          "rig.get_bwB", "rig.get_bws", "rig.set_bw", "rig.set_bandwidth", "rig.get_split", "rig.set_split",
          "rig.get_ptt", "rig.set_ptt", "rig.get_pwrmeter_scale", "system.listMethods"}) {
        EXPECT_NE(reply.find("<value>" + std::string(method) + "</value>"), std::string::npos) << method;
        EXPECT_NE(FaultCode(CallOf(method)), XmlRpc::kFaultUnknownMethod) << method;
    }
}

TEST_F(XmlRpcTest, ReadsAnswerAFaultWhileTheRadioIsNotRead)
{
    const Lines reads = {"rig.get_vfo", "rig.get_vfoA", "rig.get_vfoB", "rig.get_AB", "rig.get_mode",
                         "rig.get_modeA", "rig.get_modeB", "rig.get_bw", "rig.get_bwA", "rig.get_bwB",
                         "rig.get_bws", "rig.get_split", "rig.get_sideband"};
    const struct {
        const char* Why;
        std::function<void()> Disconnect;
    } cases[] = {
        {"before the first poll", [] {}},
        {"a tick failed",
         [this] {
             Poll(14074000, 7050000, SSB_U, VFOAA);
             Rig->FailAll = true;
             Poll();
             Rig->FailAll = false;
         }},
        {"polling was switched off",
         [this] {
             Poll(14074000, 7050000, SSB_U, VFOAA);
             Trx->StopPolling();
         }},
    };
    for (const auto& c : cases) {
        TXmlRpcSession session(Shared);
        c.Disconnect();
        ASSERT_FALSE(Trx->Get_Connected()) << c.Why;
        for (const std::string& read : reads)
            EXPECT_EQ(FaultCode(Exchange(session, Post(read))), XmlRpc::kFaultRig) << c.Why << " " << read;
        // What describes the port answers meanwhile.
        EXPECT_EQ(Exchange(session, Post("rig.get_xcvr")), Response(Str("Velkor"))) << c.Why;
        EXPECT_EQ(FaultCode(Exchange(session, Post("rig.get_modes"))), 0) << c.Why;
        Trx->StartPolling();
    }
    // A command the rig server fails answers a fault.
    Poll(14074000, 7050000, SSB_U, VFOAA);
    Rig->FailAll = true;
    EXPECT_EQ(FaultCode(CallOf("rig.set_vfoA", Double("7074000"))), XmlRpc::kFaultRig);
    Rig->FailAll = false;
    TRigctlRig none(nullptr);
    TXmlRpcSession alone(none);
    EXPECT_EQ(FaultCode(Exchange(alone, Post("rig.get_vfo"))), XmlRpc::kFaultRig);
    EXPECT_EQ(FaultCode(Exchange(alone, Post("rig.set_vfo", Double("7074000")))), XmlRpc::kFaultRig);
}

TEST_F(XmlRpcTest, RequestsMayComeInPiecesSplitAnywhere)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const std::string bytes = Post("rig.get_vfoA") + Post("rig.set_vfoB", Double("7075000")) + Post("rig.get_vfoB");
    const std::string whole = Exchange(bytes);
    ASSERT_EQ(SplitResponses(whole), Lines({Response(Str("14074000")), Response(I4(0)), Response(Str("7075000"))}));
    for (size_t piece : {1u, 2u, 3u, 7u, 64u, 333u}) {
        TXmlRpcSession session(Shared);
        std::string replies;
        for (size_t at = 0; at < bytes.size(); at += piece) {
            replies += Exchange(session, bytes.substr(at, piece));
            EXPECT_EQ(session.Backlog(), 0u) << "a request still coming waits inside, not as backlog";
            EXPECT_FALSE(session.Pending()) << piece;
        }
        EXPECT_EQ(replies, whole) << "in pieces of " << piece;
    }
    // Line ends alone, and blank lines between requests.
    TXmlRpcSession session(Shared);
    EXPECT_EQ(Exchange(session, Post("rig.get_AB") + "\r\n"), Response(Str("A")));
    const std::string lf = "POST / HTTP/1.1\nContent-Type: text/xml\nContent-Length: " +
                           std::to_string(Body("rig.get_AB").size()) + "\n\n" + Body("rig.get_AB");
    EXPECT_EQ(Exchange(session, lf), Response(Str("A")));
}

TEST_F(XmlRpcTest, HeaderNamesInAnyCaseAndAnyPath)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const std::string body = Body("rig.get_AB");
    const std::string length = std::to_string(body.size());
    for (const std::string& head :
         {"POST / HTTP/1.1\r\ncontent-type: text/xml\r\ncontent-length: " + length,
          "POST /RPC2 HTTP/1.1\r\nCONTENT-TYPE: application/xml; charset=utf-8\r\nCONTENT-LENGTH:" + length,
          "POST /any/path?x=1 HTTP/1.1\r\nContent-Type:  Text/XML \r\nContent-Length: " + length +
              "\r\nContent-Length: " + length,
          "POST / HTTP/1.0\r\nContent-Type: text/xml\r\nConnection: keep-alive\r\nContent-Length: " + length}) {
        EXPECT_EQ(Exchange(head + "\r\n\r\n" + body), Response(Str("A"))) << head;
        EXPECT_FALSE(Session.QuitRequested()) << head;
    }
}

TEST_F(XmlRpcTest, AConnectionCloseIsAnsweredThenClosed)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const std::string body = Body("rig.get_AB");
    const std::string length = std::to_string(body.size());
    for (const std::string& head :
         {"POST / HTTP/1.1\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " + length,
          "POST / HTTP/1.0\r\nContent-Type: text/xml\r\nContent-Length: " + length}) {
        TXmlRpcSession session(Shared);
        Feed(session, head + "\r\n\r\n" + body + Post("rig.set_vfoA", Double("7000000")));
        EXPECT_TRUE(session.QuitRequested()) << head;
        EXPECT_FALSE(session.Finished()) << "its reply is still to go";
        const std::string reply = Take(session);
        EXPECT_TRUE(reply.find("Connection: close\r\n") != std::string::npos) << reply;
        EXPECT_TRUE(reply.ends_with("<value>A</value></param></params></methodResponse>\r\n")) << reply;
        EXPECT_TRUE(session.Finished());
        EXPECT_TRUE(Rig->Puts().empty()) << "nothing after it runs";
    }
}

std::string Request(const std::string& head, const std::string& body)
{
    return head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST_F(XmlRpcTest, BrowsersAndMalformedRequestsRunNothingAndAreClosed)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const std::string set = Body("rig.set_vfoA", Double("7000000"));
    const std::string xml = "Content-Type: text/xml\r\n";
    const struct {
        const char* What;
        std::string Bytes;
        const char* Status;
    } cases[] = {
        {"a page's form", Request("POST / HTTP/1.1\r\nOrigin: http://example.com\r\n" + xml, set), "403 Forbidden"},
        {"a page's fetch", Request("POST / HTTP/1.1\r\n" + xml + "ORIGIN: null\r\n", set), "403 Forbidden"},
        {"a fetch's metadata", Request("POST / HTTP/1.1\r\nSec-Fetch-Mode: no-cors\r\n" + xml, set), "403 Forbidden"},
        {"a text body", Request("POST / HTTP/1.1\r\nContent-Type: text/plain\r\n", set), "403 Forbidden"},
        {"a form body", Request("POST / HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n", set),
         "403 Forbidden"},
        {"xml in a text type", Request("POST / HTTP/1.1\r\nContent-Type: text/xml-not\r\n", set), "403 Forbidden"},
        {"no type", Request("POST / HTTP/1.1\r\n", set), "403 Forbidden"},
        {"a GET", "GET /?rig.set_vfoA=7000000 HTTP/1.1\r\nHost: x\r\n\r\n", "405 Method Not Allowed"},
        {"a preflight", "OPTIONS / HTTP/1.1\r\nOrigin: http://example.com\r\n\r\n", "405 Method Not Allowed"},
        {"a PUT", Request("PUT / HTTP/1.1\r\n" + xml, set), "405 Method Not Allowed"},
        {"chunked", "POST / HTTP/1.1\r\n" + xml + "Transfer-Encoding: chunked\r\n\r\n10\r\n", "501 Not Implemented"},
        {"no length", "POST / HTTP/1.1\r\n" + xml + "\r\n" + set, "411 Length Required"},
        {"a body over the limit", "POST / HTTP/1.1\r\n" + xml + "Content-Length: 65537\r\n\r\n" + set,
         "413 Payload Too Large"},
        {"a length past any", "POST / HTTP/1.1\r\n" + xml + "Content-Length: 99999999999999999999\r\n\r\n",
         "413 Payload Too Large"},
        {"a length that is none", "POST / HTTP/1.1\r\n" + xml + "Content-Length: 12a\r\n\r\n", "400 Bad Request"},
        {"a negative length", "POST / HTTP/1.1\r\n" + xml + "Content-Length: -1\r\n\r\n", "400 Bad Request"},
        {"two lengths", "POST / HTTP/1.1\r\n" + xml + "Content-Length: 1\r\nContent-Length: 2\r\n\r\n",
         "400 Bad Request"},
        {"a header without colon", Request("POST / HTTP/1.1\r\n" + xml + "Junk\r\n", set), "400 Bad Request"},
        {"a folded header", Request("POST / HTTP/1.1\r\n" + xml + " folded: x\r\n", set), "400 Bad Request"},
        {"a header over the limit",
         "POST / HTTP/1.1\r\n" + xml + "X: " + std::string(XmlRpc::kMaxHead, 'x') + "\r\n\r\n" + set,
         "431 Request Header Fields Too Large"},
        {"a head that never ends", "POST / HTTP/1.1\r\n" + std::string(XmlRpc::kMaxHead * 2, 'x'),
         "431 Request Header Fields Too Large"},
        {"a request line over the limit", "POST /" + std::string(XmlRpc::kMaxHead, 'x'),
         "431 Request Header Fields Too Large"},
    };
    for (const auto& c : cases) {
        TXmlRpcSession session(Shared);
        Feed(session, c.Bytes + Post("rig.set_vfoB", Double("7001000")));
        const std::string reply = Take(session);
        EXPECT_TRUE(reply.starts_with(std::string("HTTP/1.1 ") + c.Status + "\r\n")) << c.What << ": " << reply;
        EXPECT_NE(reply.find("Connection: close\r\n"), std::string::npos) << c.What;
        EXPECT_EQ(reply.find("methodResponse"), std::string::npos) << c.What;
        EXPECT_TRUE(session.QuitRequested()) << c.What;
        EXPECT_TRUE(session.Finished()) << c.What;
        EXPECT_FALSE(session.Pending()) << c.What;
        EXPECT_TRUE(Rig->Puts().empty()) << c.What << ": nothing sent";
    }
    // A body exactly at the limit is read (and is no call).
    std::string big = set + std::string(XmlRpc::kMaxBody - set.size(), ' ');
    EXPECT_EQ(FaultCode(Exchange(Request("POST / HTTP/1.1\r\n" + xml, big))), 0) << "trailing blanks are let be";
    EXPECT_TRUE(Exchange(Request("POST / HTTP/1.1\r\n" + xml, big + "x")).starts_with("HTTP/1.1 413 "));
}

TEST_F(XmlRpcTest, AnotherProtocolIsRefusedAtItsFirstBytes)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const struct {
        const char* What;
        std::string Bytes;
    } cases[] = {
        {"TLS", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11)},
        {"SSH", "SSH-2.0-OpenSSH_9.2\r\n"},
        {"rigctl", "\\chk_vfo\n"},
        {"rigctl's short commands", "F 7074000\n"},
        {"rigctl's short reads", "f\n"},
        {"a blank line first", "\r\nPOST / HTTP/1.1\r\n"},
        {"lower case", "post / HTTP/1.1\r\n"},
        {"no target", "POST  HTTP/1.1\r\n"},
        {"HTTP/2", "POST / HTTP/2.0\r\n"},
        {"HTTP/1 without minor", "POST / HTTP/1\r\n"},
        {"HTTP/1.1 with more", "POST / HTTP/1.1 x\r\n"},
        {"a long method", "POSTPOSTPOSTPOSTPOST / HTTP/1.1\r\n"},
        {"a control byte in the target", "POST /\x01 HTTP/1.1\r\n"},
        {"a NUL", std::string("POS\0T", 5)},
    };
    for (const auto& c : cases) {
        TXmlRpcSession session(Shared);
        Feed(session, c.Bytes + Post("rig.set_vfoA", Double("7000000")));
        EXPECT_TRUE(session.Refused()) << c.What;
        EXPECT_TRUE(session.Output().empty()) << c.What;
        EXPECT_FALSE(session.Pending()) << c.What;
        EXPECT_EQ(session.Backlog(), 0u) << c.What;
        EXPECT_TRUE(Rig->Puts().empty()) << c.What;
    }
    // Its first bytes alone decide: refused before its line ends.
    TXmlRpcSession session(Shared);
    Feed(session, "\x16");
    EXPECT_TRUE(session.Refused());
    TXmlRpcSession undecided(Shared);
    Feed(undecided, "POST / HTT");
    EXPECT_FALSE(undecided.Refused());
}

TEST_F(XmlRpcTest, ARunSendsAtMostOneCommandToTheRadioAndABoundedNumberOfCalls)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    auto times = [](const std::string& request, int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += request;
        return text;
    };
    const struct {
        const char* What;
        std::string Bytes;
        std::vector<size_t> Replies; // responses of each Run until none is pending
    } cases[] = {
        {"reads", times(Post("rig.get_vfo"), 40), {16, 16, 8}},
        {"commands", times(Post("rig.set_vfoA", Double("7074000")), 3), {1, 1, 1}},
        {"reads about a command",
         times(Post("rig.get_vfo"), 3) + Post("rig.set_mode", Str("CW")) + times(Post("rig.get_mode"), 2) +
             Post("rig.set_AB", Str("B")),
         {6, 1}},
        {"faults send nothing", times(Post("rig.set_vfoA", Double("1e10")), 20), {16, 4}},
        {"bandwidth sets send nothing", times(Post("rig.set_bw", I4(500)), 17), {16, 1}},
    };
    for (const auto& c : cases) {
        TXmlRpcSession session(Shared);
        session.Received(c.Bytes);
        std::vector<size_t> replies;
        for (int run = 0; run < 10 && (run == 0 || session.Pending()); ++run) {
            session.Run();
            replies.push_back(SplitResponses(std::string(session.Output())).size());
            session.Sent(session.Output().size());
        }
        EXPECT_EQ(replies, c.Replies) << c.What;
    }

    // Without the radio a Run goes as far as the next command for it.
    Poll();
    TXmlRpcSession session(Shared);
    session.Received(Post("rig.get_vfoA") + Post("rig.set_vfoA", Double("7074055")) + Post("rig.get_vfoA"));
    EXPECT_FALSE(session.Run(false));
    EXPECT_EQ(Take(session), Response(Str("14074000")));
    EXPECT_TRUE(session.Pending());
    EXPECT_FALSE(session.Run(false)) << "nothing moves";
    EXPECT_TRUE(Take(session).empty());
    EXPECT_TRUE(Rig->Puts().empty());
    EXPECT_TRUE(session.Run(true));
    EXPECT_EQ(Take(session), Response(I4(0)) + Response(Str("7074055"))) << "read back as written";
    EXPECT_FALSE(session.Pending());
}

TEST_F(XmlRpcTest, AClientThatStopsReadingOverflowsAndRunsNoMore)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const std::string list = Post("system.listMethods");
    TXmlRpcSession session(Shared);
    std::string bytes;
    for (size_t sent = 0; sent < XmlRpc::kMaxPendingOutput * 2; sent += 1000)
        bytes += list;
    bytes += Post("rig.set_vfoA", Double("7000000"));
    Feed(session, bytes);
    EXPECT_TRUE(session.Overflowed());
    EXPECT_FALSE(session.Pending());
    EXPECT_EQ(session.Backlog(), 0u) << "what it sent after is let go";
    EXPECT_TRUE(Rig->Puts().empty());
    EXPECT_LT(session.Output().size(), XmlRpc::kMaxPendingOutput + 8192);
}

std::vector<std::string> PttPuts(const TFakeRigServer& rig)
{
    std::vector<std::string> puts;
    for (const std::string& put : rig.Puts())
        if (put.starts_with("put Ptt"))
            puts.push_back(put);
    return puts;
}

TEST_F(XmlRpcTest, PttWhereTheRigServerKeysTheRadioAndNotAvailableElsewhere)
{
    const struct {
        const char* What;
        bool Keys;
        bool Polled;
        const char* Method;
        std::string Value;
        std::string Reply; // a value, or "fault N"
        Lines Puts;
    } cases[] = {
        {"keys", true, true, "rig.set_ptt", I4(1), I4(0), {"put Ptt 1"}},
        {"keys on a boolean", true, true, "rig.set_ptt", "<boolean>1</boolean>", I4(0), {"put Ptt 1"}},
        {"releases", true, true, "rig.set_ptt", I4(0), I4(0), {"put Ptt 0"}},
        {"reads", true, true, "rig.get_ptt", "", I4(0), {}},
        {"no PTT value", true, true, "rig.set_ptt", I4(3), "fault -32602", {}},
        {"a text", true, true, "rig.set_ptt", Str("1"), "fault -32602", {}},
        {"a reading long past", true, false, "rig.get_ptt", "", "fault 1", {}},
        {"the COM rig server keys nothing", false, true, "rig.set_ptt", I4(1), "fault 2", {}},
        {"and its clients never keyed", false, false, "rig.get_ptt", "", I4(0), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Rig->Keys = c.Keys;
        c.Polled ? Trx->StartPolling() : Trx->StopPolling();
        if (c.Polled)
            Poll();
        Rig->ClearLog();
        const std::string reply = CallOf(c.Method, c.Value);
        if (c.Reply.starts_with("fault "))
            EXPECT_EQ(FaultCode(reply), std::stoi(c.Reply.substr(6))) << reply;
        else
            EXPECT_EQ(reply, Response(c.Reply));
        EXPECT_EQ(PttPuts(*Rig), c.Puts);
        const std::string release = CallOf("rig.set_ptt", I4(0));
        EXPECT_EQ(FaultCode(release), c.Keys ? 0 : XmlRpc::kFaultNotAvailable) << release;
    }
    Rig->Keys = false;
    Trx->StartPolling();
    Poll();
    EXPECT_NE(CallOf("rig.set_ptt", I4(1)).find("not available"), std::string::npos);
}

TEST_F(XmlRpcTest, AClientThatKeyedAndGoesReleasesThePtt)
{
    Rig->Keys = true;
    Poll(14074000, 7050000, SSB_U, VFOAA);
    auto keying = std::make_unique<TXmlRpcSession>(Shared);
    EXPECT_EQ(Exchange(*keying, Post("rig.set_ptt", I4(1)) + Post("rig.get_ptt")), Response(I4(0)) + Response(I4(1)));
    EXPECT_EQ(CallOf("rig.get_ptt"), Response(I4(1))) << "the others see it";
    auto other = std::make_unique<TXmlRpcSession>(Shared);
    EXPECT_EQ(Exchange(*other, Post("rig.get_vfoA")), Response(Str("14074000")));
    other.reset();
    EXPECT_EQ(PttPuts(*Rig), Lines({"put Ptt 1"})) << "one that never keyed goes: nothing happens";
    keying.reset();
    EXPECT_EQ(PttPuts(*Rig), Lines({"put Ptt 1", "put Ptt 0"}));
    EXPECT_EQ(CallOf("rig.get_ptt"), Response(I4(0)));

    // One that closes after every call keys for the port: its connection's
    // end is no release, a release from any client is.
    Rig->ClearLog();
    auto closing = std::make_unique<TXmlRpcSession>(Shared);
    Exchange(*closing, Post("rig.set_ptt", I4(1), "Connection: close\r\n"));
    closing.reset();
    EXPECT_EQ(PttPuts(*Rig), Lines({"put Ptt 1"}));
    EXPECT_EQ(CallOf("rig.set_ptt", I4(0)), Response(I4(0)));
    EXPECT_EQ(PttPuts(*Rig), Lines({"put Ptt 1", "put Ptt 0"}));
}

} // namespace
