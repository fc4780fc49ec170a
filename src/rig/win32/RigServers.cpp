#include "rig/win32/RigServers.h"

#include "rig/RigctldClient.h"
#include "rig/win32/OmniRigXThread.h"
#include "rig/win32/RigctldSocket.h"

namespace {

// 145000000 as "145.000.000".
std::string GroupedHertz(int32_t hertz)
{
    std::string digits = std::to_string(hertz < 0 ? 0 : hertz);
    for (size_t i = digits.size(); i > 3; i -= 3)
        digits.insert(i - 3, ".");
    return digits;
}

} // namespace

std::unique_ptr<TRigServerThread> MakeRigServerThread(const TRigServerSetting& setting, IRigCallWait& wait,
                                                      TRigDeadlines deadlines)
{
    if (setting.Kind == TRigServerKind::Com)
        return MakeOmniRigXThread(wait, deadlines);
    return std::make_unique<TRigServerThread>(
        [host = setting.Host, port = setting.Port] {
            return std::make_unique<TRigctldServer>(MakeRigctldSocket(), host, port);
        },
        wait, deadlines);
}

std::string ProbeRigctld(const TRigServerSetting& setting, IRigCallWait& wait)
{
    TRigServerSetting rigctld = setting;
    rigctld.Kind = TRigServerKind::Rigctld;
    try {
        const auto server = MakeRigServerThread(rigctld, wait);
        // One call: the dialog's Test waits one deadline at most.
        auto answer = std::make_shared<std::string>();
        server->Run([answer](IRigServer& rigctld) {
            const std::string model = rigctld.Rig()->GetRigType();
            *answer = model + ", " + GroupedHertz(rigctld.Rig()->GetFreq()) + " Hz";
        });
        return *answer;
    } catch (const std::exception& error) {
        return error.what();
    }
}
