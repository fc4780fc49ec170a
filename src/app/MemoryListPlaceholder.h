#pragma once
// Stands in for the memory list window until it exists: says so when asked for
// it and never holds up closing.

#include "app/MemoryListSeam.h"

class TMemoryListPlaceholder : public IMemoryList {
public:
    void Show() override;
    void AddMemory(const std::string& name, const std::string& mode, int32_t freqA, int32_t freqB) override;
    void CloseCheck(bool& canClose) override { canClose = true; }
};
