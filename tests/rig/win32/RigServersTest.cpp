// Every kind the registry and the dialog offer can be made: a kind added
// without its maker is found here, not by the operator who chooses it.
#include <gtest/gtest.h>

#include <stdexcept>

#include "rig/win32/RigServers.h"

namespace {

TEST(RigServersTest, EveryKindHasAMakerAndAKindWithoutOneIsRefused)
{
    for (const TRigServerKindInfo& info : RigServerKinds()) {
        SCOPED_TRACE(std::string(info.Name));
        EXPECT_EQ(RigServerMakerOf(RigServerMakers(), info.Kind).Kind, info.Kind);
    }
    const TRigServerMaker onlyCom[] = {
        {TRigServerKind::Com, RigServerMakerOf(RigServerMakers(), TRigServerKind::Com).Make},
        {TRigServerKind::Rigctld, nullptr},
    };
    EXPECT_THROW(RigServerMakerOf(onlyCom, TRigServerKind::Rigctld), std::logic_error);
    EXPECT_THROW(RigServerMakerOf({}, TRigServerKind::Com), std::logic_error);
}

} // namespace
