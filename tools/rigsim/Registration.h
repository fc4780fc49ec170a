#pragma once
// /regserver and /unregserver: the type library and the CLSID's LocalServer32.

#include <string>

// Both return 0 on success; on failure they put a message in error.
int RegisterServer(const std::wstring& exePath, std::wstring& error);
int UnregisterServer(const std::wstring& exePath, std::wstring& error);
