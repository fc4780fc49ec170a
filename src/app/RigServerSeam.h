#pragma once
// What the main window asks of the rig server choice.

#include <functional>

class IRigServerChoice {
public:
    virtual ~IRigServerChoice() = default;
    // The rig server in use opens a settings dialog of its own; the others
    // are set in the rig server dialog.
    virtual bool ChosenHasOwnDialog() const = 0;
    // Opens the rig server dialog, not modal; accepted runs once the
    // operator's choice has been saved and taken over, after the dialog closed.
    virtual void ShowDialog(std::function<void()> accepted) = 0;
};
