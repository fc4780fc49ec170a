// Every Windows test runs on a COM single-threaded apartment, as the program's
// user-interface thread does.
#include <objbase.h>

#include <gtest/gtest.h>

namespace {

class TComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

const auto* const kComEnvironment = ::testing::AddGlobalTestEnvironment(new TComEnvironment);

} // namespace
