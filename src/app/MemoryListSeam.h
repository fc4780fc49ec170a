#pragma once
// What the main window asks of the memory list window.

#include <cstdint>
#include <string>

class IMemoryList {
public:
    virtual ~IMemoryList() = default;
    // Shows the list, not modal.
    virtual void Show() = 0;
    // Adds a memory and shows the list with it ready for a caption; a
    // frequency of -1 leaves that VFO out of the memory.
    virtual void AddMemory(const std::string& name, const std::string& mode, int32_t freqA, int32_t freqB) = 0;
    // Asked before the program closes: may save unsaved memories or refuse.
    virtual void CloseCheck(bool& canClose) = 0;
};
