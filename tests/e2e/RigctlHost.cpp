// The Windows side of the rigctl port's test with hamlib's own client
// (RigctlClientTest.sh, which runs the native rigctl): velkor.exe with its
// rigctl port, polling rigsim.exe, for as long as the script needs them.
//
//   rigctl_host.exe MODE       MODE: switch (/rigctl:PORT), registry (the
//                              RigctlPort value) or busy (the port already
//                              taken: the report is expected); or
//                              rigctld:RPORT, the port on the switch and
//                              hamlib's rigctld on 127.0.0.1:RPORT as the rig
//                              server, without rigsim.exe; or xmlrpc-switch,
//                              xmlrpc-registry, xmlrpc-busy: the same for the
//                              XML-RPC port (/xmlrpc:PORT, XmlRpcPort); or
//                              radioinfo:LIST, the port on the switch and
//                              /radioinfo:LIST (the radio's state broadcast);
//                              rigctld:RPORT+radioinfo:LIST both
// It prints "port N" and "ready", then answers lines on its input: "state K"
// with "state K FREQA FREQB MODE VFO" (the stand-in's radio, read through the
// rig server's interface), "probe" (rigctld: with what the rig server
// dialog's Test shows), "hang" by making the stand-in hold every call
// ("hung"), "answer" by letting them go and answering velkor.exe's report
// ("answered" and the report's text), "report" by answering the next report
// velkor.exe shows within 15 s ("reported" and its text, or "reported
// nothing"), "type KEYS FREQ LAST" by typing KEYS
// and Enter into the main window, on the keyboard, then telling whether the
// typed FREQ reached the stand-in before LAST did ("typed before", "typed
// after" or "typed never"), "end" by ending velkor.exe as the
// operator does and rigsim.exe, and "ended" once none of them runs. The exit
// code is 0 when all went as expected.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <objbase.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tests/support/win32/RigSimProcess.h"
#include "tests/support/win32/VelkorProcess.h"
#include "base/win32/ComScope.h"
#include "base/win32/ComUtil.h"
#include "rig/win32/OmniRigX.h"
#include "rig/win32/RigServers.h"
#include "tests/support/win32/LoopbackSocket.h"

