#include "rig/RigServer.h"

bool ReadPollStep(IRigServer& server, int step, TPollReading& reading)
{
    // Each read fetches its rig object, reads and lets it go.
    switch (step) {
    case 0: {
        TRigReading all;
        if (server.ReadAll(all)) {
            reading.Freq = all.Freq;
            reading.FreqA = all.FreqA;
            reading.FreqB = all.FreqB;
            reading.Mode = all.Mode;
            reading.Vfos.assign(kPollSteps - 4, all.Vfo);
            reading.Ptt = all.Ptt;
            return true;
        }
        reading.Freq = server.Rig()->GetFreq();
        return false;
    }
    case 1:
        reading.FreqA = server.Rig()->GetFreqA();
        return false;
    case 2:
        reading.FreqB = server.Rig()->GetFreqB();
        return false;
    case 3:
        reading.Mode = server.Rig()->GetMode();
        return false;
    default:
        reading.Vfos.push_back(server.Rig()->GetVfo());
        return step >= kPollSteps - 1;
    }
}

ENoPtt::ENoPtt() : Exception("The rig server cannot key the radio: PTT is not available") {}

int32_t IRig::GetPtt() { throw ENoPtt(); }

void IRig::PutPtt(int32_t) { throw ENoPtt(); }
