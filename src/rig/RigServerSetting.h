#pragma once
// Which rig server the transceiver uses: the COM rig server (the default) or
// hamlib's rigctld at a host and port. The registry value RigServer under
// HKEY_CURRENT_USER\Software\Velkor holds it as text: empty or absent for the
// COM rig server, "rigctld" for 127.0.0.1:4532, "rigctld:HOST:PORT" for
// another (an IPv6 host in brackets; the port may be left out). The switch
// /rigserver:VALUE, with the same text, wins for one run.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ProgramSettings.h"
#include "platform/Registry.h"

enum class TRigServerKind { Com, Rigctld };

struct TRigServerSetting {
    TRigServerKind Kind = TRigServerKind::Com;
    std::string Host = "127.0.0.1";
    uint16_t Port = 4532;
    // A value that names no rig server: the COM rig server is used and this
    // is shown.
    std::string Error;
};

// Its row in kProgramSettings.
inline constexpr const char* kRigServerValue = ProgramSettingRow(TProgramValue::RigServer).Name;
inline constexpr uint16_t kRigctldDefaultPort = 4532;

// What the registry and the "Rig server" dialog know of one kind. Making
// and testing one is rig/win32's (its makers are keyed by the same kinds).
struct TRigServerKindInfo {
    TRigServerKind Kind;
    // The registry's text for it; "" for the one the empty text names.
    std::string_view Name;
    // The dialog's choice: its caption and the name of its mark.
    std::string_view Caption;
    std::string_view MarkName;
    // Reached at a host and port ("NAME:HOST:PORT"); DefaultHost and
    // DefaultPort when the text gives none. The dialog's Test asks it.
    bool HasAddress = false;
    std::string_view DefaultHost;
    uint16_t DefaultPort = 0;
    // The server opens a settings dialog of its own; the others are set in
    // the "Rig server" dialog.
    bool OwnDialog = false;
};

// Every kind, in the order the dialog offers them.
std::span<const TRigServerKindInfo> RigServerKinds();
// The row of kind; raises std::logic_error for a kind without one.
const TRigServerKindInfo& RigServerKindInfoOf(TRigServerKind kind);

// The text as the registry holds it; false for text that names no rig server.
bool ParseRigServer(std::string_view text, TRigServerSetting& setting);
// A TCP port as typed: decimal digits from 1 to 65535, nothing else.
bool ParseRigServerPort(std::string_view text, uint16_t& port);
// The text the registry holds for a setting ("" for the COM rig server).
std::string RigServerText(const TRigServerSetting& setting);
// "HOST:PORT" ("[HOST]:PORT" for an IPv6 host), as messages and the title show it.
std::string RigServerAddressText(const TRigServerSetting& setting);

// params are the command line's without the program's name. A bad switch or
// value gives the COM rig server with Error set.
TRigServerSetting RigServerSettingOf(const std::vector<std::string>& params, IRegistry& registry);
// Remembers the setting for the user: the COM rig server removes the value.
void SaveRigServer(IRegistry& registry, const TRigServerSetting& setting);

// A host that means this machine as a resolver reads it: "localhost" and its
// names, 127.0.0.0/8 and 0.0.0.0 in any form an address may be written in
// ("127.1", "2130706433", "0x7f.1", "0177.0.0.1"), ::1, :: and those mapped
// into IPv6.
bool IsLoopbackHost(std::string_view host);
// The text shown when the setting points at the program's own rigctl port
// (rigctlPort 0: closed), else "". Such a rig server would ask itself.
std::string OwnPortRefusal(const TRigServerSetting& setting, uint16_t rigctlPort);
