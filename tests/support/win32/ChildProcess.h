#pragma once
// A program the Windows tests start: its standard handles on NUL, since Wine
// would otherwise hand it the test runner's pipes, which a child that outlives
// the test keeps open.

#include <windows.h>

#include <string>

// Starts exe with args (may be empty) in directory (empty: the test's own),
// and answers its process handle and ids; the caller closes hProcess. Throws
// std::runtime_error naming exe when it does not start.
PROCESS_INFORMATION StartChild(const std::wstring& exe, const std::wstring& args,
                               const std::wstring& directory = {});
