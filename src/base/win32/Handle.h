#pragma once
// One owner for every kind of handle the program holds, from the line that
// acquires it to the one that lets it go. The traits say which value is no
// handle and how the system takes one back; a failed acquisition leaves an
// empty owner, which the caller tests before use. Scope guards that hold no
// handle of their own (a selected object, a saved DC state, an open
// clipboard) stay small classes beside the code that uses them.

#include <windows.h>

#include <utility>

template <class TTraits>
class TUniqueHandle {
public:
    using THandle = typename TTraits::THandle;

    TUniqueHandle() = default;
    // Takes the handle over; traits that need more than the handle to close
    // it (a window DC's window) come with it.
    explicit TUniqueHandle(THandle handle, TTraits traits = {}) : FHandle(handle), FTraits(std::move(traits)) {}
    ~TUniqueHandle() { Close(); }
    TUniqueHandle(TUniqueHandle&& other) noexcept : FHandle(other.Release()), FTraits(std::move(other.FTraits)) {}
    TUniqueHandle& operator=(TUniqueHandle&& other) noexcept
    {
        if (this != &other) {
            Close();
            FHandle = other.Release();
            FTraits = std::move(other.FTraits);
        }
        return *this;
    }
    TUniqueHandle(const TUniqueHandle&) = delete;
    TUniqueHandle& operator=(const TUniqueHandle&) = delete;

    THandle Get() const { return FHandle; }
    explicit operator bool() const { return TTraits::Valid(FHandle); }

    // Lets go of the handle without closing it: someone else owns it now.
    THandle Release() { return std::exchange(FHandle, TTraits::Invalid()); }
    // Closes the handle held, then holds this one.
    void Reset(THandle handle = TTraits::Invalid())
    {
        Close();
        FHandle = handle;
    }
    // Closes the handle now; false when the system could not (nothing held is
    // no failure). The owner is empty afterwards either way.
    bool Close()
    {
        if (!*this) {
            FHandle = TTraits::Invalid();
            return true;
        }
        return FTraits.Close(Release());
    }
    // For a call that fills a handle in: the one held is closed first.
    THandle* Out()
    {
        Reset();
        return &FHandle;
    }

private:
    THandle FHandle = TTraits::Invalid();
    TTraits FTraits;
};

// Traits of handles for which null is no handle.
template <class THandleType>
struct TNullIsNoHandle {
    using THandle = THandleType;
    static constexpr THandle Invalid() { return nullptr; }
    static bool Valid(THandle handle) { return handle != nullptr; }
};

// A kernel object: CreateFile answers INVALID_HANDLE_VALUE for none, most
// others (CreateMutex, CreateEvent, OpenProcess) null; neither is closed.
struct TKernelHandleTraits : TNullIsNoHandle<HANDLE> {
    static bool Valid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static bool Close(HANDLE handle) { return CloseHandle(handle) != FALSE; }
};
using TKernelHandle = TUniqueHandle<TKernelHandleTraits>;

// An open registry key (never a predefined root, which nobody owns).
struct TRegKeyTraits : TNullIsNoHandle<HKEY> {
    static bool Close(HKEY key) { return RegCloseKey(key) == ERROR_SUCCESS; }
};
using TRegKeyHandle = TUniqueHandle<TRegKeyTraits>;

// A global memory block; Release it once the system (the clipboard) has taken it.
struct TGlobalMemoryTraits : TNullIsNoHandle<HGLOBAL> {
    static bool Close(HGLOBAL block) { return GlobalFree(block) == nullptr; }
};
using TGlobalMemory = TUniqueHandle<TGlobalMemoryTraits>;

// Local memory the system allocated for the caller (FormatMessage's text,
// CommandLineToArgvW's array).
struct TLocalMemoryTraits : TNullIsNoHandle<HLOCAL> {
    static bool Close(HLOCAL block) { return LocalFree(block) == nullptr; }
};
using TLocalMemory = TUniqueHandle<TLocalMemoryTraits>;

// A menu that is no window's.
struct TMenuTraits : TNullIsNoHandle<HMENU> {
    static bool Close(HMENU menu) { return DestroyMenu(menu) != FALSE; }
};
using TMenuHandle = TUniqueHandle<TMenuTraits>;

// A window this program made and destroys; released when the system destroyed it.
struct TWindowTraits : TNullIsNoHandle<HWND> {
    static bool Close(HWND window) { return DestroyWindow(window) != FALSE; }
};
using TWindowHandle = TUniqueHandle<TWindowTraits>;
