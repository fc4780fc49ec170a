#include "ui/Application.h"

#include <cassert>

#include "base/SysUtils.h"
#include "ui/Forms.h"

TApplication* FindApplication(const TComponent* component)
{
    for (; component; component = component->Owner())
        if (auto* app = dynamic_cast<const TApplication*>(component))
            return const_cast<TApplication*>(app);
    return nullptr;
}

TApplication::TApplication(THost& host) : TComponent(nullptr), FHost(host)
{
    FHintTimer = new TTimer(this, FHost);
    FHintTimer->SetEnabled(false);
    FHintTimer->OnTimer = [this](TObject*) {
        FHintTimer->SetEnabled(false);
        if (FHintControl) {
            const TPoint cursor = FHost.CursorPos();
            FHost.ShowHintWindow(FHintControl->Hint(), {cursor.X, cursor.Y + 20});
        }
    };
    FHost.AttachApplication(*this);
}

TApplication::~TApplication()
{
    // The windows and timers it owns go first, while the host still serves it.
    DestroyComponents();
    FHost.DetachApplication(*this);
}

void TApplication::FormCreated(TForm* form)
{
    if (!FMainForm)
        FMainForm = form;
}

void TApplication::FormDestroyed(TForm* form)
{
    if (FMainForm == form)
        FMainForm = nullptr;
    if (FActiveForm == form)
        FActiveForm = nullptr;
}

void TApplication::Run()
{
    if (FMainForm && !FMainForm->Visible())
        DispatchEvent(this, [this] { FMainForm->Show(); });
    FHost.Run();
}

void TApplication::ProcessMessagesFor(uint32_t milliseconds)
{
    const uint32_t start = FHost.TickCount();
    for (;;) {
        FHost.ProcessMessages();
        const uint32_t now = FHost.TickCount();
        if (now < start || now - start >= milliseconds)
            return;
        FHost.WaitMessage(milliseconds - (now - start));
    }
}

bool TApplication::IsShortCut(TShortCut shortCut)
{
    TForm* form = FActiveForm ? FActiveForm : FMainForm;
    return form && form->IsShortCut(shortCut);
}

void TApplication::AddTerminationCheck(const void* owner, std::function<bool()> check)
{
    FTerminationChecks.emplace_back(owner, std::move(check));
}

void TApplication::RemoveTerminationChecks(const void* owner)
{
    std::erase_if(FTerminationChecks, [owner](const auto& check) { return check.first == owner; });
}

bool TApplication::TerminationAllowed()
{
    // A check may add or remove checks while it asks.
    const auto checks = FTerminationChecks;
    for (const auto& check : checks)
        if (!check.second())
            return false;
    return true;
}

void TApplication::HintMouseOver(TControl* control)
{
    if (control == FHintControl)
        return;
    CancelHint();
    if (control && control->ShowHint() && !control->Hint().empty()) {
        FHintControl = control;
        FHintTimer->SetInterval(HintPause);
        FHintTimer->SetEnabled(true);
    }
}

void TApplication::CancelHint()
{
    if (FHintTimer)
        FHintTimer->SetEnabled(false);
    if (FHintControl) {
        FHintControl = nullptr;
        FHost.HideHintWindow();
    }
}

void TApplication::ControlGone(TControl* control)
{
    if (IsInside(FHintControl, control))
        CancelHint();
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

void DispatchEvent(TApplication* app, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        if (app)
            app->ShowException(error);
    } catch (...) {
        if (app)
            app->ShowException(Exception("Unknown error"));
    }
}

void THost::AttachApplication(TApplication& app)
{
    assert(!FApp && "one application per host at a time");
    FApp = &app;
}

void THost::DetachApplication(TApplication& app)
{
    if (FApp == &app)
        FApp = nullptr;
}
