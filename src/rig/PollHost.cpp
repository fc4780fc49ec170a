#include "rig/PollHost.h"

#include "ui/Application.h"

TAppPollHost::TAppPollHost(TApplication& app) : FEvents(app.Events()), FApp(app) {}

void TAppPollHost::StartTimer(TTimer& timer, uint32_t interval) { FEvents.StartTimer(timer, interval); }

void TAppPollHost::StopTimer(TTimer& timer) { FEvents.StopTimer(timer); }

void TAppPollHost::ReportPollFailure(std::exception_ptr failure)
{
    DispatchEvent(&FApp, [&failure] { std::rethrow_exception(failure); });
}

void TAppPollHost::Deliver(std::function<void()> call) { FEvents.Deliver(std::move(call)); }
