#include <gtest/gtest.h>

#include "automation/StartMode.h"

namespace {

TEST(StartMode, TheFirstSwitchInTheTablesOrderSetsTheMode)
{
    using P = std::vector<std::string>;
    const struct {
        P Params;
        TStartMode Mode;
    } cases[] = {
        {{}, TStartMode::Standalone},
        {{"/regserver"}, TStartMode::Register},
        {{"-RegServer"}, TStartMode::Register},
        {{"/REGSERVER"}, TStartMode::Register},
        {{"/regserver32"}, TStartMode::Standalone},
        {{"REGSERVER"}, TStartMode::Standalone},
        {{"/"}, TStartMode::Standalone},
        {{""}, TStartMode::Standalone},
        {{"//regserver"}, TStartMode::Standalone},
        {{"-Embedding"}, TStartMode::Automation},
        {{"/automation"}, TStartMode::Automation},
        {{"/Embedding", "/UnregServer"}, TStartMode::Automation},
        {{"/UnregServer", "/Embedding"}, TStartMode::Automation},
        {{"/RegServer", "/UnregServer"}, TStartMode::Register},
        {{"/UnregServer", "/RegServer"}, TStartMode::Register},
        {{"-unregserver"}, TStartMode::Unregister},
        {{"velkor.ini", "/unregserver"}, TStartMode::Unregister},
        {{"/unregserver "}, TStartMode::Standalone},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const std::string& p : c.Params)
            shown += "[" + p + "]";
        EXPECT_EQ(StartModeOf(c.Params), c.Mode) << shown;
    }
}

// The rigctl port's switch goes with any start.
TEST(StartMode, TheRigctlSwitchIsNoStartMode)
{
    for (const char* param : {"/rigctl", "/rigctl:4532", "-rigctl:0"})
        EXPECT_EQ(StartModeOf({param}), TStartMode::Standalone) << param;
    EXPECT_EQ(StartModeOf({"/rigctl", "/Embedding"}), TStartMode::Automation);
    EXPECT_EQ(StartModeOf({"/regserver", "/rigctl:4600"}), TStartMode::Register);
}

} // namespace
