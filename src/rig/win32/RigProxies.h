#pragma once
// TRigProxies: this apartment's proxy factories for the rig server's
// interfaces, looked up once per connection instead of once per proxy.
//
// Every rig fetched comes with a proxy built for it, and COM looks up the
// interface's proxy class, that class's DLL and, for a type-library-marshalled
// interface, the library in the registry and on disk for every one: under Wine
// those lookups are most of a fetch's cost. Held by a connection, this answers
// them from memory with the very marshallers the registry names, so nothing
// changes on the wire. Only what the registry names as the system's
// automation marshallers is taken over; other apartments, and any interface
// registered otherwise, keep the registry's way.
#include <windows.h>
#include <oaidl.h>

#include <vector>

class TRigProxies {
public:
    // lib: the rig server's type library, or null when it is not registered.
    explicit TRigProxies(ITypeLib* lib);
    ~TRigProxies();
    TRigProxies(const TRigProxies&) = delete;
    TRigProxies& operator=(const TRigProxies&) = delete;

    // How many proxy classes this apartment now answers itself.
    size_t Held() const { return FCookies.size(); }

private:
    std::vector<DWORD> FCookies;
};
