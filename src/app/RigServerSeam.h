#pragma once
// What the main window asks of the rig server choice.

#include <functional>

class IRigServerChoice {
public:
    virtual ~IRigServerChoice() = default;
    // The rig server in use is a rigctld (the COM rig server's own settings
    // window means nothing then).
    virtual bool RigctldChosen() const = 0;
    // Opens the rig server dialog, not modal; accepted runs once the
    // operator's choice has been saved and taken over, after the dialog closed.
    virtual void ShowDialog(std::function<void()> accepted) = 0;
};
