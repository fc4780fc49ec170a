// The suites that start velkor.exe and rigsim.exe end with none of them
// running. Wine hands every child the test's own stderr, so one left behind
// (a rig server COM started for a program that closed during its first call)
// would keep the test runner waiting for the output until its timeout.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/win32/RigSimProcess.h"
#include "tests/support/win32/VelkorProcess.h"
#include "tests/support/win32/Wait.h"

namespace {

class TLeftoverProcesses : public ::testing::Environment {
public:
    void TearDown() override
    {
        // A rig server ends a moment after its last client, or when the
        // client that started it never came.
        if (WaitFor([] { return VelkorProcessIds().empty() && TRigSimProcess::RunningIds().empty(); }, 15000))
            return;
        for (DWORD id : VelkorProcessIds()) {
            std::fprintf(stderr, "velkor.exe %lu still ran after the tests; ended\n", static_cast<unsigned long>(id));
            EndVelkor(id);
        }
        if (!TRigSimProcess::RunningIds().empty()) {
            std::fprintf(stderr, "rigsim.exe still ran after the tests; ended\n");
            TRigSimProcess::StopAll();
        }
    }
};

const auto* const kLeftoverProcesses = ::testing::AddGlobalTestEnvironment(new TLeftoverProcesses);

} // namespace
