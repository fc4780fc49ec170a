// rigbench.exe: the Windows side of scripts/bench.sh. A console program that
// measures calls into a running rigsim.exe and reads its call counters; it is
// a benchmark tool, not a test.
//   rigbench wait                 waits until rigsim.exe answers; prints its pid
//   rigbench calls [reads] [ticks]
//                                 times a trivial call on a held pointer (the
//                                 floor), the client's fetch-read-release, a
//                                 whole poll tick as velkor.exe polls (read on
//                                 the rig server's thread, the reading handed
//                                 back) and one of the client alone, taking
//                                 turns, then a read on a held rig
//   rigbench counts               prints rigsim.exe's call counters
//   rigbench reports              prints how many error reports velkor.exe shows
//   rigbench close                closes velkor.exe's window
//   rigbench rigctld PORT [ticks] times one "f" round trip to the rigctld on
//                                 127.0.0.1:PORT (the floor), a whole poll
//                                 tick through the rigctld client alone, and
//                                 one as velkor.exe polls (the client on the
//                                 rig server's thread), taking turns
//   rigbench window [seconds] [changes]
//                                 runs the main window in this process as
//                                 velkor.exe makes it, polling rigsim.exe;
//                                 prints its paints over the seconds at a
//                                 steady frequency, then changes the
//                                 stand-in's frequency and times each change
//                                 until the window has painted it
#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "RigSim.h"
#include "RigSimSlots.h"
#include "app/win32/MainWindow.h"
#include "platform/win32/Win32Registry.h"
#include "rig/TransceiverUnit.h"
#include "rig/win32/OmniRigX.h"
#include "rig/win32/OmniRigXThread.h"
#include "rig/win32/RigServers.h"
#include "rig/win32/RigctldSocket.h"
#include "ui/Forms.h"
#include "ui/win32/Win32Host.h"

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

// The transceiver's poll host here: its timer never fires, a failed tick
// shows as a tick that did not read the rig in full, and a reading handed
// back from the rig server's thread waits for the bench's thread to take it.
class TStillPollHost : public IPollHost {
public:
    void StartTimer(TTimer&, uint32_t) override {}
    void StopTimer(TTimer&) override {}
    void ReportPollFailure(std::exception_ptr) override {}
    void Deliver(std::function<void()> call) override
    {
        std::lock_guard lock(FMutex);
        FCalls.push_back(std::move(call));
        FCame.notify_all();
    }
    // Waits up to 10 s for what was handed back, and runs it here.
    void RunDelivered()
    {
        std::vector<std::function<void()>> calls;
        {
            std::unique_lock lock(FMutex);
            if (!FCame.wait_for(lock, std::chrono::seconds(10), [this] { return !FCalls.empty(); }))
                throw std::runtime_error("no reading came back from the rig server's thread");
            calls.swap(FCalls);
        }
        for (const std::function<void()>& call : calls)
            call();
    }

private:
    std::mutex FMutex;
    std::condition_variable FCame;
    std::vector<std::function<void()>> FCalls;
};

// Times of one kind of call.
struct TSamples {
    const char* Name;
    std::function<void()> Body;
    int PerRound;
    std::vector<double> Times;

    void Run(int count)
    {
        for (int i = 0; i < count; ++i) {
            const double start = Now();
            Body();
            Times.push_back(Now() - start);
        }
    }
    // name, median, 95th percentile and mean in milliseconds, count.
    void Print() const { PrintTimes(Name, Times); }
};

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

    // The program's own client, as a poll tick uses it, and transceivers
    // whose timers never fire here: their ticks are called directly, and a
    // tick that read the rig in full says so. One polls as velkor.exe does,
    // on the rig server's thread; the other through the client alone.
    TOmniRigX client;
    TBlockingRigCallWait wait;
    auto pollHost = std::make_unique<TStillPollHost>();
    TStillPollHost& delivered = *pollHost;
    auto trx = std::make_unique<TTransceiver>(nullptr, std::move(pollHost), MakeOmniRigXThread(wait));
    trx->StartPolling();
    auto direct = std::make_unique<TTransceiver>(nullptr, std::make_unique<TStillPollHost>(),
                                                 std::make_unique<TOmniRigX>());
    direct->StartPolling();

    // The kinds take turns in rounds, so that a machine busy with other work
    // meanwhile weighs on all of them alike.
    constexpr int kRounds = 20;
    std::vector<TSamples> kinds = {
        {"floor", [&] {
             LONG pid = 0;
             Check(control->GetServerProcessId(&pid), "GetServerProcessId");
         }, std::max(1, reads / kRounds), {}},
        {"fetch_read", [&] { client.Rig()->GetFreq(); }, std::max(1, reads / kRounds), {}},
        {"tick", [&] {
             trx->TimTimer(trx->Tim);
             delivered.RunDelivered();
             if (!trx->Get_Connected())
                 throw std::runtime_error("a tick did not read the rig in full");
         }, std::max(1, ticks / kRounds), {}},
        {"tick_direct", [&] {
             direct->TimTimer(direct->Tim);
             if (!direct->Get_Connected())
                 throw std::runtime_error("a tick of the client alone did not read the rig in full");
         }, std::max(1, ticks / kRounds), {}},
    };
    try {
        for (TSamples& kind : kinds) {
            for (int i = 0; i < 5; ++i) // unmeasured: connections, proxies, caches
                kind.Body();
        }
        for (int round = 0; round < kRounds; ++round)
            for (TSamples& kind : kinds)
                kind.Run(kind.PerRound);
        // Apart and last: while this process holds a rig, the rig fetched by
        // the others would come through the proxy already built for it.
        ComPtr<IRigX> heldRig;
        Check(server->get_Rig(&heldRig), "get_Rig");
        kinds.push_back({"held_read", [&] {
                             LONG freq = 0;
                             Check(heldRig->get_Freq(&freq), "get_Freq");
                         }, reads, {}});
        kinds.back().Body();
        kinds.back().Run(reads);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "rigbench: the timed calls failed: %s\n", error.what());
        return 1;
    }
    trx.reset(); // the rig server is let go before the figures are printed
    direct.reset();
    for (TSamples& kind : kinds)
        kind.Print();
    std::fflush(stdout);
    return 0;
}

