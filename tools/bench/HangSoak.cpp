// hangsoak.exe: the Windows side of scripts/soak-hang.sh, a benchmark tool,
// not a test. With rigsim.exe and velkor.exe (switched on, its rigctl port
// open) running, it plays a rig server that works, hangs, fails and answers
// slowly by turns while loggers and a hamlib program use velkor.exe, and
// reports what the operator would have met, phase by phase:
//   hangsoak seconds port [good hung failing slow [delay]]
// Phases of good, hung, failing and slow seconds (30, 10, 10, 30) repeat for
// the given seconds; in the slow one every call to the stand-in waits delay
// ms (1200: a fetch and a read, one call of velkor.exe's, take 80 % of its
// 3 s deadline). Meanwhile it measures how long velkor.exe's window takes to
// answer a sent message (every 100 ms) and to carry out the operator's key
// (F4, the memory list shown, then hidden, twice a second), counts its message boxes (the most
// open at once; a box is answered after 5 s, as an operator would), and runs
// two automation clients (GetFreq and IsConnected at 10 Hz each, one of them
// SetFreq every 2 s) and a rigctl client (f at 5 Hz, F every 2 s). One line
// per figure and phase on standard output: name phase worst count failed.
#include <winsock2.h>
#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "RigSim.h"
#include "Velkor_TLB.h"
#include "base/win32/Handle.h"
#include "base/win32/Socket.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kMainCaption[] = L"Velkor - Transceiver control module";

std::atomic<bool> GStop{false};

enum TPhase { kGood, kHung, kFailing, kSlow, kPhases };
const char* const kPhaseNames[kPhases] = {"good", "hung", "failing", "slow"};
std::atomic<int> GPhase{kGood};

// The worst and the count of a kind of measurement, phase by phase, shared
// by threads. A measurement counts for the phase it began in.
struct TFigure {
    struct TPart {
        double Worst = 0;
        long Count = 0;
        long Failed = 0;
    };
    std::mutex Mutex;
    TPart Parts[kPhases];
    void Add(int phase, double ms, bool failed = false)
    {
        std::lock_guard lock(Mutex);
        TPart& part = Parts[phase];
        part.Worst = std::max(part.Worst, ms);
        ++part.Count;
        part.Failed += failed ? 1 : 0;
    }
};

HWND FindWindowInProcess(DWORD process, const wchar_t* caption)
{
    for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, caption); window;
         window = FindWindowExW(nullptr, window, nullptr, caption)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process)
            return window;
    }
    return nullptr;
}

void Pinger(HWND window, TFigure& figure)
{
    while (!GStop) {
        const int phase = GPhase;
        const double start = Now();
        DWORD_PTR answer = 0;
        const bool answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer) != 0;
        figure.Add(phase, Now() - start, !answered);
        Sleep(100);
    }
}

// The operator's key goes through the window's queue as posted input does:
// F4 opens the memory list, a posted close hides it again; how long until
// each has been carried out (a box up meanwhile holds them, as it holds the
// operator's keys).
void Commander(DWORD process, HWND window, TFigure& figure)
{
    HWND list = nullptr;
    bool show = true;
    while (!GStop) {
        if (!list)
            list = FindWindowInProcess(process, L"Memories");
        const int phase = GPhase;
        const double start = Now();
        if (show) {
            PostMessageW(window, WM_KEYDOWN, VK_F4, 1);
            PostMessageW(window, WM_KEYUP, VK_F4, 0xC0000001);
        } else if (list) {
            PostMessageW(list, WM_CLOSE, 0, 0);
        }
        bool done = false;
        while (!GStop && !done && Now() - start < 10000) {
            if (!list)
                list = FindWindowInProcess(process, L"Memories");
            done = list && (IsWindowVisible(list) != FALSE) == show;
            if (!done)
                Sleep(5);
        }
        figure.Add(phase, Now() - start, !done);
        show = !show;
        Sleep(500);
    }
}

BOOL CALLBACK CollectBox(HWND window, LPARAM boxes)
{
    auto* found = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(boxes);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[16];
    if (process == found->first && IsWindowVisible(window) && GetClassNameW(window, name, 16) &&
        lstrcmpW(name, L"#32770") == 0)
        found->second.push_back(window);
    return TRUE;
}

