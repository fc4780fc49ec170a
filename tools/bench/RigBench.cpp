// rigbench.exe: the Windows side of scripts/bench.sh. A console program that
// measures calls into a running rigsim.exe and reads its call counters; it is
// a benchmark tool, not a test.
//   rigbench wait                 waits until rigsim.exe answers; prints its pid
//   rigbench calls [reads] [ticks]
//                                 times a trivial call on a held pointer (the
//                                 floor), a read on a held rig, the client's
//                                 fetch-read-release and a whole poll tick
//   rigbench counts               prints rigsim.exe's call counters
//   rigbench reports              prints how many error reports velkor.exe shows
//   rigbench close                closes velkor.exe's window
//   rigbench paints               prints how often velkor.exe's main window painted
//   rigbench latency [changes]    changes the stand-in's frequency and times each
//                                 change until the main window has painted it
#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "RigSim.h"
#include "rig/TransceiverUnit.h"
#include "rig/win32/OmniRigX.h"
#include "ui/Forms.h"
#include "ui/HeadlessHost.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kMainCaption[] = L"Velkor - Transceiver control module";

ComPtr<IRigSimControl> FindRigSim()
{
    ComPtr<IUnknown> active;
    ComPtr<IRigSimControl> control;
    if (SUCCEEDED(GetActiveObject(__uuidof(OmniRigX), nullptr, &active)) && active)
        active.As(&control);
    return control;
}

double Now()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / frequency;
}

// Times count runs of body after a few unmeasured ones and prints one line:
// name, median, 95th percentile and mean in milliseconds, count.
bool Measure(const char* name, int count, const std::function<void()>& body)
{
    try {
        for (int i = 0; i < 5; ++i)
            body();
        std::vector<double> times;
        times.reserve(static_cast<size_t>(count));
        double total = 0;
        for (int i = 0; i < count; ++i) {
            const double start = Now();
            body();
            times.push_back(Now() - start);
            total += times.back();
        }
        std::sort(times.begin(), times.end());
        const auto at = [&](double share) {
            return times[std::min(times.size() - 1, static_cast<size_t>(share * static_cast<double>(times.size())))];
        };
        std::printf("%s %.4f %.4f %.4f %d\n", name, at(0.5), at(0.95), total / count, count);
        std::fflush(stdout);
        return true;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "rigbench: %s failed: %s\n", name, error.what());
        return false;
    }
}

void Check(HRESULT hr, const char* what)
{
    if (FAILED(hr)) {
        char text[128];
        std::snprintf(text, sizeof(text), "%s failed 0x%08lX", what, static_cast<unsigned long>(hr));
        throw std::runtime_error(text);
    }
}

int Calls(int reads, int ticks)
{
    ComPtr<IRigSimControl> control = FindRigSim();
    if (!control) {
        std::fprintf(stderr, "rigbench: rigsim.exe does not answer\n");
        return 1;
    }
    ComPtr<IOmniRigX> server;
    Check(control.As(&server), "IOmniRigX");
    ComPtr<IRigX> heldRig;
    Check(server->get_Rig(&heldRig), "get_Rig");

    bool ok = Measure("floor", reads, [&] {
        LONG pid = 0;
        Check(control->GetServerProcessId(&pid), "GetServerProcessId");
    });
    ok &= Measure("held_read", reads, [&] {
        LONG freq = 0;
        Check(heldRig->get_Freq(&freq), "get_Freq");
    });
    heldRig.Reset();

    // The program's own client, as a poll tick uses it.
    TOmniRigX client;
    ok &= Measure("fetch_read", reads, [&] { client.Rig()->GetFreq(); });

    THeadlessHost host;
    TApplication app(host);
    auto* trx = new TTransceiver(&app, std::make_unique<TOmniRigX>());
    // Its timer never fires here (the host's clock stands still): the ticks
    // are called directly, and a tick that read the rig in full says so.
    trx->StartPolling();
    ok &= Measure("tick", ticks, [&] {
        trx->TimTimer(trx->Tim);
        if (!trx->Get_Connected())
            throw std::runtime_error("a tick did not read the rig in full");
    });
    delete trx;
    return ok ? 0 : 1;
}

