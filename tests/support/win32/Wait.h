#pragma once
// The tests' one wait for a condition another thread or process brings about.

#include <windows.h>

// Polls condition every 50 ms; true as soon as it holds, false after milliseconds.
template <class Condition>
bool WaitFor(Condition condition, DWORD milliseconds)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(50))
        if (condition())
            return true;
    return condition();
}
