#pragma once
// What the six methods of IVelkorCom do, on the program's one transceiver; the
// COM object (automation/win32/VelkorCOMUnit.h) converts at the edge. Before
// the transceiver exists, and after it has gone, they read 0 and "" and send
// nothing.

#include <cstdint>
#include <string>

class TTransceiver;

namespace VelkorComCalls {

// The frequency of the last poll.
int32_t GetFreq(const TTransceiver* trx);
// The mode of the last poll, both sidebands reported as "SSB".
std::string GetMode(const TTransceiver* trx);
// 1 when the command reached the rig server without an error; 0 when the
// server failed (nothing further is sent) or the mode is no name the
// transceiver knows (nothing is sent). No error ever leaves them.
int32_t SetMode(TTransceiver* trx, const std::string& mode);
int32_t SetFreq(TTransceiver* trx, int32_t freq);
// From the frequency of the last poll; the sum wraps around in 32 bits.
int32_t ChangeFreq(TTransceiver* trx, int32_t herz);
int32_t IsConnected(const TTransceiver* trx);

} // namespace VelkorComCalls
