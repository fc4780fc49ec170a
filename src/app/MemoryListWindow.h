#pragma once
// The memory list window as the main window asks for it.

#include "app/MemoryListSeam.h"
#include "memories/ListUnit.h"

class TMemoryListWindow : public IMemoryList {
public:
    // The window is made after the main window, so it is given later; until
    // then nothing is shown or stored, and closing is never held up.
    void SetForm(TListForm* form) { FForm = form; }

    void Show() override
    {
        if (FForm)
            FForm->Show();
    }
    void AddMemory(const std::string& name, const std::string& mode, int32_t freqA, int32_t freqB) override
    {
        if (FForm)
            FForm->AddMemory(name, mode, freqA, freqB);
    }
    void CloseCheck(bool& canClose) override { canClose = !FForm || FForm->CloseCheck(); }

private:
    TListForm* FForm = nullptr;
};
