#include "rig/RigServerThread.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <utility>

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
    // A poll tick under way: its reads so far, the next one, and whom to tell.
    struct TPoll {
        TPollReading Reading;
        int Step = 0;
        std::function<void(TPollReading)> Done;
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
    bool StartPoll(std::function<void(TPollReading)> done);

    // The thread's loop: makes the server, runs the calls and the poll's
    // reads, frees the server.
    void Serve(const TFactory& factory);

    milliseconds DeadlineOf(bool connects) const { return milliseconds(connects ? Deadlines.Connect : Deadlines.Call); }
    // With the mutex held.
    bool HungLocked(TClock::time_point now) const
    {
        return Busy && (BusyGivenUp || now >= BusySince + DeadlineOf(BusyConnects));
    }
    // A job still queued never runs; one running ends unheard.
    void Abandon(const std::shared_ptr<TJob>& job) { std::erase(Queue, job); }
    // With the mutex held: the calls still queued are answered as cancelled,
    // so that nobody is left waiting for a thread that stops.
    void CancelQueued()
    {
        for (const std::shared_ptr<TJob>& job : Queue) {
            job->Error = std::make_exception_ptr(ERigCallCancelled(kNotAnsweringText, kCancelledCode));
            job->Done = true;
        }
        Queue.clear();
        if (!Orphaned)
            Wait.Wake();
    }

    IRigCallWait& Wait;
    const TRigDeadlines Deadlines;

    mutable std::mutex Mutex;
    std::condition_variable WorkCame;
    std::condition_variable Left;
    std::deque<std::shared_ptr<TJob>> Queue;
    std::shared_ptr<TJob> Running; // the call the thread is in, if it is one
    std::shared_ptr<TPoll> Poll;
    // The thread is in a call or a read, since when, and with which deadline.
    bool Busy = false;
    TClock::time_point BusySince;
    bool BusyConnects = false;
    // Its caller gave up on the call the thread is in.
    bool BusyGivenUp = false;
    bool Connected = false;
    // The server made on the thread can key the radio.
    bool CanKey = false;
    bool Stopping = false;
    // The thread has freed the server and ended.
    bool Finished = false;
    // The owner has gone: the wait may be gone too.
    bool Orphaned = false;
    // Where the innermost wait of the calling thread must end; that thread's alone.
    std::optional<TClock::time_point> OuterDue;
};

void TRigServerThread::TCore::Run(std::function<void(IRigServer&)> work)
{
    auto job = std::make_shared<TJob>();
    job->Work = std::move(work);
    std::unique_lock lock(Mutex);
    if (Stopping)
        throw ERigCallCancelled(kNotAnsweringText, kCancelledCode);
    TClock::time_point now = TClock::now();
    if (HungLocked(now))
        throw ERigServerTimeout(kNotAnsweringText, kTimeoutCode);
    TClock::time_point due = now + DeadlineOf(!Connected);
    if (OuterDue && *OuterDue < due)
        due = *OuterDue;
    const std::optional<TClock::time_point> outer = std::exchange(OuterDue, due);
    struct TRestore {
        std::optional<TClock::time_point>& Due;
        std::optional<TClock::time_point> Outer;
        ~TRestore() { Due = Outer; }
    } restore{OuterDue, outer};
    Queue.push_back(job);
    WorkCame.notify_one();
    for (;;) {
        if (job->Done) {
            if (job->Error)
                std::rethrow_exception(job->Error);
            return;
        }
        if (Stopping || Wait.Ending()) {
            Abandon(job);
            throw ERigCallCancelled(kNotAnsweringText, kCancelledCode);
        }
        // Past its own deadline, or behind a call or read that hangs.
        now = TClock::now();
        if (now >= due || (Running != job && HungLocked(now))) {
            if (Running == job)
                BusyGivenUp = true;
            Abandon(job);
            throw ERigServerTimeout(kNotAnsweringText, kTimeoutCode);
        }
        const auto left = std::chrono::duration_cast<milliseconds>(due - now).count() + 1;
        lock.unlock();
        Wait.Wait(static_cast<uint32_t>(std::clamp<long long>(left, 1, kWaitSlice)));
        lock.lock();
    }
}

