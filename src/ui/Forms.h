#pragma once
// The application object: the host it runs on, its title and the general error
// report that every event handler's unhandled error ends in.

#include <exception>
#include <functional>
#include <string>

#include "ui/Classes.h"
#include "ui/Host.h"

class TApplication : public TComponent {
public:
    // One application at a time; it becomes the global Application.
    explicit TApplication(THost& host);
    ~TApplication() override;

    THost& Host() const { return FHost; }

    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& title) { FTitle = title; }

    // The general error report: one message box titled with the application's
    // title, error icon, the message with "." appended when its last character
    // sorts after ".".
    void ShowException(const std::exception& error);

    void Run() { FHost.Run(); }
    void Terminate() { FHost.Terminate(); }
    void ProcessMessages() { FHost.ProcessMessages(); }
    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style)
    {
        return FHost.ShowMessageBox(text, caption, style);
    }

private:
    THost& FHost;
    std::string FTitle;
};

extern TApplication* Application;

// The text the general error report shows for a message.
std::string ErrorReportText(const std::string& message);

// Runs one event handler as the hosts dispatch every event: an error that
// escapes it goes to the general error report and the event loop goes on.
void DispatchEvent(const std::function<void()>& handler);
