#include "xmlrpc/XmlRpcSession.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "base/SysUtils.h"
#include "platform/ProgramSettings.h"
#include "rig/Frequencies.h"
#include "rig/HamlibModes.h"
#include "rigctl/RigctlRig.h"

static_assert(ProgramSettingRow(TProgramValue::XmlRpcPort).Default == XmlRpc::kDefaultPort);

namespace {

using namespace XmlRpc;

// The transceiver's modes by the names these clients know: hamlib's model 4
// maps each to its own mode (USB-D to PKTUSB, LSB-D to PKTLSB, CW-R to CWR),
// fldigi shows them as they stand. The lower digital mode is "DIGI".
struct TModeName {
    const char* Name;
    const char* Velkor;
};
constexpr std::array<TModeName, 8> kModeNames{{
    {"LSB", "LSB"},
    {"USB", "USB"},
    {"CW", "CW"},
    {"CW-R", "CW-R"},
    {"AM", "AM"},
    {"FM", "FM"},
    {"LSB-D", "DIGI"},
    {"USB-D", "DIGI-R"},
}};

const TModeName* ModeByName(std::string_view name)
{
    for (const TModeName& mode : kModeNames)
        if (SameText(std::string(name), mode.Name))
            return &mode;
    return nullptr;
}

const TModeName* ModeByVelkor(std::string_view velkor)
{
    for (const TModeName& mode : kModeNames)
        if (velkor == mode.Velkor)
            return &mode;
    return nullptr;
}

// What a method takes: nothing, a frequency (double or integer hertz), a
// text, a flag (integer or boolean 0/1), or anything (it refuses anyway).
enum class TArg { None, Freq, Text, Flag, Any };

struct TAnswer {
    std::string Response; // a whole methodResponse
    static TAnswer Of(TXmlRpcValue value) { return {XmlRpcResponse(value)}; }
    static TAnswer Fault(int code, std::string_view text) { return {XmlRpcFault(code, text)}; }
};

TAnswer RigResult(int code)
{
    if (code == Rigctl::kOk)
        return TAnswer::Of(TXmlRpcValue::OfInt(0));
    if (code == Rigctl::kNotAvailable)
        return TAnswer::Fault(kFaultNotAvailable, "not available");
    return TAnswer::Fault(kFaultRig, "the rig server failed");
}

struct TContext {
    TRigctlRig& Rig;
    const TRigctlView& View;
    const void* Client;
    const TXmlRpcValue* Arg; // the one parameter, for a method that takes one
};

using TRun = TAnswer (*)(TContext&);

struct TMethod {
    const char* Name;
    TArg Arg;
    bool ReadsRadio;   // from the last poll: a fault while it did not read the rig
    bool ReachesRadio; // a command through the transceiver
    TRun Run;
};

TXmlRpcValue Text(std::string text) { return TXmlRpcValue::OfString(std::move(text)); }

// Hertz, rounded, within the frequencies Velkor sends.
bool FreqOf(const TXmlRpcValue& value, int32_t& freq)
{
    double hertz = 0;
    if (value.Kind == TXmlRpcValue::TKind::Int)
        hertz = value.Int;
    else if (value.Kind == TXmlRpcValue::TKind::Double)
        hertz = std::round(value.Double);
    else
        return false;
    if (!(hertz >= kLowestFreq && hertz <= kHighestFreq))
        return false;
    freq = static_cast<int32_t>(hertz);
    return InFreqRange(freq);
}

bool FlagOf(const TXmlRpcValue& value, bool& flag)
{
    if ((value.Kind != TXmlRpcValue::TKind::Int && value.Kind != TXmlRpcValue::TKind::Boolean) ||
        (value.Int != 0 && value.Int != 1))
        return false;
    flag = value.Int == 1;
    return true;
}

bool WellFormed(TArg arg, const std::vector<TXmlRpcValue>& params)
{
    if (arg == TArg::Any)
        return true;
    if (arg == TArg::None)
        return params.empty();
    if (params.size() != 1)
        return false;
    int32_t freq = 0;
    bool flag = false;
    switch (arg) {
    case TArg::Freq:
        return FreqOf(params[0], freq);
    case TArg::Text:
        return params[0].Kind == TXmlRpcValue::TKind::String;
    case TArg::Flag:
        return FlagOf(params[0], flag);
    default:
        return true;
    }
}

int Passband(const TRigctlView& view)
{
    const THamlibMode* mode = HamlibModeByVelkor(view.Mode);
    return mode ? mode->Passband : 0;
}

TAnswer Mode(TContext& c)
{
    const TModeName* mode = ModeByVelkor(c.View.Mode);
    if (!mode)
        return TAnswer::Fault(kFaultRig, "the radio's mode is not known");
    return TAnswer::Of(Text(mode->Name));
}

// The usual width of the mode, and no second filter.
TAnswer Bandwidth(TContext& c)
{
    if (!ModeByVelkor(c.View.Mode))
        return TAnswer::Fault(kFaultRig, "the radio's mode is not known");
    return TAnswer::Of(TXmlRpcValue::OfArray({Text(IntToStr(Passband(c.View))), Text("")}));
}

TAnswer SetMode(TContext& c)
{
    const TModeName* mode = ModeByName(c.Arg->String);
    return RigResult(c.Rig.SetMode(mode->Velkor));
}

TAnswer SetFreqOf(TContext& c, char vfo)
{
    int32_t freq = 0;
    FreqOf(*c.Arg, freq);
    return RigResult(c.Rig.SetFreqOf(vfo, freq));
}

TAnswer ListMethods(TContext&);

// In the order system.listMethods tells them.
constexpr TMethod kMethods[] = {
    {"main.get_version", TArg::None, false, false, [](TContext&) { return TAnswer::Of(Text("Velkor-1")); }},
    {"system.listMethods", TArg::Any, false, false, ListMethods},
    {"rig.get_xcvr", TArg::None, false, false, [](TContext&) { return TAnswer::Of(Text("Velkor")); }},
    {"rig.get_info", TArg::None, false, false, [](TContext&) { return TAnswer::Of(Text("Velkor")); }},
    {"rig.get_pwrmeter_scale", TArg::None, false, false, [](TContext&) { return TAnswer::Of(TXmlRpcValue::OfInt(1)); }},
    {"rig.get_modes", TArg::None, false, false,
     [](TContext&) {
         std::vector<TXmlRpcValue> names;
         for (const TModeName& mode : kModeNames)
             names.push_back(Text(mode.Name));
         return TAnswer::Of(TXmlRpcValue::OfArray(std::move(names)));
     }},
    {"rig.get_vfo", TArg::None, true, false, [](TContext& c) { return TAnswer::Of(Text(IntToStr(c.View.Freq))); }},
    {"rig.get_vfoA", TArg::None, true, false, [](TContext& c) { return TAnswer::Of(Text(IntToStr(c.View.FreqA))); }},
    {"rig.get_vfoB", TArg::None, true, false, [](TContext& c) { return TAnswer::Of(Text(IntToStr(c.View.FreqB))); }},
    {"rig.get_AB", TArg::None, true, false,
     [](TContext& c) { return TAnswer::Of(Text(std::string(1, c.View.RxVfo))); }},
    {"rig.get_mode", TArg::None, true, false, Mode},
    {"rig.get_modeA", TArg::None, true, false, Mode},
    {"rig.get_modeB", TArg::None, true, false, Mode},
    {"rig.get_sideband", TArg::None, true, false,
     [](TContext& c) {
         const bool lower = c.View.Mode == "LSB" || c.View.Mode == "DIGI" || c.View.Mode == "CW-R";
         return TAnswer::Of(Text(lower ? "L" : "U"));
     }},
    {"rig.get_bw", TArg::None, true, false, Bandwidth},
    {"rig.get_bwA", TArg::None, true, false, Bandwidth},
    {"rig.get_bwB", TArg::None, true, false, Bandwidth},
    {"rig.get_bws", TArg::None, true, false,
     [](TContext& c) {
         if (!ModeByVelkor(c.View.Mode))
             return TAnswer::Fault(kFaultRig, "the radio's mode is not known");
         return TAnswer::Of(TXmlRpcValue::OfArray(
             {TXmlRpcValue::OfArray({Text("Bandwidth"), Text(IntToStr(Passband(c.View)))})}));
     }},
    {"rig.get_split", TArg::None, true, false,
     [](TContext& c) { return TAnswer::Of(TXmlRpcValue::OfInt(c.View.Split ? 1 : 0)); }},
    // Where the rig server cannot key the radio, Velkor's clients never have:
    // 0, since fldigi drops the connection on a fault here.
    {"rig.get_ptt", TArg::None, false, false,
     [](TContext& c) {
         if (!c.View.PttAvailable)
             return TAnswer::Of(TXmlRpcValue::OfInt(0));
         if (!c.View.Connected)
             return TAnswer::Fault(kFaultRig, "the radio is not read");
         return TAnswer::Of(TXmlRpcValue::OfInt(c.View.Ptt ? 1 : 0));
     }},
    {"rig.set_vfo", TArg::Freq, false, true,
     [](TContext& c) {
         int32_t freq = 0;
         FreqOf(*c.Arg, freq);
         return RigResult(c.Rig.SetFreq(freq));
     }},
    {"rig.set_vfoA", TArg::Freq, false, true, [](TContext& c) { return SetFreqOf(c, 'A'); }},
    {"rig.set_vfoB", TArg::Freq, false, true, [](TContext& c) { return SetFreqOf(c, 'B'); }},
    {"rig.set_vfoA_fast", TArg::Freq, false, true, [](TContext& c) { return SetFreqOf(c, 'A'); }},
    {"rig.set_vfoB_fast", TArg::Freq, false, true, [](TContext& c) { return SetFreqOf(c, 'B'); }},
    {"rig.set_AB", TArg::Text, false, true,
     [](TContext& c) { return RigResult(c.Rig.SetVfo(c.Arg->String == "B" ? 'B' : 'A', c.View.Split)); }},
    // These clients transmit on VFO B in split: split receives on A.
    {"rig.set_split", TArg::Flag, false, true,
     [](TContext& c) {
         bool on = false;
         FlagOf(*c.Arg, on);
         return RigResult(on ? c.Rig.SetVfo('A', true) : c.Rig.SetVfo(c.View.RxVfo, false));
     }},
    {"rig.set_mode", TArg::Text, false, true, SetMode},
    {"rig.set_modeA", TArg::Text, false, true, SetMode},
    {"rig.set_modeB", TArg::Text, false, true, SetMode},
    // The radio's filter is not Velkor's to set: a fault, which hamlib takes
    // as "not there" and fldigi only logs.
    {"rig.set_bw", TArg::Any, false, false,
     [](TContext&) { return TAnswer::Fault(kFaultNotAvailable, "the bandwidth cannot be set"); }},
    {"rig.set_bwA", TArg::Any, false, false,
     [](TContext&) { return TAnswer::Fault(kFaultNotAvailable, "the bandwidth cannot be set"); }},
    {"rig.set_bwB", TArg::Any, false, false,
     [](TContext&) { return TAnswer::Fault(kFaultNotAvailable, "the bandwidth cannot be set"); }},
    {"rig.set_bandwidth", TArg::Any, false, false,
     [](TContext&) { return TAnswer::Fault(kFaultNotAvailable, "the bandwidth cannot be set"); }},
    {"rig.set_ptt", TArg::Flag, false, true,
     [](TContext& c) {
         bool on = false;
         FlagOf(*c.Arg, on);
         return RigResult(c.Rig.SetPtt(c.Client, on));
     }},
};

TAnswer ListMethods(TContext&)
{
    std::vector<TXmlRpcValue> names;
    for (const TMethod& method : kMethods)
        names.push_back(Text(method.Name));
    return TAnswer::Of(TXmlRpcValue::OfArray(std::move(names)));
}

const TMethod* MethodByName(std::string_view name)
{
    for (const TMethod& method : kMethods)
        if (name == method.Name)
            return &method;
    return nullptr;
}

// A set's argument beyond its type: a mode of the table, a VFO's letter.
bool Acceptable(const TMethod& method, const TXmlRpcValue* arg)
{
    if (method.Run == SetMode)
        return ModeByName(arg->String) != nullptr;
    if (std::string_view(method.Name) == "rig.set_AB")
        return arg->String == "A" || arg->String == "B";
    return true;
}

bool IsToken(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c <= ' ' || c >= 0x7F || c == ':' || c == '(' || c == ')' || c == ',' || c == ';' || c == '"')
            return false;
    return true;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string_view TrimmedText(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Whether the first line still coming can be an HTTP request line: a method
// in capitals, a space, a target, a space and "HTTP/1.x". TLS's first byte,
// SSH's "SSH-", rigctl's commands are none.
bool CanBeRequestLine(std::string_view head)
{
    size_t i = 0;
    while (i < head.size() && head[i] >= 'A' && head[i] <= 'Z' && i < 16)
        ++i;
    if (i == head.size())
        return true;
    if (i == 0 || head[i] != ' ')
        return false;
    size_t target = ++i;
    while (i < head.size() && head[i] > ' ' && head[i] < 0x7F)
        ++i;
    if (i == head.size())
        return true;
    if (i == target || head[i] != ' ')
        return false;
    const std::string_view version = head.substr(i + 1);
    constexpr std::string_view kVersion = "HTTP/1.";
    const size_t common = std::min(version.size(), kVersion.size());
    if (version.substr(0, common) != kVersion.substr(0, common))
        return false;
    if (version.size() <= kVersion.size())
        return true;
    if (version[kVersion.size()] < '0' || version[kVersion.size()] > '9')
        return false;
    const std::string_view end = version.substr(kVersion.size() + 1);
    return end.empty() || end == "\r" || end.starts_with("\n") || end.starts_with("\r\n");
}

// Where the head ends (past its blank line), or npos.
size_t HeadEnd(std::string_view head, size_t from)
{
    for (size_t at = head.find('\n', from); at != std::string_view::npos; at = head.find('\n', at + 1)) {
        if (at + 1 < head.size() && head[at + 1] == '\n')
            return at + 2;
        if (at + 2 < head.size() && head[at + 1] == '\r' && head[at + 2] == '\n')
            return at + 3;
    }
    return std::string_view::npos;
}

} // namespace

// A client that keyed the radio and goes releases it.
TXmlRpcSession::~TXmlRpcSession() { FRig.ClientGone(this); }

void TXmlRpcSession::Received(std::string_view data)
{
    if (!Stopped())
        FInput += data;
}

void TXmlRpcSession::Sent(size_t count)
{
    FSent += std::min(count, FOutput.size() - FSent);
    if (FSent == FOutput.size() || FSent > FOutput.size() / 2) {
        FOutput.erase(0, FSent);
        FSent = 0;
    }
}

void TXmlRpcSession::Reply(std::string_view reply)
{
    FOutput += reply;
    if (Output().size() > kMaxPendingOutput)
        FOverflowed = true;
}

bool TXmlRpcSession::Pending() const { return !Stopped() && (FStage == TStage::Ready || Backlog() > 0); }

void TXmlRpcSession::HttpError(int status, const char* reason)
{
    const std::string body = std::string(reason) + "\n";
    std::string reply = "HTTP/1.1 " + IntToStr(status) + " " + reason + "\r\n";
    if (status == 405)
        reply += "Allow: POST\r\n";
    reply += "Content-Type: text/plain\r\nContent-Length: " + IntToStr(static_cast<int>(body.size())) +
             "\r\nConnection: close\r\n\r\n" + body;
    Reply(reply);
    FClosing = true;
}

void TXmlRpcSession::TakeHead()
{
    // Line ends between requests are let go.
    if (!FFirst && FHead.empty())
        while (FInputAt < FInput.size() && (FInput[FInputAt] == '\r' || FInput[FInputAt] == '\n'))
            ++FInputAt;
    const size_t from = FHead.size() < 3 ? 0 : FHead.size() - 3;
    const size_t take = std::min(kMaxHead - FHead.size(), FInput.size() - FInputAt);
    FHead.append(FInput, FInputAt, take);
    FInputAt += take;
    if (FFirst) {
        const std::string_view line = std::string_view(FHead).substr(0, FHead.find('\n') + 1);
        if (!CanBeRequestLine(line.empty() ? std::string_view(FHead) : line)) {
            FRefused = true;
            return;
        }
    }
    const size_t end = HeadEnd(FHead, from);
    if (end == std::string::npos) {
        if (FHead.size() == kMaxHead)
            HttpError(431, "Request Header Fields Too Large");
        return;
    }
    // What follows the head is the body's or the next request's.
    FInputAt -= FHead.size() - end;
    FHead.resize(end);
    FFirst = false;
    if (!CheckHead())
        return;
    FStage = FBodyLength == 0 ? TStage::Ready : TStage::Body;
    if (FStage == TStage::Ready)
        FCall = ParseXmlRpcCall("", FCallError);
}

void TXmlRpcSession::TakeBody()
{
    const size_t take = std::min(FBodyLength - FBody.size(), FInput.size() - FInputAt);
    FBody.append(FInput, FInputAt, take);
    FInputAt += take;
    if (FBody.size() < FBodyLength)
        return;
    FCall = ParseXmlRpcCall(FBody, FCallError);
    FBody.clear();
    FBody.shrink_to_fit();
    FStage = TStage::Ready;
}

bool TXmlRpcSession::CheckHead()
{
    std::vector<std::string_view> lines;
    std::string_view head(FHead);
    while (!head.empty()) {
        const size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        head.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            lines.push_back(line);
    }
    // The request line, as the gate let it through.
    const std::string_view request = lines.empty() ? std::string_view() : lines[0];
    const size_t space = request.find(' ');
    const size_t lastSpace = request.rfind(' ');
    const std::string_view version = request.substr(lastSpace + 1);
    if (space == std::string_view::npos || space == lastSpace || (version != "HTTP/1.1" && version != "HTTP/1.0")) {
        HttpError(400, "Bad Request");
        return false;
    }
    if (request.substr(0, space) != "POST") {
        HttpError(405, "Method Not Allowed");
        return false;
    }
    bool browser = false;
    bool xml = false;
    bool chunked = false;
    bool keepAlive = version == "HTTP/1.1";
    std::optional<uint64_t> length;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) {
            HttpError(400, "Bad Request");
            return false;
        }
        const std::string name = Lower(line.substr(0, colon));
        const std::string_view value = TrimmedText(line.substr(colon + 1));
        if (name == "origin" || name.starts_with("sec-fetch-")) {
            browser = true;
        } else if (name == "content-type") {
            const std::string type = Lower(TrimmedText(value.substr(0, value.find(';'))));
            xml = type == "text/xml" || type == "application/xml";
        } else if (name == "transfer-encoding") {
            chunked = true;
        } else if (name == "content-length") {
            uint64_t parsed = 0;
            if (value.empty() || value.size() > 12) {
                HttpError(value.size() > 12 ? 413 : 400, value.size() > 12 ? "Payload Too Large" : "Bad Request");
                return false;
            }
            for (char c : value) {
                if (c < '0' || c > '9') {
                    HttpError(400, "Bad Request");
                    return false;
                }
                parsed = parsed * 10 + static_cast<uint64_t>(c - '0');
            }
            if (length && *length != parsed) {
                HttpError(400, "Bad Request");
                return false;
            }
            length = parsed;
        } else if (name == "connection") {
            const std::string tokens = Lower(value);
            if (tokens.find("close") != std::string::npos)
                keepAlive = false;
            else if (tokens.find("keep-alive") != std::string::npos)
                keepAlive = true;
        }
    }
    // A web page can make a browser send this much to 127.0.0.1: nothing of
    // it runs.
    if (browser || !xml) {
        HttpError(403, "Forbidden");
        return false;
    }
    if (chunked) {
        HttpError(501, "Not Implemented");
        return false;
    }
    if (!length) {
        HttpError(411, "Length Required");
        return false;
    }
    if (*length > kMaxBody) {
        HttpError(413, "Payload Too Large");
        return false;
    }
    FBodyLength = static_cast<size_t>(*length);
    FCloseAfter = !keepAlive;
    return true;
}

