// The XML-RPC port's protocol against generated and mutated requests from a
// fixed seed: well-formed calls, broken heads and bodies, junk, refusals. The
// same bytes go once whole and once in random pieces to two rigs in the same
// state, run in shares that now and then may not reach the radio; the replies
// and the rig server's calls must be the same, every reply must be a whole
// HTTP response, and a refused connection must have had no reply and made no
// call. Under the sanitizers in build/native-san:
//   xmlrpc_fuzz [rounds] [seed]
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rig/TransceiverUnit.h"
#include "rigctl/RigctlRig.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/Fuzz.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"
#include "xmlrpc/XmlRpcSession.h"

namespace {

using Fuzz::TRandom;

const std::vector<std::string> kMethods = {
    "main.get_version", "rig.get_xcvr", "rig.get_vfo", "rig.set_vfo", "rig.get_vfoA", "rig.set_vfoA",
    "rig.set_vfoB", "rig.get_AB", "rig.set_AB", "rig.get_mode", "rig.set_mode", "rig.set_modeA",
    "rig.get_modes", "rig.get_bw", "rig.get_bws", "rig.set_bw", "rig.get_split", "rig.set_split",
    "rig.get_ptt", "rig.set_ptt", "system.listMethods", "rig.nosuch", "",
};
const std::vector<std::string> kValues = {
    "", "<value><double>7074000</double></value>", "<value><i4>1</i4></value>", "<value>USB-D</value>",
    "<value>B</value>", "<value><boolean>1</boolean></value>", "<value><double>1e99</double></value>",
    "<value><array><data><value>x</value></data></array></value>", "<value>&amp;&#x41;&bogus;</value>",
    "<value><struct/></value>", "<value><i4>99999999999</i4></value>", "<value><string>CW</string></value>",
};
const std::vector<std::string> kHeaders = {
    "Content-Type: text/xml\r\n", "content-type: application/xml; charset=x\r\n", "Content-Type: text/plain\r\n",
    "Origin: http://x\r\n", "Transfer-Encoding: chunked\r\n", "Connection: close\r\n", "Connection: keep-alive\r\n",
    "Content-Length: 5\r\n", "Junk\r\n", " folded\r\n", "X: y\r\n", "\r\n",
};

// Calls as the clients make them.
const std::vector<std::pair<std::string, std::string>> kCalls = {
    {"rig.set_vfoA", "<value><double>7074000</double></value>"}, {"rig.set_vfo", "<value><i4>3500000</i4></value>"},
    {"rig.set_vfoB", "<value><double>7075000.5</double></value>"}, {"rig.set_mode", "<value>USB-D</value>"},
    {"rig.set_modeA", "<value>CW-R</value>"}, {"rig.set_AB", "<value>B</value>"},
    {"rig.set_split", "<value><i4>1</i4></value>"}, {"rig.get_vfo", ""}, {"rig.get_modeA", ""},
    {"rig.set_ptt", "<value><i4>1</i4></value>"}, {"rig.get_ptt", ""},
};

std::string Body(TRandom& random)
{
    std::string body = "<?xml version=\"1.0\"?><methodCall><methodName>";
    if (random.Below(2)) {
        const auto& [method, value] = random.Pick(kCalls);
        body += method + "</methodName>";
        if (!value.empty())
            body += "<params><param>" + value + "</param></params>";
    } else {
        body += random.Pick(kMethods) + "</methodName>";
        if (random.Below(3))
            body += "<params><param>" + random.Pick(kValues) + "</param></params>";
    }
    body += "</methodCall>\r\n";
    // Mutations: a cut, a byte changed, bytes inserted.
    switch (random.Below(6)) {
    case 0:
        body.resize(random.Below(body.size() + 1));
        break;
    case 1:
        body[random.Below(body.size())] = static_cast<char>(random.Below(256));
        break;
    case 2:
        body.insert(random.Below(body.size()), random.Bytes(9));
        break;
    default:
        break;
    }
    return body;
}

std::string Request(TRandom& random)
{
    const std::string body = Body(random);
    static const std::vector<std::string> others = {"GET / HTTP/1.1\r\n", "POST / HTTP/1.0\r\n",
                                                    "POST / HTTP/1.2\r\n", "OPTIONS * HTTP/1.1\r\n"};
    // Mostly well-formed, so that the requests after it run too.
    std::string head = random.Below(30) ? "POST /RPC2 HTTP/1.1\r\n" : random.Pick(others);
    if (random.Below(30))
        head += "Content-Type: text/xml\r\n";
    if (random.Below(8) == 0)
        for (size_t count = 1 + random.Below(2); count > 0; --count)
            head += random.Pick(kHeaders);
    size_t length = body.size();
    if (random.Below(30) == 0)
        length = random.Below(body.size() * 2 + 2);
    if (random.Below(30))
        head += "Content-Length: " + std::to_string(length) + "\r\n";
    return head + "\r\n" + body;
}

std::string Generate(TRandom& random)
{
    std::string input;
    if (random.Below(10) == 0)
        input += random.Pick(std::vector<std::string>{"\x16\x03\x01", "SSH-2.0-x\r\n", "f\n", "\\chk_vfo\n", ""});
    for (size_t count = random.Below(8); count > 0; --count) {
        switch (random.Below(30)) {
        case 0:
            input += random.Bytes(30);
            break;
        case 1:
            input += "POST / HTTP/1.1\r\nX: " + std::string(random.Below(10000), 'x');
            break;
        default:
            input += Request(random);
        }
    }
    return input;
}

struct TRigUnderTest {
    TComponent Owner;
    TFakeRigServer* Server = nullptr;
    TTransceiver* Trx = nullptr;
    std::unique_ptr<TRigctlRig> Rig;
    std::unique_ptr<TXmlRpcSession> Session;
    std::string Replies;

