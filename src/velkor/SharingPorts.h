#pragma once
// The sharing ports, one row each: how its messages name it, its window and
// limits (its kind), how its setting is read, and the sessions it serves over
// the transceiver. The program opens every row that its setting asks for; a
// new port is one row here and its own session files.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ProgramSettings.h"
#include "platform/Registry.h"
#include "ports/win32/PortServer.h"

class TTransceiver;

struct TSharingPort {
    TPortKind Kind;
    // Its port row in kProgramSettings.
    TProgramValue Setting;
    TPortServing (*Serve)(TTransceiver* transceiver);
};

std::span<const TSharingPort> SharingPorts();

// The ports of the table that their settings ask for, open for their life.
class TOpenSharingPorts {
public:
    // A port that cannot be opened stays closed, and why is in Errors.
    TOpenSharingPorts(std::span<const TSharingPort> ports, TTransceiver* transceiver,
                      const std::vector<std::string>& params, IRegistry& registry);

    // Each a port's setting that names none or its failure to open, in the table's order.
    const std::vector<std::string>& Errors() const { return FErrors; }
    // The TCP port of the one of that name, 0 while it is closed.
    uint16_t PortOf(std::string_view name) const;

private:
    std::vector<std::unique_ptr<TWin32PortServer>> FServers;
    std::vector<std::string> FErrors;
};
