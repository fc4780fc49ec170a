#pragma once
// The application object: the host it runs on, its title, its main and active
// forms, hints, the checks asked before the program ends, and the general
// error report that every event handler's unhandled error ends in.

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/Classes.h"
#include "ui/Host.h"
#include "ui/Menus.h"

class TControl;
class TForm;

class TApplication : public TComponent {
public:
    // Attaches itself to the host, which serves it until it goes.
    explicit TApplication(THost& host);
    ~TApplication() override;

    // The parts of the host, each to the user that needs it alone.
    IEventLoop& Events() const { return FHost; }
    IFormWindows& Windows() const { return FHost; }
    IScreen& Screen() const { return FHost; }
    IPopups& Popups() const { return FHost; }
    IShell& Shell() const { return FHost; }
    INativeEditHost& NativeEdits() const { return FHost; }

    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& title) { FTitle = title; }
    // The first form made; closing it ends the program.
    TForm* MainForm() const { return FMainForm; }

    // The general error report: one message box titled with the application's
    // title, error icon, the message with "." appended when its last character
    // sorts after ".".
    void ShowException(const std::exception& error);

    // Shows the main form and serves events until Terminate.
    void Run();
    void Terminate()
    {
        FEnding = true;
        FHost.Terminate();
    }
    // Terminate was called: the close was allowed, and the program is ending.
    bool Ending() const { return FEnding; }
    void ProcessMessages() { FHost.ProcessMessages(); }
    // Serves events for a while without spinning: until milliseconds have
    // passed, or the tick count has wrapped around below the start.
    void ProcessMessagesFor(uint32_t milliseconds);

    // Shortcuts of the active form's menus (else the main form's); the host
    // asks before a key message is translated. True when an item took it.
    bool IsShortCut(TShortCut shortCut);
    TForm* ActiveForm() const { return FActiveForm; }

    // Checks asked before the main window closes or the session ends, in the
    // order added; any one answering false keeps the program running.
    void AddTerminationCheck(const void* owner, std::function<bool()> check);
    void RemoveTerminationChecks(const void* owner);
    bool TerminationAllowed();
    void Minimize() { FHost.MinimizeApplication(); }
    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style)
    {
        return FHost.ShowMessageBox(text, caption, style);
    }

    // Hints: the mouse came over a control (or left every control); its hint
    // shows after HintPause milliseconds and until the mouse leaves or a
    // button goes down.
    void HintMouseOver(TControl* control);
    void CancelHint();
    uint32_t HintPause = 500;

private:
    friend class TForm;
    void FormCreated(TForm* form);
    void ControlGone(TControl* control);
    void FormDestroyed(TForm* form);

    THost& FHost;
    std::string FTitle;
    TForm* FMainForm = nullptr;
    TForm* FActiveForm = nullptr;
    std::vector<std::pair<const void*, std::function<bool()>>> FTerminationChecks;
    bool FEnding = false;
    TControl* FHintControl = nullptr;
    TTimer* FHintTimer = nullptr;
};

// The application a component is, or belongs to at any depth of owners;
// nullptr outside any.
TApplication* FindApplication(const TComponent* component);

// The text the general error report shows for a message.
std::string ErrorReportText(const std::string& message);

// Runs one event handler as the hosts dispatch every event: an error that
// escapes it goes to app's general error report (dropped when there is no
// application yet) and the event loop goes on.
void DispatchEvent(TApplication* app, const std::function<void()>& handler);