    TRigUnderTest(TApplication& app, uint64_t seed) : Owner(&app)
    {
        auto server = std::make_unique<TFakeRigServer>();
        Server = server.get();
        TRandom random(seed);
        const std::vector<int32_t> vfos = {RigParams::VFOAA, RigParams::VFOAB, RigParams::VFOBB, RigParams::VFOBA};
        const std::vector<int32_t> modes = {RigParams::SSB_U, RigParams::DIG_U, RigParams::CW_L, 0};
        Server->Radio = {"FAKE", 14074000, 14074000, 7050000, random.Pick(modes), random.Pick(vfos)};
        Server->FailAt = static_cast<int>(random.Below(40));
        Server->Keys = random.Below(2) == 0;
        Trx = new TTransceiver(&Owner, std::make_unique<TAppPollHost>(app), std::move(server));
        Trx->StartPolling();
        DispatchEvent(&app, [this] { Trx->TimTimer(Trx->Tim); });
        Rig = std::make_unique<TRigctlRig>(Trx);
        Session = std::make_unique<TXmlRpcSession>(*Rig);
    }

    void Feed(const std::string& bytes, TRandom& random)
    {
        Session->Received(bytes);
        do {
            Session->Run(random.Below(4) != 0);
            Replies += Session->Output();
            Session->Sent(Session->Output().size());
        } while (Session->Pending());
    }
};

// Whole HTTP responses one after another, each body as long as it says.
bool WholeResponses(std::string_view replies)
{
    while (!replies.empty()) {
        if (!replies.starts_with("HTTP/1.1 "))
            return false;
        const size_t end = replies.find("\r\n\r\n");
        const size_t length = replies.find("Content-Length: ");
        if (end == std::string_view::npos || length == std::string_view::npos || length > end)
            return false;
        const size_t size = std::stoul(std::string(replies.substr(length + 16, 8)));
        if (replies.size() < end + 4 + size)
            return false;
        const std::string_view body = replies.substr(end + 4, size);
        if (replies.starts_with("HTTP/1.1 200 ") && !body.ends_with("</methodResponse>\r\n"))
            return false;
        replies.remove_prefix(end + 4 + size);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    THeadlessHost host;
    TApplication app(host);
    long rounds = 0;
    long served = 0; // rounds whose first request ran and went to the radio
    const int result = Fuzz::Run(argc, argv, {20000, 20261210}, [&](TRandom& random) {
        std::string input = Generate(random);
        if (random.Below(4) == 0)
            input = Fuzz::Mutate(input, random, {"<>&;/\r\n: ", nullptr, 6, 1u << 18});
        const uint64_t seed = random.Next();
        TRigUnderTest whole(app, seed);
        TRigUnderTest pieces(app, seed);
        whole.Feed(input, random);
        for (size_t at = 0; at < input.size();) {
            const size_t size = 1 + random.Below(64);
            pieces.Feed(input.substr(at, size), random);
            at += size;
        }
        const Fuzz::TInput report = {{"input", input}, {"the rig made from seed " + std::to_string(seed), ""}};
        Fuzz::Check(whole.Replies == pieces.Replies && whole.Server->Log == pieces.Server->Log,
                    "whole and pieces differ", report);
        Fuzz::Check(WholeResponses(whole.Replies), "not whole HTTP responses", report);
        Fuzz::Check(!whole.Session->Refused() || (whole.Replies.empty() && whole.Server->Puts().empty()),
                    "a refused connection was served", report);
        Fuzz::Check(whole.Session->Backlog() == 0, "bytes left unrun", report);
        ++rounds;
        served += whole.Server->Puts().empty() ? 0 : 1;
    });
    // The generator is of use only while many inputs get past the head.
    std::printf("%ld of %ld rounds sent the radio a command\n", served, rounds);
    return result != 0 || served * 8 < rounds;
}
