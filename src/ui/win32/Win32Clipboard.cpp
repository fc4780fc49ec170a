#include "ui/win32/Win32Clipboard.h"

#include <algorithm>
#include <cstring>

#include "base/win32/ComUtil.h"
#include "base/win32/Handle.h"

namespace {

// The clipboard open for a scope. Another program may hold it for a moment,
// so the opening is tried a few times.
class TClipboardScope {
public:
    explicit TClipboardScope(HWND owner)
    {
        for (int attempt = 0; attempt < 5 && !FOpen; ++attempt) {
            if (attempt)
                Sleep(10);
            FOpen = OpenClipboard(owner) != FALSE;
        }
    }
    ~TClipboardScope()
    {
        if (FOpen)
            CloseClipboard();
    }
    TClipboardScope(const TClipboardScope&) = delete;
    TClipboardScope& operator=(const TClipboardScope&) = delete;
    explicit operator bool() const { return FOpen; }

private:
    bool FOpen = false;
};

// GlobalLock for a scope.
class TGlobalLock {
public:
    explicit TGlobalLock(HGLOBAL block) : FBlock(block), FData(block ? GlobalLock(block) : nullptr) {}
    ~TGlobalLock()
    {
        if (FData)
            GlobalUnlock(FBlock);
    }
    TGlobalLock(const TGlobalLock&) = delete;
    TGlobalLock& operator=(const TGlobalLock&) = delete;
    char* Data() const { return static_cast<char*>(FData); }

private:
    HGLOBAL FBlock;
    void* FData;
};

} // namespace

bool SetClipboardAnsiText(HWND owner, const std::string& text)
{
    // Freed unless the clipboard takes it.
    TGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, text.size() + 1));
    if (!block)
        return false;
    {
        TGlobalLock lock(block.Get());
        if (!lock.Data())
            return false;
        std::memcpy(lock.Data(), text.data(), text.size());
        lock.Data()[text.size()] = '\0';
    }
    TClipboardScope clipboard(owner);
    if (!clipboard || !EmptyClipboard())
        return false;
    if (!SetClipboardData(CF_TEXT, block.Get()))
        return false;
    block.Release(); // the system's now
    return true;
}

bool GetClipboardAnsiText(HWND owner, std::string& bytes, std::string& outside)
{
    outside.clear();
    TClipboardScope clipboard(owner);
    if (!clipboard)
        return false;
    HANDLE data = GetClipboardData(CF_TEXT);
    if (!data)
        return false;
    {
        TGlobalLock lock(data);
        if (!lock.Data())
            return false;
        bytes.assign(lock.Data(), GlobalSize(data));
    }
    // The system made CF_TEXT of the Unicode text (or this of that), putting
    // a default or a look-alike character where the code page has none.
    if (HANDLE unicode = GetClipboardData(CF_UNICODETEXT)) {
        TGlobalLock lock(unicode);
        if (const auto* text = reinterpret_cast<const wchar_t*>(lock.Data())) {
            const size_t capacity = GlobalSize(unicode) / sizeof(wchar_t);
            const size_t length = std::find(text, text + capacity, L'\0') - text;
            outside = CharsOutsideCodePage(text, length);
        }
    }
    return true;
}
