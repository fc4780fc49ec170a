#pragma once
// The full path of a loaded module, however long, and the process's own
// command line.

#include <windows.h>

#include <string>
#include <vector>

// The path of module (the process's executable when null), also beyond
// MAX_PATH; empty when the system cannot tell.
std::wstring ModulePath(HMODULE module = nullptr);

// The process's command-line arguments after the program's name, split as
// the system splits them; empty when it cannot.
std::vector<std::wstring> CommandLineArgs();
