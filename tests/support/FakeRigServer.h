#pragma once
// A rig server that records every call in order, the fetch and the release of
// each rig object included, and answers from values a test sets.

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/SysUtils.h"
#include "rig/RigServer.h"
#include "tools/rigsim/Radio.h"

class TFakeRigServer : public IRigServer {
public:
    struct TRadio {
        std::string RigType = "FAKE";
        int32_t Freq = 0;
        int32_t FreqA = 0;
        int32_t FreqB = 0;
        int32_t Mode = 0;
        int32_t Vfo = 0;
        int32_t Ptt = 0;

        // The radio in an arrangement, Freq that of the VFO in use as the
        // stand-in's radio has it (a raw arrangement outside the four counts as A).
        void Arrange(int32_t freqA, int32_t freqB, int32_t mode, int32_t vfo)
        {
            ::TRadio radio;
            radio.SetFreqA(freqA);
            radio.SetFreqB(freqB);
            radio.SetRawVfo(vfo);
            Take(radio, mode);
        }
        // The VFO in use after the arrangement vfo tuned to freq, the other as it was.
        void Tune(int32_t freq, int32_t mode, int32_t vfo)
        {
            ::TRadio radio;
            radio.SetFreqA(FreqA);
            radio.SetFreqB(FreqB);
            radio.SetRawVfo(vfo);
            radio.SetFreq(freq);
            Take(radio, mode);
        }

    private:
        void Take(const ::TRadio& radio, int32_t mode)
        {
            Freq = radio.Freq();
            FreqA = radio.FreqA();
            FreqB = radio.FreqB();
            Mode = mode;
            Vfo = radio.Vfo();
        }
    };

    TRadio Radio;
    // Values for the next VFO reads, one per read; when empty Radio.Vfo answers.
    std::deque<int32_t> VfoReads;
    std::vector<std::string> Log;
    // The call with this number (counting from 1 over every logged call, fetches
    // included) raises; FailAll makes every call from then on raise.
    int FailAt = 0;
    bool FailAll = false;
    std::string FailText = "Rig is not responding";
    int LiveRigs = 0;
    // Runs inside every logged call, after it is logged: a test lets time pass
    // there as a slow server's call would.
    std::function<void()> DuringCall;
    // It can key the radio (as rigctld can); PTT calls raise ENoPtt otherwise.
    bool Keys = false;
    bool CanKey() const override { return Keys; }
    // Where a replaced server leaves the radio's PTT as it goes.
    int32_t* PttAtEnd = nullptr;
    ~TFakeRigServer() override
    {
        if (PttAtEnd)
            *PttAtEnd = Radio.Ptt;
    }
    // Reads a poll at once, PTT with it where it keys (as rigctld does).
    bool ReadsAll = false;
    bool ReadAll(TRigReading& reading) override
    {
        if (!ReadsAll)
            return false;
        Call("read all");
        reading = {Radio.Freq, Radio.FreqA, Radio.FreqB, Radio.Mode, Radio.Vfo, std::nullopt};
        if (Keys)
            reading.Ptt = Radio.Ptt != 0;
        return true;
    }

    std::unique_ptr<IRig> Rig() override
    {
        Call("fetch");
        return std::make_unique<TFakeRig>(*this);
    }
    void ShowRigDialog(bool visible) override { Call(visible ? "dialog true" : "dialog false"); }

    void ClearLog() { Log.clear(); }
    // The commands it got, without the fetches, reads and releases around them.
    std::vector<std::string> Puts() const
    {
        std::vector<std::string> puts;
        for (const std::string& entry : Log)
            if (entry.starts_with("put "))
                puts.push_back(entry);
        return puts;
    }

private:
    void Call(const std::string& entry)
    {
        Log.push_back(entry);
        if (DuringCall)
            DuringCall();
        if (FailAll || static_cast<int>(Log.size()) == FailAt)
            throw EOleError(FailText, static_cast<int32_t>(0x80004005));
    }

    class TFakeRig : public IRig {
    public:
        explicit TFakeRig(TFakeRigServer& server) : FServer(server) { ++FServer.LiveRigs; }
        ~TFakeRig() override
        {
            --FServer.LiveRigs;
            FServer.Log.push_back("release");
        }
        std::string GetRigType() override { return Get("RigType"), FServer.Radio.RigType; }
        int32_t GetFreq() override { return Get("Freq"), FServer.Radio.Freq; }
        int32_t GetFreqA() override { return Get("FreqA"), FServer.Radio.FreqA; }
        int32_t GetFreqB() override { return Get("FreqB"), FServer.Radio.FreqB; }
        int32_t GetMode() override { return Get("Mode"), FServer.Radio.Mode; }
        int32_t GetVfo() override
        {
            Get("Vfo");
            if (FServer.VfoReads.empty())
                return FServer.Radio.Vfo;
            int32_t value = FServer.VfoReads.front();
            FServer.VfoReads.pop_front();
            return value;
        }
        void PutFreq(int32_t v) override { Put("Freq", v); }
        void PutFreqA(int32_t v) override { Put("FreqA", v); }
        void PutFreqB(int32_t v) override { Put("FreqB", v); }
        void PutMode(int32_t v) override { Put("Mode", v); }
        void PutVfo(int32_t v) override { Put("Vfo", v); }
        int32_t GetPtt() override
        {
            if (!FServer.Keys)
                return IRig::GetPtt();
            return Get("Ptt"), FServer.Radio.Ptt;
        }
        void PutPtt(int32_t v) override
        {
            if (!FServer.Keys)
                IRig::PutPtt(v);
            Put("Ptt", v);
            FServer.Radio.Ptt = v;
        }

    private:
        void Get(const std::string& name) { FServer.Call("get " + name); }
        void Put(const std::string& name, int32_t value) { FServer.Call(Format("put %s %d", name.c_str(), value)); }
        TFakeRigServer& FServer;
    };
};
