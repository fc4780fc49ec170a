#include "rig/RigServerThread.h"

#include <algorithm>
#include <deque>
#include <optional>

namespace {

using TClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The system's code for "this operation returned because the timeout period
// expired" and for a call that was cancelled.
constexpr int32_t kTimeoutCode = static_cast<int32_t>(0x8001011F);
constexpr int32_t kCancelledCode = static_cast<int32_t>(0x80010002);

// A wait is cut into slices no longer than this, so that the end of the
// program is noticed soon.
constexpr uint32_t kWaitSlice = 250;

} // namespace

const char* const TRigServerThread::kNotAnsweringText = "The rig server does not answer";

void TBlockingRigCallWait::Wake()
{
    std::lock_guard lock(FMutex);
    FSignalled = true;
    FWoken.notify_all();
}

void TBlockingRigCallWait::Wait(uint32_t timeout)
{
    std::unique_lock lock(FMutex);
    FWoken.wait_for(lock, milliseconds(timeout), [this] { return FSignalled; });
    FSignalled = false;
}

// ---------------------------------------------------------------- the shared part

struct TRigServerThread::TCore {
    struct TJob {
        std::function<void(IRigServer&)> Work;
        bool Done = false;
        std::exception_ptr Error;
    };

    TCore(IRigCallWait& wait, TRigDeadlines deadlines) : Wait(wait), Deadlines(deadlines) {}

    // Runs work on the thread and waits for it within its deadline; raises
    // what the work raised, ERigServerTimeout, or ERigCallCancelled.
    void Run(std::function<void(IRigServer&)> work);
    template <class TResult>
    TResult Call(std::function<TResult(IRigServer&)> work)
    {
        // The result lives with the call, not on this stack: an abandoned
        // call may still end long after its caller has gone.
        auto result = std::make_shared<std::optional<TResult>>();
        Run([result, work = std::move(work)](IRigServer& server) { *result = work(server); });
        return std::move(**result);
    }

    // The thread's loop: makes the server, runs the calls, frees the server.
    void Serve(const TFactory& factory);

    // With the mutex held.
    bool HungLocked(TClock::time_point now) const
    {
        return Running && now >= RunningSince + milliseconds(RunningConnects ? Deadlines.Connect : Deadlines.Call);
    }
    // A job still queued never runs; one running ends unheard.
    void Abandon(const std::shared_ptr<TJob>& job) { std::erase(Queue, job); }

    IRigCallWait& Wait;
    const TRigDeadlines Deadlines;

    mutable std::mutex Mutex;
    std::condition_variable WorkCame;
    std::condition_variable Left;
    std::deque<std::shared_ptr<TJob>> Queue;
    std::shared_ptr<TJob> Running;
    TClock::time_point RunningSince;
    bool RunningConnects = false;
    bool Connected = false;
    bool Stopping = false;
    // The thread has freed the server and ended.
    bool Finished = false;
    // The owner has gone: the wait may be gone too.
    bool Orphaned = false;
};

void TRigServerThread::TCore::Run(std::function<void(IRigServer&)> work)
{
    auto job = std::make_shared<TJob>();
    job->Work = std::move(work);
    std::unique_lock lock(Mutex);
    if (Stopping)
        throw ERigCallCancelled(kNotAnsweringText, kCancelledCode);
    if (HungLocked(TClock::now()))
        throw ERigServerTimeout(kNotAnsweringText, kTimeoutCode);
    Queue.push_back(job);
    WorkCame.notify_one();
    for (;;) {
        if (job->Done) {
            if (job->Error)
                std::rethrow_exception(job->Error);
            return;
        }
        if (Wait.Ending()) {
            Abandon(job);
            throw ERigCallCancelled(kNotAnsweringText, kCancelledCode);
        }
        // The deadline of the call the thread is busy with, this one or one
        // queued before it: a call behind a hung one gives up with it.
        const TClock::time_point now = TClock::now();
        if (HungLocked(now)) {
            Abandon(job);
            throw ERigServerTimeout(kNotAnsweringText, kTimeoutCode);
        }
        const auto due = Running ? RunningSince + milliseconds(RunningConnects ? Deadlines.Connect : Deadlines.Call)
                                 : now + milliseconds(Deadlines.Call);
        const auto left = std::chrono::duration_cast<milliseconds>(due - now).count() + 1;
        lock.unlock();
        Wait.Wait(static_cast<uint32_t>(std::clamp<long long>(left, 1, kWaitSlice)));
        lock.lock();
    }
}

