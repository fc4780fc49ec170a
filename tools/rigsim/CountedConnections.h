#pragma once
// The connections of clients to one of the stand-in's objects, which keep
// the process alive when COM started it.

#include <windows.h>
#include <objidl.h>

#include "Simulator.h"

// Counts the strong external connections of one object into the server
// process: those of clients keep the process alive when COM started it. A
// lasting lock that the object holds on itself is no client. Self provides
// Simulator().
//
// Wine tells an object only when its first external reference comes and its
// last one goes, whoever holds them: while the object's own lock stands it
// hears of no client at all. Dropping the lock when no other client is left
// settles it: a client that still holds the object is then its last reference.
template <class Self>
class TCountedConnections : public IExternalConnection {
public:
    DWORD STDMETHODCALLTYPE AddConnection(DWORD type, DWORD) override
    {
        if (type & EXTCONN_STRONG) {
            ++FStrong;
            Settle();
        }
        return FStrong;
    }

    DWORD STDMETHODCALLTYPE ReleaseConnection(DWORD type, DWORD, BOOL) override
    {
        if ((type & EXTCONN_STRONG) && FStrong > 0) {
            --FStrong;
            Settle();
        }
        return FStrong;
    }

protected:
    // Set before the object locks itself and after it unlocks itself.
    void SetOwnLock(bool held)
    {
        FOwn = held ? 1 : 0;
        Settle();
    }

private:
    // Holds one server reference for every client connection. The server's
    // answer may come back here (a last release drops a lasting lock), so the
    // count is settled one step at a time.
    void Settle()
    {
        for (;;) {
            const DWORD clients = FStrong > FOwn ? FStrong - FOwn : 0;
            TSimulator& sim = static_cast<Self*>(this)->Simulator();
            if (FCounted < clients) {
                ++FCounted;
                sim.AddServerRef();
            } else if (FCounted > clients) {
                --FCounted;
                sim.ReleaseServerRef();
            } else {
                return;
            }
        }
    }

    DWORD FStrong = 0;
    DWORD FOwn = 0;
    DWORD FCounted = 0;
};
