#pragma once
// What the rigctld client's native tests run against: a POSIX socket link,
// hamlib's real rigctld started on a free loopback port, and a listener that
// takes connections and never answers.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "rig/RigctldClient.h"

std::unique_ptr<IRigctldLink> MakePosixRigctldLink();

// A loopback port nobody listens on at the moment.
uint16_t FreeLoopbackPort();

// rigctld -m 1 (its dummy radio) with extra arguments, on port; killed when
// the object goes. Start() waits until it takes connections.
class TRigctldProcess {
public:
    TRigctldProcess(uint16_t port, std::vector<std::string> extra = {}) : FPort(port), FExtra(std::move(extra)) {}
    ~TRigctldProcess() { Kill(); }
    TRigctldProcess(const TRigctldProcess&) = delete;
    TRigctldProcess& operator=(const TRigctldProcess&) = delete;

    // False when it did not take connections within 5 s.
    bool Start();
    void Kill();
    uint16_t Port() const { return FPort; }

private:
    uint16_t FPort;
    std::vector<std::string> FExtra;
    pid_t FPid = -1;
};

// A socket listening on a loopback port that the system completes
// connections for, and that never reads or answers.
class TSilentListener {
public:
    TSilentListener();
    ~TSilentListener();
    TSilentListener(const TSilentListener&) = delete;
    TSilentListener& operator=(const TSilentListener&) = delete;
    uint16_t Port() const { return FPort; }

private:
    int FSocket = -1;
    uint16_t FPort = 0;
};
