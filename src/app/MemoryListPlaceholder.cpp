#include "app/MemoryListPlaceholder.h"

#include "ui/Forms.h"

namespace {
constexpr char kNotYet[] = "The memory list is not available in this version";
}

void TMemoryListPlaceholder::Show()
{
    Application->ShowMessageBox(kNotYet, Application->Title(), MsgBox::kOk | MsgBox::kIconWarning);
}

void TMemoryListPlaceholder::AddMemory(const std::string&, const std::string&, int32_t, int32_t) { Show(); }