bool TRigServerThread::TCore::StartPoll(std::function<void(TPollReading)> done)
{
    std::lock_guard lock(Mutex);
    if (Stopping)
        throw ERigCallCancelled(kNotAnsweringText, kCancelledCode);
    if (HungLocked(TClock::now())) {
        // The tick in it is over; a later one starts afresh once it returns.
        Poll.reset();
        throw ERigServerTimeout(kNotAnsweringText, kTimeoutCode);
    }
    if (!Poll) {
        Poll = std::make_shared<TPoll>();
        Poll->Done = std::move(done);
        WorkCame.notify_one();
    }
    return true;
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
    CanKey = server && server->CanKey();
    auto begin = [&] {
        Busy = true;
        BusyGivenUp = false;
        BusySince = TClock::now();
        BusyConnects = server && !server->Connected();
    };
    // Runs fn without the lock, as one call or read of the thread.
    auto busy = [&](auto&& fn) {
        begin();
        lock.unlock();
        std::exception_ptr error = notMade;
        if (server) {
            try {
                fn();
            } catch (...) {
                error = std::current_exception();
            }
        }
        const bool connected = server && server->Connected();
        lock.lock();
        Busy = false;
        Connected = connected;
        return error;
    };
    for (;;) {
        WorkCame.wait(lock, [this] { return Stopping || !Queue.empty() || Poll; });
        if (Stopping)
            break;
        // Calls first: a call waits for one read of a tick at most.
        if (!Queue.empty()) {
            std::shared_ptr<TJob> job = std::move(Queue.front());
            Queue.pop_front();
            Running = job;
            job->Error = busy([&] { job->Work(*server); });
            job->Done = true;
            Running.reset();
            if (!Orphaned)
                Wait.Wake();
            continue;
        }
        std::shared_ptr<TPoll> poll = Poll;
        bool finished = false;
        const std::exception_ptr error = busy([&] { finished = ReadPollStep(*server, poll->Step++, poll->Reading); });
        if (Poll != poll)
            continue; // given up while it read
        if (error)
            poll->Reading.Failure = error;
        if (!finished && !error)
            continue;
        Poll.reset();
        // Under the lock: the owner, and what done reaches, cannot go meanwhile.
        if (!Stopping && !Orphaned)
            poll->Done(std::move(poll->Reading));
    }
    CancelQueued();
    Poll.reset();
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

TRigServerThread::TRigServerThread(TFactory factory, IRigCallWait& wait, TRigDeadlines deadlines)
    : FCore(std::make_shared<TCore>(wait, deadlines))
{
    // The thread holds the shared part: it may outlive this object.
    FThread = std::thread([core = FCore, factory = std::move(factory)] { core->Serve(factory); });
}

TRigServerThread::~TRigServerThread()
{
    std::unique_lock lock(FCore->Mutex);
    FCore->Stopping = true;
    // Also while the thread is caught in a call.
    FCore->CancelQueued();
    FCore->WorkCame.notify_all();
    const auto ended = [this] { return FCore->Finished; };
    bool finished = FCore->Left.wait_for(lock, milliseconds(FCore->Deadlines.Shutdown), ended);
    // A call still within its deadline (a tick in the background, a server
    // being started) is let end: left behind, the server it is starting would
    // run on with nobody to let it go.
    if (!finished && FCore->Busy && !FCore->HungLocked(TClock::now()))
        finished = FCore->Left.wait_until(lock, FCore->BusySince + FCore->DeadlineOf(FCore->BusyConnects), ended);
    FCore->Orphaned = true;
    lock.unlock();
    // A thread still caught in a call to a hung server is left to the end of
    // the process.
    if (finished)
        FThread.join();
    else
        FThread.detach();
}

std::unique_ptr<IRig> TRigServerThread::Rig() { return std::make_unique<TThreadRig>(FCore); }

void TRigServerThread::ShowRigDialog(bool visible)
{
    FCore->Run([visible](IRigServer& server) { server.ShowRigDialog(visible); });
}

void TRigServerThread::Run(const std::function<void(IRigServer&)>& work) { FCore->Run(work); }

bool TRigServerThread::PollInBackground(std::function<void(TPollReading)> done)
{
    return FCore->StartPoll(std::move(done));
}

bool TRigServerThread::Connected() const
{
    std::lock_guard lock(FCore->Mutex);
    return FCore->Connected;
}

bool TRigServerThread::CanKey() const
{
    std::lock_guard lock(FCore->Mutex);
    return FCore->CanKey;
}

bool TRigServerThread::Hung() const
{
    std::lock_guard lock(FCore->Mutex);
    return FCore->HungLocked(TClock::now());
}
