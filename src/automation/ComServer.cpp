#include "automation/ComServer.h"

#include "ui/Forms.h"

const char* const TComServer::kWarningCaption = "COM Server Warning";
const std::string TComServer::kWarningText =
    std::string("There are still active COM objects in this application.  One or more clients may have references "
                "to these objects, so manually closing ") +
    "this application may cause those client application(s) to fail." + "\r\n\r\n" +
    "Are you sure you want to close this application?";

TComServer::TComServer(TStartMode mode, IComProcess& process) : FStartMode(mode), FProcess(process) {}

TComServer::~TComServer() { Detach(); }

void TComServer::CountIn() noexcept
{
    ++FObjectCount;
    if (FStartMode == TStartMode::Automation)
        FProcess.AddRefServerProcess();
}

void TComServer::CountOut() noexcept
{
    // A client that gives back a lock it never took changes nothing: the
    // count never goes below zero, nor the server process's with it.
    int32_t count = FObjectCount.load();
    do {
        if (count <= 0)
            return;
    } while (!FObjectCount.compare_exchange_weak(count, count - 1));
    if (FStartMode == TStartMode::Automation && FProcess.ReleaseServerProcess() == 0)
        LastReleased();
}

void TComServer::Attach(TApplication& app, std::function<bool()> closeCheck)
{
    Detach();
    FApp = &app;
    FCloseCheck = std::move(closeCheck);
    app.AddTerminationCheck(this, [this] { return ClosingWarning(); });
    if (FEndPending) {
        FEndPending = false;
        LastReleased();
    }
}

void TComServer::Detach()
{
    if (FApp)
        FApp->RemoveTerminationChecks(this);
    FApp = nullptr;
    FCloseCheck = nullptr;
}

bool TComServer::ClosingWarning()
{
    if (FObjectCount.load() <= 0 || !FApp)
        return true;
    if (FApp->ShowMessageBox(kWarningText, kWarningCaption,
                             MsgBox::kYesNo | MsgBox::kIconWarning | MsgBox::kDefButton2 | MsgBox::kTaskModal) !=
        MsgBox::kIdYes)
        return false;
    FEnding = true;
    return true;
}

bool TComServer::OperatorStarted()
{
    if (FEnding)
        return false;
    if (FStartMode == TStartMode::Automation)
        ServeAsOperatorsProgram();
    return true;
}

void TComServer::LastReleased()
{
    // Called from inside a release, maybe while a message box or a menu
    // waits: the end is decided in the main loop, never here.
    if (!FApp) {
        FEndPending = true;
        return;
    }
    FApp->Events().PostToMainLoop([this] { EndAfterLastRelease(); });
}

void TComServer::EndAfterLastRelease()
{
    // The program is ending already, or was never COM's to end.
    if (FStartMode != TStartMode::Automation || FEnding || !FApp)
        return;
    // The last release suspended the class object: whatever follows, the
    // program either ends here or serves again.
    if (FObjectCount.load() > 0) {
        // A client came before this ran; its own release ends the program.
        FProcess.ResumeClassObjects();
        return;
    }
    bool mayEnd = true;
    try {
        mayEnd = !FCloseCheck || FCloseCheck();
    } catch (...) {
        // The memories could not be saved: kept, as if the operator had
        // kept them; the error goes to the report.
        ServeAsOperatorsProgram();
        throw;
    }
    if (!mayEnd) {
        ServeAsOperatorsProgram();
        return;
    }
    if (FObjectCount.load() > 0) {
        // A client came while the question was up: not cut off.
        FProcess.ResumeClassObjects();
        return;
    }
    FEnding = true;
    FApp->Terminate();
}

void TComServer::ServeAsOperatorsProgram()
{
    // Kept by the operator: from now on the program runs as if the operator
    // had started it, and serves new clients.
    FStartMode = TStartMode::Standalone;
    FProcess.ResumeClassObjects();
}