void BoxWatcher(DWORD process, std::atomic<int>& mostAtOnce, std::atomic<int>& seen)
{
    std::vector<std::pair<HWND, double>> known;
    while (!GStop) {
        std::pair<DWORD, std::vector<HWND>> boxes{process, {}};
        EnumWindows(&CollectBox, reinterpret_cast<LPARAM>(&boxes));
        mostAtOnce = std::max<int>(mostAtOnce, static_cast<int>(boxes.second.size()));
        for (HWND box : boxes.second) {
            auto found = std::find_if(known.begin(), known.end(), [box](const auto& k) { return k.first == box; });
            if (found == known.end()) {
                known.push_back({box, Now()});
                ++seen;
            } else if (Now() - found->second > 5000) {
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
        }
        std::erase_if(known, [&](const auto& k) {
            return std::find(boxes.second.begin(), boxes.second.end(), k.first) == boxes.second.end();
        });
        Sleep(50);
    }
}

void Logger(TFigure& figure, std::atomic<long>& connected, TFigure* commands)
{
    const TComApartment com(COINIT_MULTITHREADED);
    {
        ComPtr<IVelkorCom> velkor;
        CLSID clsid{};
        if (SUCCEEDED(CLSIDFromProgID(L"Velkor.VelkorCom", &clsid)))
            CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&velkor));
        double lastCommand = Now();
        bool up = true;
        while (velkor && !GStop) {
            const int phase = GPhase;
            const double start = Now();
            LONG freq = 0;
            const HRESULT read = velkor->GetFreq(&freq);
            const LONG isConnected = velkor->IsConnected();
            figure.Add(phase, Now() - start, FAILED(read));
            connected += isConnected ? 1 : 0;
            if (commands && Now() - lastCommand >= 2000) {
                // Back and forth by 10 Hz: 1 when it reached the rig server.
                lastCommand = Now();
                const LONG sent = velkor->ChangeFreq(up ? 10 : -10);
                up = !up;
                commands->Add(phase, Now() - lastCommand, sent != 1);
            }
            Sleep(100);
        }
        if (!velkor)
            figure.Add(GPhase, 0, true);
    }
}

// One command and its one-line reply; false when none came.
bool Exchange(SOCKET s, const char* command, std::string& reply)
{
    reply.clear();
    const int length = static_cast<int>(std::strlen(command));
    bool ok = send(s, command, length, 0) == length;
    while (ok && reply.find('\n') == std::string::npos) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait{30, 0};
        char buffer[256];
        int got = 0;
        ok = select(0, &readable, nullptr, nullptr, &wait) == 1 && (got = recv(s, buffer, sizeof buffer, 0)) > 0;
        if (ok)
            reply.append(buffer, static_cast<size_t>(got));
    }
    return ok;
}