// One "f" round trip on a connection of its own (the floor) against a tick
// of the transceiver polling the same rigctld through the program's client,
// alone and on the rig server's thread as velkor.exe polls it.
int RigctldCalls(uint16_t port, int ticks)
{
    TRigServerSetting setting;
    setting.Kind = TRigServerKind::Rigctld;
    setting.Port = port;
    TBlockingRigCallWait wait;
    auto pollHost = std::make_unique<TStillPollHost>();
    TStillPollHost& delivered = *pollHost;
    auto trx = std::make_unique<TTransceiver>(nullptr, std::move(pollHost), MakeRigServerThread(setting, wait));
    trx->StartPolling();
    const auto link = MakeRigctldSocket();
    auto direct = std::make_unique<TTransceiver>(nullptr, std::make_unique<TStillPollHost>(),
                                              std::make_unique<TRigctldServer>(MakeRigctldSocket(), "127.0.0.1", port));
    direct->StartPolling();
    const auto deadline = [] { return TRigctldClock::now() + std::chrono::seconds(3); };
    constexpr int kRounds = 20;
    std::vector<TSamples> kinds = {
        {"rigctld_floor", [&] {
             link->Send("f\n", deadline());
             link->ReadLine(deadline());
         }, std::max(1, ticks / kRounds), {}},
        {"rigctld_direct", [&] {
             direct->TimTimer(direct->Tim);
         }, std::max(1, ticks / kRounds), {}},
        {"rigctld_tick", [&] {
             trx->TimTimer(trx->Tim);
             delivered.RunDelivered();
             if (!trx->Get_Connected())
                 throw std::runtime_error("a tick did not read rigctld in full");
         }, std::max(1, ticks / kRounds), {}},
    };
    try {
        link->Connect("127.0.0.1", port, deadline());
        for (TSamples& kind : kinds)
            for (int i = 0; i < 5; ++i) // unmeasured: the connections
                kind.Body();
        for (int round = 0; round < kRounds; ++round)
            for (TSamples& kind : kinds)
                kind.Run(kind.PerRound);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "rigbench: the rigctld calls failed: %s\n", error.what());
        return 1;
    }
    trx.reset();
    for (TSamples& kind : kinds)
        kind.Print();
    std::fflush(stdout);
    return 0;
}

long Count(IRigSimControl* control, TIface iface, int slot)
{
    LONG count = -1;
    Check(control->GetCallCount(static_cast<LONG>(iface), slot, &count), "GetCallCount");
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

// The main window's paints: its window procedure is wrapped, and every
// WM_PAINT the system hands it, however it is delivered, counts.
std::atomic<long> GPaints{0};
WNDPROC GFormProc = nullptr;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC formProc = GFormProc;
    if (message == WM_PAINT)
        ++GPaints;
    else if (message == WM_NCDESTROY)
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(formProc));
    return CallWindowProcW(formProc, window, message, wParam, lParam);
}

struct TWindowFigures {
    long Paints = 0;
    double Seconds = 0;
    std::vector<double> Painted; // from a change of the radio to its paint
    std::vector<double> Polled;  // to the poll that read it
};

