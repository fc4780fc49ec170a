// hangsoak.exe: the Windows side of scripts/soak-hang.sh, a benchmark tool,
// not a test. With rigsim.exe and velkor.exe (switched on, its rigctl port
// open) running, it plays a rig server that works, hangs and fails by turns
// while loggers and a hamlib program read through velkor.exe, and reports
// what the operator would have met:
//   hangsoak seconds port [good hung failing]
// Phases of good, hung and failing seconds (30, 10, 10) repeat for the given
// seconds. Meanwhile it measures how long velkor.exe's window takes to answer
// a message (every 100 ms), counts its message boxes (the most open at once;
// a box is answered after 5 s, as an operator would), and runs two
// automation clients (GetFreq and IsConnected at 10 Hz each) and a rigctl
// client (f at 5 Hz). One line per figure on standard output.
#include <winsock2.h>
#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

// The worst and the count of a kind of measurement, shared by threads.
struct TFigure {
    std::mutex Mutex;
    double Worst = 0;
    long Count = 0;
    long Failed = 0;
    void Add(double ms, bool failed = false)
    {
        std::lock_guard lock(Mutex);
        Worst = std::max(Worst, ms);
        ++Count;
        Failed += failed ? 1 : 0;
    }
};

void Pinger(HWND window, TFigure& figure)
{
    while (!GStop) {
        const double start = Now();
        DWORD_PTR answer = 0;
        const bool answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer) != 0;
        figure.Add(Now() - start, !answered);
        Sleep(100);
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

void Logger(TFigure& figure, std::atomic<long>& connected)
{
    const TComApartment com(COINIT_MULTITHREADED);
    {
        ComPtr<IVelkorCom> velkor;
        CLSID clsid{};
        if (SUCCEEDED(CLSIDFromProgID(L"Velkor.VelkorCom", &clsid)))
            CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&velkor));
        while (velkor && !GStop) {
            const double start = Now();
            LONG freq = 0;
            const HRESULT read = velkor->GetFreq(&freq);
            const LONG isConnected = velkor->IsConnected();
            figure.Add(Now() - start, FAILED(read));
            connected += isConnected ? 1 : 0;
            Sleep(100);
        }
        if (!velkor)
            figure.Add(0, true);
    }
}

void RigctlClient(unsigned short port, TFigure& figure, std::atomic<long>& errors)
{
    const TWinsock winsock; // goes after the socket
    TSocketHandle s;
    while (!GStop) {
        if (!s) {
            s.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(port);
            if (connect(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                s.Reset();
                figure.Add(0, true);
                Sleep(1000);
                continue;
            }
        }
        const double start = Now();
        std::string reply;
        bool ok = send(s.Get(), "f\n", 2, 0) == 2;
        // One line: the frequency, or an error code.
        while (ok && reply.find('\n') == std::string::npos) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(s.Get(), &readable);
            timeval wait{30, 0};
            char buffer[256];
            int got = 0;
            ok = select(0, &readable, nullptr, nullptr, &wait) == 1 &&
                 (got = recv(s.Get(), buffer, sizeof buffer, 0)) > 0;
            if (ok)
                reply.append(buffer, static_cast<size_t>(got));
        }
        figure.Add(Now() - start, !ok);
        if (ok && reply.starts_with("RPRT"))
            ++errors;
        if (!ok)
            s.Reset();
        Sleep(200);
    }
}

void Print(const char* name, TFigure& figure)
{
    std::printf("%s %.1f %ld %ld\n", name, figure.Worst, figure.Count, figure.Failed);
}

int Run(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: hangsoak seconds port [good hung failing]\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    const auto port = static_cast<unsigned short>(std::atoi(argv[2]));
    const double good = argc > 3 ? std::atof(argv[3]) : 30;
    const double hung = argc > 4 ? std::atof(argv[4]) : 10;
    const double failing = argc > 5 ? std::atof(argv[5]) : 10;

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

    TFigure windowAnswers, loggers, rigctl;
    std::atomic<int> mostBoxes{0}, boxes{0};
    std::atomic<long> connected{0}, rigctlErrors{0};
    std::vector<std::thread> threads;
    threads.emplace_back(Pinger, window, std::ref(windowAnswers));
    threads.emplace_back(BoxWatcher, process, std::ref(mostBoxes), std::ref(boxes));
    threads.emplace_back(Logger, std::ref(loggers), std::ref(connected));
    threads.emplace_back(Logger, std::ref(loggers), std::ref(connected));
    threads.emplace_back(RigctlClient, port, std::ref(rigctl), std::ref(rigctlErrors));

    const double start = Now();
    int phases = 0;
    int last = -1;
    while (Now() - start < seconds * 1000) {
        const double cycle = std::fmod((Now() - start) / 1000, good + hung + failing);
        const int phase = cycle < good ? 0 : cycle < good + hung ? 1 : 2;
        if (phase != last) {
            last = phase;
            ++phases;
            rigsim->HangCalls(phase == 1 ? VARIANT_TRUE : VARIANT_FALSE);
            BSTR text = SysAllocString(L"Rig is not responding");
            rigsim->FailCalls(phase == 2 ? -1 : 0, phase == 2 ? E_FAIL : S_OK, text);
            SysFreeString(text);
            std::fprintf(stderr, "hangsoak: %.0f s: %s\n", (Now() - start) / 1000,
                         phase == 0 ? "good" : phase == 1 ? "hung" : "failing");
        }
        Sleep(100);
    }
    rigsim->HangCalls(VARIANT_FALSE);
    rigsim->FailCalls(0, S_OK, nullptr);
    GStop = true;
    for (std::thread& thread : threads)
        thread.join();

    std::printf("phases %d\n", phases);
    Print("window_answer_ms", windowAnswers);
    std::printf("boxes_most_at_once %d\nboxes_seen %d\n", mostBoxes.load(), boxes.load());
    Print("logger_call_ms", loggers);
    std::printf("logger_connected_reads %ld\n", connected.load());
    Print("rigctl_f_ms", rigctl);
    std::printf("rigctl_error_replies %ld\n", rigctlErrors.load());
    return 0;
}

} // namespace

int main(int argc, char** argv) { return BenchMain("hangsoak", argc, argv, Run); }
