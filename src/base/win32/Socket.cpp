// Winsock before windows.h.
#include <winsock2.h>

#include "base/win32/Socket.h"

#include "base/SysUtils.h"
#include "base/win32/ComUtil.h"

bool TSocketTraits::Close(TSocket socket) { return closesocket(socket) == 0; }

TWinsock::TWinsock()
{
    WSADATA data{};
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data))
        RaiseSocketError("Cannot start Windows Sockets", error);
}

TWinsock::~TWinsock() { WSACleanup(); }

void RaiseSocketError(const char* what, int error)
{
    const HRESULT code = HRESULT_FROM_WIN32(static_cast<DWORD>(error));
    throw EOleError(Format("%s: %s", what, OleErrorText(code).c_str()), code);
}