void TRigServerThread::TCore::Serve(const TFactory& factory)
{
    std::unique_ptr<IRigServer> server;
    std::exception_ptr notMade;
    try {
        server = factory();
    } catch (...) {
        notMade = std::current_exception();
    }
    std::unique_lock lock(Mutex);
    for (;;) {
        WorkCame.wait(lock, [this] { return Stopping || !Queue.empty(); });
        if (Stopping)
            break;
        std::shared_ptr<TJob> job = std::move(Queue.front());
        Queue.pop_front();
        Running = job;
        RunningSince = TClock::now();
        RunningConnects = server && !server->Connected();
        lock.unlock();
        std::exception_ptr error = notMade;
        if (server) {
            try {
                job->Work(*server);
            } catch (...) {
                error = std::current_exception();
            }
        }
        const bool connected = server && server->Connected();
        lock.lock();
        job->Error = error;
        job->Done = true;
        Running.reset();
        Connected = connected;
        if (!Orphaned)
            Wait.Wake();
    }
    Queue.clear();
    lock.unlock();
    // Letting the server go may call out to it as well.
    server.reset();
    lock.lock();
    Finished = true;
    Left.notify_all();
}

// ---------------------------------------------------------------- the rig

namespace {

using TCore = TRigServerThread::TCore;

// Each call fetches the rig, calls it and releases it, on the thread.
class TThreadRig final : public IRig {
public:
    explicit TThreadRig(std::shared_ptr<TCore> core) : FCore(std::move(core)) {}

    std::string GetRigType() override
    {
        return FCore->Call<std::string>([](IRigServer& server) { return server.Rig()->GetRigType(); });
    }
    int32_t GetFreq() override { return Get(&IRig::GetFreq); }
    void PutFreq(int32_t value) override { Put(&IRig::PutFreq, value); }
    int32_t GetFreqA() override { return Get(&IRig::GetFreqA); }
    void PutFreqA(int32_t value) override { Put(&IRig::PutFreqA, value); }
    int32_t GetFreqB() override { return Get(&IRig::GetFreqB); }
    void PutFreqB(int32_t value) override { Put(&IRig::PutFreqB, value); }
    int32_t GetVfo() override { return Get(&IRig::GetVfo); }
    void PutVfo(int32_t value) override { Put(&IRig::PutVfo, value); }
    int32_t GetMode() override { return Get(&IRig::GetMode); }
    void PutMode(int32_t value) override { Put(&IRig::PutMode, value); }

private:
    int32_t Get(int32_t (IRig::*getter)())
    {
        return FCore->Call<int32_t>([getter](IRigServer& server) { return (server.Rig().get()->*getter)(); });
    }
    void Put(void (IRig::*putter)(int32_t), int32_t value)
    {
        FCore->Run([putter, value](IRigServer& server) { (server.Rig().get()->*putter)(value); });
    }

    std::shared_ptr<TCore> FCore;
};

} // namespace

// ---------------------------------------------------------------- TRigServerThread

TRigServerThread::TRigServerThread(TFactory factory, IRigCallWait& wait, TRigDeadlines deadlines, bool readsAtOnce)
    : FCore(std::make_shared<TCore>(wait, deadlines)), FReadsAtOnce(readsAtOnce)
{
    // The thread holds the shared part: it may outlive this object.
    FThread = std::thread([core = FCore, factory = std::move(factory)] { core->Serve(factory); });
}

TRigServerThread::~TRigServerThread()
{
    std::unique_lock lock(FCore->Mutex);
    FCore->Stopping = true;
    FCore->WorkCame.notify_all();
    const bool finished = FCore->Left.wait_for(lock, milliseconds(FCore->Deadlines.Shutdown),
                                               [this] { return FCore->Finished; });
    FCore->Orphaned = true;
    lock.unlock();
    // A thread still caught in a call to a hung server is left to the end of
    // the process.
    if (finished)
        FThread.join();
    else
        FThread.detach();
}

bool TRigServerThread::ReadAll(TRigReading& reading)
{
    if (!FReadsAtOnce)
        return false;
    const auto read = FCore->Call<std::optional<TRigReading>>([](IRigServer& server) {
        TRigReading all;
        return server.ReadAll(all) ? std::optional(all) : std::nullopt;
    });
    if (read)
        reading = *read;
    return read.has_value();
}

std::unique_ptr<IRig> TRigServerThread::Rig() { return std::make_unique<TThreadRig>(FCore); }

void TRigServerThread::ShowRigDialog(bool visible)
{
    FCore->Run([visible](IRigServer& server) { server.ShowRigDialog(visible); });
}

bool TRigServerThread::Connected() const
{
    std::lock_guard lock(FCore->Mutex);
    return FCore->Connected;
}

bool TRigServerThread::Hung() const
{
    std::lock_guard lock(FCore->Mutex);
    return FCore->HungLocked(TClock::now());
}
