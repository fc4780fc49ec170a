#pragma once
// The one simulated radio that every object of the stand-in reads and writes.
// Plain state and the rules that keep its answers coherent; no COM here.

#include <cstdint>
#include <string>

#include "rig/RigServer.h"

class TRadio {
public:
    const std::wstring& RigType() const { return FRigType; }
    void SetRigType(std::wstring name) { FRigType = std::move(name); }

    // The frequency of the VFO in use: B when the arrangement starts with B,
    // A otherwise (a raw arrangement outside the four counts as A).
    int32_t Freq() const { return BInUse() ? FFreqB : FFreqA; }
    void SetFreq(int32_t value) { (BInUse() ? FFreqB : FFreqA) = value; }
    int32_t FreqA() const { return FFreqA; }
    void SetFreqA(int32_t value) { FFreqA = value; }
    int32_t FreqB() const { return FFreqB; }
    void SetFreqB(int32_t value) { FFreqB = value; }

    int32_t Vfo() const { return FVfo; }
    // A client's VFO command: VFOA/VFOB pick the VFO in use and keep split or
    // not, the four arrangement flags set the arrangement. False for any other
    // value, the state unchanged.
    bool PutVfo(int32_t value);
    // The operator's raw value, kept as it is.
    void SetRawVfo(int32_t value) { FVfo = value; }

    int32_t Mode() const { return FMode; }
    // False, the state unchanged, unless value is exactly one mode flag.
    bool PutMode(int32_t value);
    void SetRawMode(int32_t value) { FMode = value; }

    static bool IsArrangement(int32_t value);
    static bool IsMode(int32_t value);

private:
    bool BInUse() const;

    std::wstring FRigType = L"RIGSIM";
    int32_t FFreqA = 14200000;
    int32_t FFreqB = 7050000;
    int32_t FVfo = RigParams::VFOAA;
    int32_t FMode = RigParams::SSB_U;
};
