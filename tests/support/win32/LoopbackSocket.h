#pragma once
// Test support: a TCP socket of the test's own on 127.0.0.1. Include
// <winsock2.h> before anything that brings <windows.h>, and start Winsock.

#include <winsock2.h>

#include <cstdint>
#include <stdexcept>

// Bound to a port the system picks, which port receives; raises
// std::runtime_error when there is none.
inline SOCKET BoundLoopbackSocket(uint16_t& port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free port");
    port = ntohs(address.sin_port);
    return s;
}
