// Every Windows test runs on a COM single-threaded apartment, as the program's
// user-interface thread does.
#include <gtest/gtest.h>

#include <optional>

#include "base/win32/ComScope.h"

namespace {

class TComEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        FApartment.emplace(COINIT_APARTMENTTHREADED);
        ASSERT_TRUE(SUCCEEDED(FApartment->Result()));
    }
    void TearDown() override { FApartment.reset(); }

private:
    std::optional<TComApartment> FApartment;
};

const auto* const kComEnvironment = ::testing::AddGlobalTestEnvironment(new TComEnvironment);

} // namespace
