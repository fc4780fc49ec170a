#pragma once
// The automation server's record for the whole process: how it was started,
// how many automation objects and server locks are alive, the closing warning
// while any are, and the end of a start by COM when the last one goes.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "automation/StartMode.h"

class TApplication;
class TTransceiver;

// What the server asks of COM about its process.
class IComProcess {
public:
    virtual ~IComProcess() = default;
    // The server process's reference count, as COM keeps it; the release
    // answers what is left.
    virtual uint32_t AddRefServerProcess() = 0;
    virtual uint32_t ReleaseServerProcess() = 0;
    // Lets the class object serve again after the last release suspended it.
    virtual void ResumeClassObjects() = 0;
};

class TComServer {
public:
    // The class object hands the record to the objects it makes.
    TComServer(TStartMode mode, IComProcess& process);
    ~TComServer();
    TComServer(const TComServer&) = delete;
    TComServer& operator=(const TComServer&) = delete;

    TStartMode StartMode() const { return FStartMode; }
    // Live automation objects plus outstanding server locks.
    int32_t ObjectCount() const { return FObjectCount.load(); }

    // An object made or a lock taken, and an object freed or a lock given
    // back. In automation mode each also holds or lets go one reference to
    // the server process; the release that leaves none ends the program.
    void CountIn() noexcept;
    void CountOut() noexcept;

    // The running program, from the moment its application exists until it
    // ends: the closing warning is one of its termination checks, and the
    // end after the last release is posted to its main loop. closeCheck is
    // the memory list's close check: false, or an error (a save that
    // failed), keeps the program, which then serves as the operator's.
    void Attach(TApplication& app, std::function<bool()> closeCheck);
    void Detach();

    // The transceiver every automation object drives; null before it is made
    // and once it has gone.
    TTransceiver* Transceiver() const { return FTransceiver; }
    void SetTransceiver(TTransceiver* transceiver) { FTransceiver = transceiver; }

    // The operator started the program again (another start found this
    // copy): a start by COM becomes the operator's, and outlives its last
    // client. False when the program is ending already.
    bool OperatorStarted();

    // The closing warning: asked (when objects or locks are held) before the
    // program ends through its main window; true lets it end.
    bool ClosingWarning();

    static const char* const kWarningCaption;
    static const std::string kWarningText;

private:
    void LastReleased();
    void EndAfterLastRelease();
    void ServeAsOperatorsProgram();

    TStartMode FStartMode;
    IComProcess& FProcess;
    std::atomic<int32_t> FObjectCount{0};
    TApplication* FApp = nullptr;
    std::function<bool()> FCloseCheck;
    TTransceiver* FTransceiver = nullptr;
    // The last release came before the application existed.
    bool FEndPending = false;
    // The operator let the program end: a late last release asks nothing more.
    bool FEnding = false;
};
