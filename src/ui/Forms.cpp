#include "ui/Forms.h"

#include <cassert>

#include "base/SysUtils.h"

TApplication* Application = nullptr;

TApplication::TApplication(THost& host) : TComponent(nullptr), FHost(host)
{
    assert(!Application && "one application at a time");
    Application = this;
}

TApplication::~TApplication()
{
    // The windows and timers it owns go first, while Application still answers.
    while (ComponentCount() > 0)
        delete Components(ComponentCount() - 1);
    Application = nullptr;
}

std::string ErrorReportText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void TApplication::ShowException(const std::exception& error)
{
    FHost.ShowMessageBox(ErrorReportText(error.what()), FTitle, MsgBox::kOk | MsgBox::kIconError);
}

void DispatchEvent(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        if (Application)
            Application->ShowException(error);
    } catch (...) {
        if (Application)
            Application->ShowException(Exception("Unknown error"));
    }
}
