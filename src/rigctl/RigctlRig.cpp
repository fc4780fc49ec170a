#include "rigctl/RigctlRig.h"

#include "rig/RigCommand.h"
#include "rig/TransceiverUnit.h"

namespace {

// The transceiver's arrangement names: "VFO " then the VFO in use, "/" and the
// one that transmits.
std::string ArrangementName(char rxVfo, bool split)
{
    const char txVfo = split ? (rxVfo == 'A' ? 'B' : 'A') : rxVfo;
    return std::string("VFO ") + rxVfo + "/" + txVfo;
}

} // namespace

const TRigctlRig::TWritten* TRigctlRig::Written() const
{
    if (!FWritten || !FTrx)
        return nullptr;
    const int32_t ticksSince = static_cast<int32_t>(FTrx->TicksRead() - FStandsUntil);
    return ticksSince <= 0 ? &*FWritten : nullptr;
}

TRigctlRig::TWritten& TRigctlRig::Writing()
{
    if (!Written())
        FWritten.emplace();
    // A tick reading now may have read the rig before the command reached it.
    FStandsUntil = FTrx->TicksRead() + (FTrx->InTick() ? 1 : 0);
    return *FWritten;
}

bool TRigctlRig::RigWaiting() const { return FTrx && FTrx->CallUnderWay(); }

TRigctlView TRigctlRig::View() const
{
    TRigctlView view;
    if (!FTrx)
        return view;
    view.Connected = FTrx->Get_Connected();
    view.Freq = FTrx->Get_Freq();
    view.FreqA = FTrx->Get_FreqA();
    view.FreqB = FTrx->Get_FreqB();
    view.Mode = FTrx->Get_Mode();
    view.Ptt = FTrx->Get_Ptt();
    view.PttAvailable = FTrx->PttAvailable();
    const std::string& vfo = FTrx->Get_VFO();
    if (vfo.size() == 7) {
        view.RxVfo = vfo[4] == 'B' ? 'B' : 'A';
        view.Split = vfo[4] != vfo[6];
    }
    if (const TWritten* written = Written()) {
        view.RxVfo = written->RxVfo.value_or(view.RxVfo);
        view.Split = written->Split.value_or(view.Split);
        view.FreqA = written->FreqA.value_or(view.FreqA);
        view.FreqB = written->FreqB.value_or(view.FreqB);
        view.Mode = written->Mode.value_or(view.Mode);
        const bool inUseWritten = view.RxVfo == 'A' ? written->FreqA.has_value() : written->FreqB.has_value();
        if (written->RxVfo || inUseWritten)
            view.Freq = view.RxVfo == 'A' ? view.FreqA : view.FreqB;
    }
    return view;
}

template <class TCommand>
int TRigctlRig::Send(TCommand&& command)
{
    if (!FTrx)
        return Rigctl::kIoError;
    return SentToRig(command) ? Rigctl::kOk : Rigctl::kIoError;
}

int TRigctlRig::SetFreq(int32_t freq)
{
    const TRigctlView view = View();
    const TWritten* written = Written();
    // The transceiver tunes the VFO its last poll found in use; a VFO chosen
    // since is tuned by name.
    const bool vfoWritten = written && written->RxVfo;
    const int result = Send([&] {
        if (!vfoWritten)
            FTrx->Set_Freq(freq);
        else if (view.RxVfo == 'A')
            FTrx->Set_FreqA(freq);
        else
            FTrx->Set_FreqB(freq);
    });
    if (result == Rigctl::kOk)
        (view.RxVfo == 'A' ? Writing().FreqA : Writing().FreqB) = freq;
    return result;
}

int TRigctlRig::SetFreqOf(char vfo, int32_t freq)
{
    const int result = Send([&] { vfo == 'A' ? FTrx->Set_FreqA(freq) : FTrx->Set_FreqB(freq); });
    if (result == Rigctl::kOk)
        (vfo == 'A' ? Writing().FreqA : Writing().FreqB) = freq;
    return result;
}

int TRigctlRig::SetMode(const std::string& mode)
{
    const int result = Send([&] { FTrx->Set_Mode(mode); });
    if (result == Rigctl::kOk)
        Writing().Mode = mode;
    return result;
}

int TRigctlRig::SetVfo(char rxVfo, bool split)
{
    const int result = Send([&] { FTrx->Set_VFO(ArrangementName(rxVfo, split)); });
    if (result == Rigctl::kOk) {
        TWritten& written = Writing();
        written.RxVfo = rxVfo;
        written.Split = split;
    }
    return result;
}

int TRigctlRig::SetPtt(const void* client, bool on)
{
    if (FTrx && !FTrx->PttAvailable())
        return Rigctl::kNotAvailable;
    return Send([&] { FTrx->Set_Ptt(on, client); });
}

void TRigctlRig::ClientGone(const void* client)
{
    if (FTrx)
        FTrx->ReleasePtt(client);
}
