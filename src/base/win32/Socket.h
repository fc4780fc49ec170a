#pragma once
// Windows Sockets' building blocks: the socket's owner and Winsock's start
// and cleanup, for the rigctl port and the rigctld client alike.

#include <windows.h>

#include "base/win32/Handle.h"

// Winsock's SOCKET, without its header: windows.h may have come first.
using TSocket = UINT_PTR;

// A socket, closed by its owner (closesocket).
struct TSocketTraits {
    using THandle = TSocket;
    static constexpr TSocket Invalid() { return ~TSocket(0); }
    static bool Valid(TSocket socket) { return socket != Invalid(); }
    static bool Close(TSocket socket);
};
using TSocketHandle = TUniqueHandle<TSocketTraits>;

// Windows Sockets for the owner's life, cleaned up only when they started.
class TWinsock {
public:
    // Raises EOleError with the system's text when they cannot start.
    TWinsock();
    ~TWinsock();
    TWinsock(const TWinsock&) = delete;
    TWinsock& operator=(const TWinsock&) = delete;
};

// Raises EOleError "what: the system's text for error".
[[noreturn]] void RaiseSocketError(const char* what, int error);