bool TXmlRpcSession::RunRequest(int& rigCommands)
{
    std::string answer;
    if (!FCall) {
        answer = XmlRpcFault(kFaultMalformed, "not an XML-RPC call: " + FCallError);
    } else if (const TMethod* method = MethodByName(FCall->Method); !method) {
        answer = XmlRpcFault(kFaultUnknownMethod, "unknown method " + FCall->Method);
    } else if (!WellFormed(method->Arg, FCall->Params) ||
               (method->Arg != TArg::None && method->Arg != TArg::Any && !Acceptable(*method, &FCall->Params[0]))) {
        answer = XmlRpcFault(kFaultBadParams, std::string("wrong parameters for ") + method->Name);
    } else {
        if (method->ReachesRadio && rigCommands == 0)
            return false;
        rigCommands -= method->ReachesRadio ? 1 : 0;
        const TRigctlView view = FRig.View();
        if (method->ReadsRadio && !view.Connected) {
            // A poll long past is no answer.
            answer = XmlRpcFault(kFaultRig, "the radio is not read");
        } else {
            // A client that closes after each call (HTTP/1.0, Connection: close)
            // holds its key for the port, not for a connection about to go:
            // rig.set_ptt 0, the watchdog, OFF or the end release it.
            const void* client = FCloseAfter ? static_cast<const void*>(&FRig) : this;
            TContext context{FRig, view, client, FCall->Params.empty() ? nullptr : &FCall->Params[0]};
            answer = method->Run(context).Response;
        }
    }
    std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                        IntToStr(static_cast<int>(answer.size())) + "\r\n";
    if (FCloseAfter)
        reply += "Connection: close\r\n";
    reply += "\r\n";
    reply += answer;
    Reply(reply);
    if (FCloseAfter)
        FClosing = true;
    return true;
}

