#pragma once
// A rig server over the stand-in's simulated radio, in this process: unlike
// TFakeRigServer it applies what it is sent, by the stand-in's own rules, and
// records nothing.

#include <memory>
#include <string>

#include "rig/RigServer.h"
#include "tools/rigsim/Radio.h"

class TSimulatedRigServer : public IRigServer {
public:
    TRadio Radio;
    std::unique_ptr<IRig> Rig() override { return std::make_unique<TRadioRig>(Radio); }
    void ShowRigDialog(bool) override {}

private:
    class TRadioRig : public IRig {
    public:
        explicit TRadioRig(TRadio& radio) : FRadio(radio) {}
        std::string GetRigType() override { return "RIGSIM"; }
        int32_t GetFreq() override { return FRadio.Freq(); }
        void PutFreq(int32_t value) override { FRadio.SetFreq(value); }
        int32_t GetFreqA() override { return FRadio.FreqA(); }
        void PutFreqA(int32_t value) override { FRadio.SetFreqA(value); }
        int32_t GetFreqB() override { return FRadio.FreqB(); }
        void PutFreqB(int32_t value) override { FRadio.SetFreqB(value); }
        int32_t GetVfo() override { return FRadio.Vfo(); }
        void PutVfo(int32_t value) override { FRadio.PutVfo(value); }
        int32_t GetMode() override { return FRadio.Mode(); }
        void PutMode(int32_t value) override { FRadio.PutMode(value); }

    private:
        TRadio& FRadio;
    };
};
