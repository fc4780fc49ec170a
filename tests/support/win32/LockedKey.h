#pragma once
// Test support: a registry key whose access list denies some rights to
// everyone while it stands, as the machine's classes are to a standard user.
// Its own access comes back afterwards, and a key made for the lock goes again.

#include <windows.h>

#include <string>

class TLockedKey {
public:
    // Makes the key when missing; denied are the rights taken from everyone
    // (KEY_SET_VALUE | KEY_CREATE_SUB_KEY keeps it from being written).
    TLockedKey(HKEY root, std::wstring key, DWORD denied);
    ~TLockedKey();
    TLockedKey(const TLockedKey&) = delete;
    TLockedKey& operator=(const TLockedKey&) = delete;

    // False when the key could not be made or locked.
    bool Locked() const { return FLocked; }

private:
    bool Secure(const std::wstring& descriptor);

    HKEY FRoot;
    std::wstring FKey;
    std::wstring FOwnAccess;
    bool FMade = false;
    bool FLocked = false;
};
