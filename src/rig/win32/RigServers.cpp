#include "rig/win32/RigServers.h"

#include <stdexcept>

#include "base/SysUtils.h"
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

std::unique_ptr<TRigServerThread> MakeCom(const TRigServerSetting&, IRigCallWait& wait, TRigDeadlines deadlines)
{
    return MakeOmniRigXThread(wait, deadlines);
}

std::unique_ptr<TRigServerThread> MakeRigctld(const TRigServerSetting& setting, IRigCallWait& wait,
                                              TRigDeadlines deadlines)
{
    return std::make_unique<TRigServerThread>(
        [host = setting.Host, port = setting.Port] {
            return std::make_unique<TRigctldServer>(MakeRigctldSocket(), host, port);
        },
        wait, deadlines);
}

constexpr TRigServerMaker kMakers[] = {
    {TRigServerKind::Com, MakeCom},
    {TRigServerKind::Rigctld, MakeRigctld},
};

} // namespace

std::span<const TRigServerMaker> RigServerMakers() { return kMakers; }

const TRigServerMaker& RigServerMakerOf(std::span<const TRigServerMaker> makers, TRigServerKind kind)
{
    for (const TRigServerMaker& maker : makers)
        if (maker.Kind == kind && maker.Make)
            return maker;
    throw std::logic_error(Format("No maker for the rig server of kind %d", static_cast<int>(kind)));
}

std::unique_ptr<TRigServerThread> MakeRigServerThread(const TRigServerSetting& setting, IRigCallWait& wait,
                                                      TRigDeadlines deadlines)
{
    return RigServerMakerOf(RigServerMakers(), setting.Kind).Make(setting, wait, deadlines);
}

std::string ProbeRigServer(const TRigServerSetting& setting, IRigCallWait& wait)
{
    try {
        const auto server = MakeRigServerThread(setting, wait);
        // One call: the dialog's Test waits one deadline at most.
        auto answer = std::make_shared<std::string>();
        server->Run([answer](IRigServer& probed) {
            const std::string model = probed.Rig()->GetRigType();
            *answer = model + ", " + GroupedHertz(probed.Rig()->GetFreq()) + " Hz";
        });
        return *answer;
    } catch (const std::exception& error) {
        return error.what();
    }
}
