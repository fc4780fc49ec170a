#pragma once
// How the stand-in names the calls of the rig server's interfaces, in its call
// counts (IRigSimControl::GetCallCount) and its call log ("IRigX.14"): the
// interface by number and the method by its vtable slot, as OmniRig_TLB.idl
// places it (IUnknown and IDispatch take slots 0 to 6). The placeholders are
// named by their slot already (Reserved8 is slot 8).

// The rig server's interfaces as GetCallCount numbers them.
enum class TIface { OmniRig = 0, Rig = 1 };

// IOmniRigX
namespace OmniRigSlot {
constexpr int GetRig = 9;
constexpr int GetDialogVisible = 11;
constexpr int PutDialogVisible = 12;
} // namespace OmniRigSlot

// IRigX
namespace RigSlot {
constexpr int GetRigType = 7;
constexpr int GetFreq = 14;
constexpr int PutFreq = 15;
constexpr int GetFreqA = 16;
constexpr int PutFreqA = 17;
constexpr int GetFreqB = 18;
constexpr int PutFreqB = 19;
constexpr int GetVfo = 24;
constexpr int PutVfo = 25;
constexpr int GetMode = 34;
constexpr int PutMode = 35;
} // namespace RigSlot
