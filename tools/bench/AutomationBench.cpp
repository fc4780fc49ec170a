// automationbench.exe: the automation server's side of scripts/bench.sh. A
// console program that acts as a logger calling velkor.exe through
// Velkor.VelkorCom; a benchmark tool, not a test.
//   automationbench calls [count]   times the floor (a trivial call into
//                                   rigsim.exe), GetFreq on a held object, and
//                                   create-call-release against velkor.exe and
//                                   against rigsim.exe
//   automationbench poll seconds    one client calling GetFreq and GetMode at
//                                   10 Hz on one object
//   automationbench churn seconds   one client that creates an object, calls
//                                   it once and releases it, 10 times a second
//   automationbench churn-rigsim seconds
//                                   the same with rigsim.exe's class
//   automationbench pid             velkor.exe's process id (its main window's)
//   automationbench close           closes velkor.exe's window; "ended" when
//                                   it ended without the closing warning,
//                                   "warning" when the warning came (then Yes)
#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "RigSim.h"
#include "Velkor_TLB.h"
#include "base/win32/ComUtil.h"
#include "base/win32/Handle.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kMainCaption[] = L"Velkor - Transceiver control module";
constexpr DWORD kPeriod = 100; // ms: 10 calls a second

HRESULT CreateVelkor(ComPtr<IVelkorCom>& object)
{
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(L"Velkor.VelkorCom", &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&object));
    return hr;
}

// Times count runs of body after a few unmeasured ones: one line of name,
// median, 95th percentile, mean (ms) and count. False when a run failed.
bool Measure(const char* name, int count, const std::function<HRESULT()>& body)
{
    for (int i = 0; i < 5; ++i)
        if (FAILED(body()))
            return false;
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const double start = Now();
        if (FAILED(body())) {
            std::fprintf(stderr, "automationbench: %s failed\n", name);
            return false;
        }
        times.push_back(Now() - start);
    }
    PrintTimes(name, std::move(times));
    return true;
}

int Calls(int count)
{
    ComPtr<IUnknown> active;
    ComPtr<IRigSimControl> rigsim;
    if (FAILED(GetActiveObject(__uuidof(OmniRigX), nullptr, &active)) || FAILED(active.As(&rigsim))) {
        std::fprintf(stderr, "automationbench: rigsim.exe does not answer\n");
        return 1;
    }
    ComPtr<IVelkorCom> velkor;
    if (FAILED(CreateVelkor(velkor))) {
        std::fprintf(stderr, "automationbench: Velkor.VelkorCom cannot be created\n");
        return 1;
    }
    bool ok = Measure("floor", count, [&] {
        LONG pid = 0;
        return rigsim->GetServerProcessId(&pid);
    });
    ok = ok && Measure("getfreq", count, [&] {
        LONG freq = 0;
        return velkor->GetFreq(&freq);
    });
    // A logger that creates an object for each call, and the same against
    // rigsim.exe's class: Wine's own cost of an activation.
    const int cycles = std::max(20, count / 20);
    ok = ok && Measure("create", cycles, [&] {
        ComPtr<IVelkorCom> object;
        LONG freq = 0;
        const HRESULT hr = CreateVelkor(object);
        return FAILED(hr) ? hr : object->GetFreq(&freq);
    });
    ok = ok && Measure("create_rigsim", cycles, [&] {
        ComPtr<IRigSimControl> object;
        LONG pid = 0;
        const HRESULT hr = CoCreateInstance(__uuidof(OmniRigX), nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&object));
        return FAILED(hr) ? hr : object->GetServerProcessId(&pid);
    });
    return ok ? 0 : 1;
}

// Runs step every kPeriod ms for seconds; prints what it counted and the
// slowest step, which is where a program that froze would show.
int Paced(const char* name, int seconds, const std::function<int()>& step)
{
    long steps = 0, failed = 0;
    double slowest = 0;
    const double end = Now() + seconds * 1000.0;
    double next = Now();
    while (Now() < end) {
        const double start = Now();
        failed += step();
        ++steps;
        slowest = std::max(slowest, Now() - start);
        next += kPeriod;
        const double wait = next - Now();
        if (wait > 0)
            Sleep(static_cast<DWORD>(wait));
    }
    std::printf("%s %ld failed %ld slowest %.1f\n", name, steps, failed, slowest);
    return 0;
}

int Poll(int seconds)
{
    ComPtr<IVelkorCom> velkor;
    if (FAILED(CreateVelkor(velkor))) {
        std::printf("poll 0 failed 1 slowest 0\n");
        return 1;
    }
    return Paced("poll", seconds, [&] {
        LONG freq = 0;
        TBStr mode;
        return (FAILED(velkor->GetFreq(&freq)) ? 1 : 0) + (FAILED(velkor->GetMode(mode.Out())) ? 1 : 0);
    });
}

int Churn(int seconds)
{
    return Paced("churn", seconds, [&] {
        ComPtr<IVelkorCom> velkor;
        LONG freq = 0;
        return FAILED(CreateVelkor(velkor)) || FAILED(velkor->GetFreq(&freq)) ? 1 : 0;
    });
}

// The same pattern against rigsim.exe's class: what Wine's own activation
// costs a server, for comparison.
int ChurnRigSim(int seconds)
{
    return Paced("churn", seconds, [&] {
        ComPtr<IRigSimControl> rigsim;
        LONG pid = 0;
        return FAILED(CoCreateInstance(__uuidof(OmniRigX), nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&rigsim))) ||
                       FAILED(rigsim->GetServerProcessId(&pid))
                   ? 1
                   : 0;
    });
}

HWND VelkorWindow() { return FindWindowW(nullptr, kMainCaption); }

int Close()
{
    HWND window = VelkorWindow();
    if (!window) {
        std::printf("none\n");
        return 1;
    }
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    const TKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    PostMessageW(window, WM_CLOSE, 0, 0);
    const char* outcome = "running";
    for (int i = 0; i < 200 && std::string(outcome) == "running"; ++i) {
        if (process && WaitForSingleObject(process.Get(), 50) == WAIT_OBJECT_0) {
            outcome = "ended";
        } else if (HWND box = FindWindowW(L"#32770", L"COM Server Warning")) {
            outcome = "warning";
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
        }
    }
    std::printf("%s\n", outcome);
    return 0;
}

int Run(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    const int number = argc > 2 ? std::atoi(argv[2]) : 0;
    if (mode == "calls")
        return Calls(number > 0 ? number : 2000);
    if (mode == "poll")
        return Poll(number > 0 ? number : 60);
    if (mode == "churn")
        return Churn(number > 0 ? number : 600);
    if (mode == "churn-rigsim")
        return ChurnRigSim(number > 0 ? number : 600);
    if (mode == "pid") {
        DWORD id = 0;
        if (HWND window = VelkorWindow())
            GetWindowThreadProcessId(window, &id);
        std::printf("%lu\n", static_cast<unsigned long>(id));
        return id ? 0 : 1;
    }
    if (mode == "close")
        return Close();
    std::fprintf(stderr, "usage: automationbench calls [count]|poll seconds|churn seconds|churn-rigsim seconds|pid|close\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) { return BenchMain("automationbench", argc, argv, Run); }