void RigctlClient(unsigned short port, TFigure& figure, std::atomic<long>& errors, TFigure& commands)
{
    const TWinsock winsock; // goes after the socket
    TSocketHandle s;
    double lastCommand = Now();
    bool up = true;
    while (!GStop) {
        if (!s) {
            s.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(port);
            if (connect(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                s.Reset();
                figure.Add(GPhase, 0, true);
                Sleep(1000);
                continue;
            }
        }
        int phase = GPhase;
        double start = Now();
        std::string reply;
        // One line: the frequency, or an error code.
        bool ok = Exchange(s.Get(), "f\n", reply);
        figure.Add(phase, Now() - start, !ok);
        if (ok && reply.starts_with("RPRT"))
            ++errors;
        if (ok && Now() - lastCommand >= 2000) {
            lastCommand = Now();
            phase = GPhase;
            start = Now();
            ok = Exchange(s.Get(), up ? "F 14074010\n" : "F 14074000\n", reply);
            up = !up;
            commands.Add(phase, Now() - start, !ok || reply != "RPRT 0\n");
        }
        if (!ok)
            s.Reset();
        Sleep(200);
    }
}

void Print(const char* name, TFigure& figure)
{
    for (int phase = 0; phase < kPhases; ++phase) {
        const TFigure::TPart& part = figure.Parts[phase];
        std::printf("%s %s %.1f %ld %ld\n", name, kPhaseNames[phase], part.Worst, part.Count, part.Failed);
    }
}

int Run(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: hangsoak seconds port [good hung failing slow [delay]]\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    const auto port = static_cast<unsigned short>(std::atoi(argv[2]));
    const double lengths[kPhases] = {argc > 3 ? std::atof(argv[3]) : 30, argc > 4 ? std::atof(argv[4]) : 10,
                                     argc > 5 ? std::atof(argv[5]) : 10, argc > 6 ? std::atof(argv[6]) : 30};
    const long delay = argc > 7 ? std::atol(argv[7]) : 1200;

    ComPtr<IUnknown> active;
    ComPtr<IRigSimControl> rigsim;
    if (FAILED(GetActiveObject(__uuidof(OmniRigX), nullptr, &active)) || FAILED(active.As(&rigsim))) {
        std::fprintf(stderr, "hangsoak: rigsim.exe does not answer\n");
        return 1;
    }
    HWND window = FindWindowW(nullptr, kMainCaption);
    DWORD process = 0;
    if (!window || !GetWindowThreadProcessId(window, &process)) {
        std::fprintf(stderr, "hangsoak: velkor.exe's window is not there\n");
        return 1;
    }

    TFigure windowAnswers, windowCommands, loggers, loggerCommands, rigctl, rigctlCommands;
    std::atomic<int> mostBoxes{0}, boxes{0};
    std::atomic<long> connected{0}, rigctlErrors{0};
    std::vector<std::thread> threads;
    threads.emplace_back(Pinger, window, std::ref(windowAnswers));
    threads.emplace_back(Commander, process, window, std::ref(windowCommands));
    threads.emplace_back(BoxWatcher, process, std::ref(mostBoxes), std::ref(boxes));
    threads.emplace_back(Logger, std::ref(loggers), std::ref(connected), &loggerCommands);
    threads.emplace_back(Logger, std::ref(loggers), std::ref(connected), nullptr);
    threads.emplace_back(RigctlClient, port, std::ref(rigctl), std::ref(rigctlErrors), std::ref(rigctlCommands));

    double cycleLength = 0;
    for (double length : lengths)
        cycleLength += length;
    const double start = Now();
    int phases = 0;
    int last = -1;
    while (Now() - start < seconds * 1000) {
        double cycle = std::fmod((Now() - start) / 1000, cycleLength);
        int phase = 0;
        while (phase < kPhases - 1 && cycle >= lengths[phase])
            cycle -= lengths[phase++];
        if (phase != last) {
            last = phase;
            ++phases;
            rigsim->HangCalls(phase == kHung ? VARIANT_TRUE : VARIANT_FALSE);
            BSTR text = SysAllocString(L"Rig is not responding");
            rigsim->FailCalls(phase == kFailing ? -1 : 0, phase == kFailing ? E_FAIL : S_OK, text);
            SysFreeString(text);
            rigsim->SetCallDelay(phase == kSlow ? delay : 0);
            GPhase = phase;
            std::fprintf(stderr, "hangsoak: %.0f s: %s\n", (Now() - start) / 1000, kPhaseNames[phase]);
        }
        Sleep(100);
    }
    rigsim->HangCalls(VARIANT_FALSE);
    rigsim->FailCalls(0, S_OK, nullptr);
    rigsim->SetCallDelay(0);
    GStop = true;
    for (std::thread& thread : threads)
        thread.join();

    std::printf("phases %d\n", phases);
    Print("window_answer_ms", windowAnswers);
    Print("window_command_ms", windowCommands);
    std::printf("boxes_most_at_once %d\nboxes_seen %d\n", mostBoxes.load(), boxes.load());
    Print("logger_call_ms", loggers);
    Print("logger_command_ms", loggerCommands);
    std::printf("logger_connected_reads %ld\n", connected.load());
    Print("rigctl_f_ms", rigctl);
    Print("rigctl_F_ms", rigctlCommands);
    std::printf("rigctl_error_replies %ld\n", rigctlErrors.load());
    return 0;
}

} // namespace

int main(int argc, char** argv) { return BenchMain("hangsoak", argc, argv, Run); }