long Count(IRigSimControl* control, long iface, long slot)
{
    LONG count = -1;
    Check(control->GetCallCount(iface, slot, &count), "GetCallCount");
    return count;
}

// The bench's Wine session runs one velkor.exe.
std::vector<HWND> Windows(const wchar_t* windowClass, const wchar_t* caption)
{
    std::vector<HWND> found;
    for (HWND window = FindWindowExW(nullptr, nullptr, windowClass, caption); window;
         window = FindWindowExW(nullptr, window, windowClass, caption))
        found.push_back(window);
    return found;
}

// How often the main window has painted; -1 without one.
long Paints()
{
    static const UINT message = RegisterWindowMessageW(L"Velkor.PaintCount");
    const std::vector<HWND> windows = Windows(nullptr, kMainCaption);
    DWORD_PTR paints = 0;
    if (windows.empty() || !SendMessageTimeoutW(windows.front(), message, 0, 0, SMTO_ABORTIFHUNG, 5000, &paints))
        return -1;
    return static_cast<long>(paints);
}

// From a change of the radio's frequency to the main window's paint of it,
// once per change: median and worst in milliseconds.
int Latency(int changes)
{
    ComPtr<IRigSimControl> control = FindRigSim();
    if (!control || Paints() < 0) {
        std::fprintf(stderr, "rigbench: rigsim.exe or velkor.exe's window does not answer\n");
        return 1;
    }
    std::vector<double> times;
    for (int i = 0; i < changes; ++i) {
        Sleep(500); // settled: the display shows the last change
        const long before = Paints();
        const double start = Now();
        control->SetFreq(14200000 + (i % 2 ? 0 : 1230));
        while (Paints() == before && Now() - start < 5000)
            Sleep(1);
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    std::printf("latency %.1f %.1f\n", times[times.size() / 2], times.back());
    return 0;
}

int Run(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "wait") {
        for (int i = 0; i < 400; ++i) {
            if (ComPtr<IRigSimControl> control = FindRigSim()) {
                LONG pid = 0;
                control->GetServerProcessId(&pid);
                std::printf("%ld\n", static_cast<long>(pid));
                return 0;
            }
            Sleep(50);
        }
        std::fprintf(stderr, "rigbench: rigsim.exe did not answer within 20 s\n");
        return 1;
    }
    if (mode == "calls")
        return Calls(argc > 2 ? std::atoi(argv[2]) : 2000, argc > 3 ? std::atoi(argv[3]) : 200);
    if (mode == "counts") {
        ComPtr<IRigSimControl> control = FindRigSim();
        if (!control) {
            std::fprintf(stderr, "rigbench: rigsim.exe does not answer\n");
            return 1;
        }
        std::printf("fetches %ld freq %ld vfo %ld mode %ld\n", Count(control.Get(), 0, 9), Count(control.Get(), 1, 14),
                    Count(control.Get(), 1, 24), Count(control.Get(), 1, 34));
        return 0;
    }
    if (mode == "reports") {
        std::printf("%zu\n", Windows(L"#32770", L"Velkor").size());
        return 0;
    }
    if (mode == "paints") {
        std::printf("%ld\n", Paints());
        return 0;
    }
    if (mode == "latency")
        return Latency(argc > 2 ? std::max(1, std::atoi(argv[2])) : 20);
    if (mode == "close") {
        for (HWND window : Windows(nullptr, kMainCaption))
            PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    std::fprintf(stderr, "usage: rigbench wait|calls [reads] [ticks]|counts|reports|close|paints|latency [changes]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    int code = 1;
    try {
        code = Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "rigbench: %s\n", error.what());
    }
    CoUninitialize();
    return code;
}
