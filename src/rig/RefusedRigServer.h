#pragma once
// A rig server that was refused before any connection: every call fails with
// the reason, so that the transceiver reports it once and never asks again
// for something that cannot answer.

#include <string>

#include "rig/RigServer.h"

class TRefusedRigServer : public IRigServer {
public:
    explicit TRefusedRigServer(std::string reason) : FReason(std::move(reason)) {}

    // Raise Exception with the reason.
    std::unique_ptr<IRig> Rig() override;
    void ShowRigDialog(bool visible) override;

private:
    std::string FReason;
};