namespace {

std::string State(TOmniRigX& server)
{
    auto rig = server.Rig();
    return std::to_string(rig->GetFreqA()) + " " + std::to_string(rig->GetFreqB()) + " " +
           std::to_string(rig->GetMode()) + " " + std::to_string(rig->GetVfo());
}

// The stand-in's latest calls, one a line, each ending in a line break.
std::string CallLog(IRigSimControl* control)
{
    BSTR log = nullptr;
    if (FAILED(control->GetCallLog(&log)))
        return {};
    std::string text;
    for (const wchar_t* c = log; c && *c; ++c)
        text += static_cast<char>(*c);
    SysFreeString(log);
    return text + "\n";
}

// Where a put of this value stands in a call log, or npos.
size_t PutAt(const std::string& log, const std::string& value) { return log.find(" " + value + "\n"); }

// Keys pressed and released on the keyboard, to the window in front.
void Type(const std::string& keys)
{
    std::vector<INPUT> inputs;
    for (char key : keys)
        for (bool up : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = key == '\r' ? VK_RETURN : static_cast<WORD>(key);
            input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            inputs.push_back(input);
        }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::wstring ReportText(HWND box)
{
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    return text;
}

int Serve(std::string mode)
{
    // The broadcast's destinations may follow any mode.
    std::string radioInfo;
    if (const size_t plus = mode.find("+radioinfo:"); plus != std::string::npos) {
        radioInfo = mode.substr(plus + 11);
        mode.resize(plus);
    } else if (mode.starts_with("radioinfo:")) {
        radioInfo = mode.substr(10);
    }
    // The XML-RPC port's modes are the rigctl port's with its switch and value.
    const bool xmlrpc = mode.starts_with("xmlrpc-");
    const std::string place = xmlrpc ? mode.substr(7) : mode;
    const wchar_t* const portValue = xmlrpc ? L"XmlRpcPort" : L"RigctlPort";
    uint16_t port = 0;
    SOCKET taken = BoundLoopbackSocket(port);
    if (place == "busy")
        listen(taken, 1);
    else
        closesocket(taken);
    std::cout << "port " << port << std::endl;

    bool fine = true;
    const bool rigctld = mode.starts_with("rigctld:");
    {
        TRigSimProcess rigSim;
        if (!rigctld)
            rigSim.Start();
        StoreSetting(L"On_Offlbl_Caption", L"ON");
        const std::wstring portText = std::to_wstring(port);
        if (place == "registry")
            RegSetKeyValueW(HKEY_CURRENT_USER, kProgramKey, portValue, REG_SZ, portText.c_str(),
                            static_cast<DWORD>((portText.size() + 1) * sizeof(wchar_t)));
        std::wstring switches =
            place == "registry" ? std::wstring() : (xmlrpc ? L"/xmlrpc:" : L"/rigctl:") + portText;
        if (rigctld)
            switches += L" /rigserver:rigctld:127.0.0.1:" + std::wstring(mode.begin() + 8, mode.end());
        if (!radioInfo.empty())
            switches += L" /radioinfo:" + std::wstring(radioInfo.begin(), radioInfo.end());
        // More of velkor.exe's switches, the script's (such as a short transmit watchdog).
        if (const char* more = std::getenv("RIGCTL_HOST_SWITCHES"); more && *more)
            switches += L" " + std::wstring(more, more + std::strlen(more));
        TVelkorProcess velkor({}, switches);
        // Reads answer only once a poll has read the rig in full: the second
        // tick has begun after the first ended. rigctld's reads are the
        // script's to wait for.
        if (!rigctld &&
            !WaitFor([&] { return Calls(rigSim.Control().Get(), TIface::Rig, RigSlot::GetFreq) > 1; }, 10000)) {
            std::cout << "velkor.exe never polled" << std::endl;
            fine = false;
        }
        if (place == "busy") {
            HWND box = nullptr;
            WaitFor([&] { return (box = MessageBoxOf(velkor.Id(), L"Velkor")) != nullptr; }, 10000);
            std::wcout << L"reported " << (box ? ReportText(box) : L"nothing") << std::endl;
            if (box)
                AnswerMessageBox(box, IDOK);
            fine = fine && box && velkor.MainWindow();
        }
        std::cout << "ready" << std::endl;

        TOmniRigX server;
        HWND answeredReport = nullptr;
        for (std::string command; std::cin >> command && command != "end";) {
            if (command == "hang") {
                rigSim.Control()->HangCalls(VARIANT_TRUE);
                std::cout << "hung" << std::endl;
            } else if (command == "answer") {
                if (!rigctld) // no stand-in runs beside a rigctld
                    rigSim.Control()->HangCalls(VARIANT_FALSE);
                HWND box = nullptr;
                WaitFor([&] { return (box = MessageBoxOf(velkor.Id(), L"Velkor")) != nullptr; }, 10000);
                std::wcout << L"answered " << (box ? ReportText(box) : L"nothing") << std::endl;
                if (box)
                    AnswerMessageBox(box, IDOK);
            } else if (command == "report") {
                // Not the box answered last while it goes, nor one not yet written.
                HWND box = nullptr;
                WaitFor([&] {
                    box = MessageBoxOf(velkor.Id(), L"Velkor");
                    return box && box != answeredReport && !ReportText(box).empty();
                }, 15000);
                const bool found = box && box != answeredReport && !ReportText(box).empty();
                std::wcout << L"reported " << (found ? ReportText(box) : L"nothing") << std::endl;
                if (found)
                    AnswerMessageBox(answeredReport = box, IDOK);
            } else if (command == "probe" && rigctld) {
                // What the rig server dialog's Test shows, through the program's client.
                TRigServerSetting setting;
                setting.Kind = TRigServerKind::Rigctld;
                setting.Port = static_cast<uint16_t>(std::stoi(mode.substr(8)));
                TBlockingRigCallWait wait;
                std::cout << "probe " << ProbeRigServer(setting, wait) << std::endl;
            } else if (command == "type" && !rigctld) {
                std::string keys, freq, last;
                std::cin >> keys >> freq >> last;
                HWND window = velkor.MainWindow();
                SetForegroundWindow(window);
                WaitFor([&] { return GetForegroundWindow() == window; }, 5000);
                Type(keys + "\r");
                IRigSimControl* control = rigSim.Control().Get();
                std::string log;
                const bool typed = WaitFor([&] { return PutAt(log = CallLog(control), freq) != std::string::npos; },
                                           10000);
                std::cout << "typed " << (!typed ? "never" : PutAt(log, freq) < PutAt(log, last) ? "before" : "after")
                          << std::endl;
            } else if (command == "state") {
                std::string serial;
                std::cin >> serial;
                std::cout << "state " << serial << " " << State(server) << std::endl;
            }
        }
        if (place == "registry")
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kProgramKey, portValue);
        server.Disconnect();
        fine = fine && EndVelkor(velkor.Id());
    }
    fine = fine && TRigSimProcess::WaitUntilNoneRuns(10000);
    closesocket(taken);
    std::cout << "ended" << std::endl;
    return fine ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    int code = 1;
    {
        const TComApartment com(COINIT_APARTMENTTHREADED);
        try {
            code = Serve(argv[1]);
        } catch (const std::exception& error) {
            std::cout << "failed: " << error.what() << std::endl;
        }
    }
    WSACleanup();
    return code;
}
