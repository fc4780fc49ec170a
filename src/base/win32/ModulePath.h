#pragma once
// The full path of a loaded module, however long.

#include <windows.h>

#include <string>

// The path of module (the process's executable when null), also beyond
// MAX_PATH; empty when the system cannot tell.
std::wstring ModulePath(HMODULE module = nullptr);
