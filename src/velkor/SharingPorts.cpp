#include "velkor/SharingPorts.h"

#include <exception>

#include "rigctl/win32/RigctlServer.h"
#include "xmlrpc/win32/XmlRpcServer.h"

namespace {

const TSharingPort kPorts[] = {
    // hamlib programs.
    {kRigctlPort, TProgramValue::RigctlPort, [](TTransceiver* transceiver) { return RigctlServing(transceiver); }},
    // fldigi, and hamlib's model 4 (WSJT-X and the like).
    {kXmlRpcPort, TProgramValue::XmlRpcPort, [](TTransceiver* transceiver) { return XmlRpcServing(transceiver); }},
};

} // namespace

std::span<const TSharingPort> SharingPorts() { return kPorts; }

TOpenSharingPorts::TOpenSharingPorts(std::span<const TSharingPort> ports, TTransceiver* transceiver,
                                     const std::vector<std::string>& params, IRegistry& registry)
{
    for (const TSharingPort& port : ports) {
        const TPortSetting setting = PortSettingOf(ProgramSettingRow(port.Setting), params, registry);
        std::string error = setting.Error;
        if (setting.Port != 0) {
            try {
                FServers.push_back(std::make_unique<TWin32PortServer>(port.Kind, port.Serve(transceiver), setting.Port));
            } catch (const std::exception& failure) {
                error = failure.what();
            }
        }
        if (!error.empty())
            FErrors.push_back(error);
    }
}

uint16_t TOpenSharingPorts::PortOf(std::string_view name) const
{
    for (const auto& server : FServers)
        if (server->Kind().Name == name)
            return server->Port();
    return 0;
}