bool TXmlRpcSession::Run(bool mayReachRig)
{
    int calls = kCallsPerRun;
    int rigCommands = mayReachRig ? 1 : 0;
    const int rigAllowed = rigCommands;
    while (!Stopped() && calls > 0) {
        if (FStage == TStage::Ready) {
            if (!RunRequest(rigCommands))
                break;
            --calls;
            FStage = TStage::Head;
            FHead.clear();
            FCall.reset();
            FCallError.clear();
            FBodyLength = 0;
            continue;
        }
        if (FInputAt == FInput.size())
            break;
        if (FStage == TStage::Head)
            TakeHead();
        else
            TakeBody();
    }
    if (Stopped() || FInputAt == FInput.size()) {
        FInput.clear();
        FInputAt = 0;
    } else if (FInputAt > FInput.size() / 2) {
        FInput.erase(0, FInputAt);
        FInputAt = 0;
    }
    return rigCommands < rigAllowed;
}

TPortServing XmlRpcServing(TRigctlRig& rig)
{
    return {[&rig] { return std::make_unique<TXmlRpcSession>(rig); }, [&rig] { return rig.RigWaiting(); }};
}

TPortServing XmlRpcServing(TTransceiver* transceiver)
{
    // The port's factory holds the rig, and goes after the sessions.
    auto rig = std::make_shared<TRigctlRig>(transceiver);
    return {[rig] { return std::make_unique<TXmlRpcSession>(*rig); }, [rig] { return rig->RigWaiting(); }};
}