// On a thread of its own while the window's thread serves the window: once
// the window polls, its paints over the seconds, then each change of the
// stand-in's frequency until the window has painted it. Raises what failed.
void MeasureWindow(int seconds, int changes, TWindowFigures& figures)
{
    ComPtr<IRigSimControl> control = FindRigSim();
    if (!control)
        throw std::runtime_error("rigsim.exe does not answer");
    const long reads = Count(control.Get(), TIface::Rig, RigSlot::GetFreq);
    Sleep(5000); // shown, switched on, polling
    if (Count(control.Get(), TIface::Rig, RigSlot::GetFreq) == reads)
        throw std::runtime_error("the window does not poll rigsim.exe");
    const long paints = GPaints;
    const double start = Now();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    figures.Paints = GPaints - paints;
    figures.Seconds = (Now() - start) / 1000;
    for (int i = 0; i < changes; ++i) {
        Sleep(500); // settled: the display shows the last change
        const long before = GPaints;
        const double changed = Now();
        Check(control->SetFreq(14200000 + (i % 2 ? 0 : 1230)), "SetFreq");
        const long freqReads = Count(control.Get(), TIface::Rig, RigSlot::GetFreq);
        double read = 0;
        while (GPaints == before && Now() - changed < 5000) {
            if (!read && Count(control.Get(), TIface::Rig, RigSlot::GetFreq) != freqReads)
                read = Now() - changed;
            Sleep(1);
        }
        figures.Painted.push_back(Now() - changed);
        figures.Polled.push_back(read ? read : figures.Painted.back());
    }
}

int Window(int seconds, int changes)
{
    // The stored settings switch it on at its first show, as after a run
    // closed switched on; the bands file is the current folder's.
    TWin32Registry registry;
    TWindowFigures figures;
    std::string failure;
    {
        TWin32Host host;
        TComRigCallWait rigWait([&host] { return host.Ending(); });
        TApplication app(host);
        app.SetTitle("Velkor");
        HWND window = TWin32Host::WindowOf(*MakeMainWindow(app, registry, rigWait));
        GFormProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
        std::thread measure([&] {
            {
                const TComApartment com(COINIT_MULTITHREADED);
                try {
                    MeasureWindow(seconds, changes, figures);
                } catch (const std::exception& error) {
                    failure = error.what();
                }
            }
            PostMessageW(window, WM_CLOSE, 0, 0);
        });
        app.Run();
        measure.join();
    }
    if (!failure.empty()) {
        std::fprintf(stderr, "rigbench: the window's figures failed: %s\n", failure.c_str());
        return 1;
    }
    std::sort(figures.Painted.begin(), figures.Painted.end());
    std::sort(figures.Polled.begin(), figures.Polled.end());
    std::printf("paints %ld %.3f\n", figures.Paints, figures.Seconds);
    if (!figures.Painted.empty())
        std::printf("latency %.1f %.1f %.1f %.1f\n", figures.Painted[figures.Painted.size() / 2],
                    figures.Painted.back(), figures.Polled[figures.Polled.size() / 2], figures.Polled.back());
    std::fflush(stdout);
    return 0;
}

int Run(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "wait") {
        for (int i = 0; i < 1200; ++i) {
            if (ComPtr<IRigSimControl> control = FindRigSim()) {
                LONG pid = 0;
                control->GetServerProcessId(&pid);
                std::printf("%ld\n", static_cast<long>(pid));
                return 0;
            }
            Sleep(50);
        }
        std::fprintf(stderr, "rigbench: rigsim.exe did not answer within 60 s\n");
        return 1;
    }
    if (mode == "calls")
        return Calls(argc > 2 ? std::atoi(argv[2]) : 2000, argc > 3 ? std::atoi(argv[3]) : 200);
    if (mode == "rigctld" && argc > 2)
        return RigctldCalls(static_cast<uint16_t>(std::atoi(argv[2])), argc > 3 ? std::atoi(argv[3]) : 200);
    if (mode == "counts") {
        ComPtr<IRigSimControl> control = FindRigSim();
        if (!control) {
            std::fprintf(stderr, "rigbench: rigsim.exe does not answer\n");
            return 1;
        }
        std::printf("fetches %ld freq %ld vfo %ld mode %ld\n",
                    Count(control.Get(), TIface::OmniRig, OmniRigSlot::GetRig),
                    Count(control.Get(), TIface::Rig, RigSlot::GetFreq),
                    Count(control.Get(), TIface::Rig, RigSlot::GetVfo),
                    Count(control.Get(), TIface::Rig, RigSlot::GetMode));
        return 0;
    }
    if (mode == "reports") {
        std::printf("%zu\n", Windows(L"#32770", L"Velkor").size());
        return 0;
    }
    if (mode == "window")
        return Window(argc > 2 ? std::max(1, std::atoi(argv[2])) : 30, argc > 3 ? std::max(1, std::atoi(argv[3])) : 20);
    if (mode == "close") {
        for (HWND window : Windows(nullptr, kMainCaption))
            PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    std::fprintf(stderr, "usage: rigbench wait|calls [reads] [ticks]|rigctld PORT [ticks]|counts|reports|close|window [seconds] [changes]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) { return BenchMain("rigbench", argc, argv, Run); }
