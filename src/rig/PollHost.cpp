#include "rig/PollHost.h"

#include "ui/Application.h"

void TAppPollHost::StartTimer(TTimer& timer, uint32_t interval) { FApp.Host().StartTimer(timer, interval); }

void TAppPollHost::StopTimer(TTimer& timer) { FApp.Host().StopTimer(timer); }

void TAppPollHost::ReportPollFailure(std::exception_ptr failure)
{
    DispatchEvent(&FApp, [&failure] { std::rethrow_exception(failure); });
}

void TAppPollHost::Deliver(std::function<void()> call) { FApp.Host().Deliver(std::move(call)); }
