// The owning handle and the window thunk (base/win32): what each does with
// the system's handle on every way an owner or a window can go.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/SysUtils.h"
#include "base/win32/Handle.h"
#include "base/win32/WindowClass.h"

namespace {

// Whether the system still knows the handle.
bool Open(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent() { return CreateEventW(nullptr, FALSE, FALSE, nullptr); }

TEST(HandleTest, EveryWayOfLettingGoClosesTheHandleExactlyOnce)
{
    struct TCase {
        const char* What;
        // Does something to an owner of `held` and answers the handle that must still be open, if any.
        HANDLE (*Act)(TKernelHandle& owner, HANDLE held);
        bool HeldStaysOpen;
    };
    const TCase cases[] = {
        {"the owner goes", [](TKernelHandle&, HANDLE) -> HANDLE { return nullptr; }, false},
        {"closed now",
         [](TKernelHandle& owner, HANDLE) -> HANDLE {
             EXPECT_TRUE(owner.Close());
             return nullptr;
         },
         false},
        {"released: someone else owns it",
         [](TKernelHandle& owner, HANDLE) -> HANDLE { return owner.Release(); }, true},
        {"reset to another, which it then owns",
         [](TKernelHandle& owner, HANDLE) -> HANDLE {
             owner.Reset(NewEvent());
             return nullptr;
         },
         false},
        {"filled in again by a call",
         [](TKernelHandle& owner, HANDLE) -> HANDLE {
             *owner.Out() = NewEvent();
             return nullptr;
         },
         false},
        {"moved to another owner, which goes",
         [](TKernelHandle& owner, HANDLE held) -> HANDLE {
             {
                 TKernelHandle other(std::move(owner));
                 EXPECT_FALSE(owner);
                 EXPECT_EQ(other.Get(), held);
             }
             return nullptr;
         },
         false},
        {"moved over an owner that held another",
         [](TKernelHandle& owner, HANDLE held) -> HANDLE {
             TKernelHandle other(NewEvent());
             const HANDLE replaced = other.Get();
             other = std::move(owner);
             EXPECT_FALSE(Open(replaced));
             EXPECT_EQ(other.Get(), held);
             return other.Release();
         },
         true},
    };
    for (const TCase& c : cases) {
        HANDLE held = NewEvent();
        ASSERT_TRUE(Open(held)) << c.What;
        HANDLE kept = nullptr;
        {
            TKernelHandle owner(held);
            kept = c.Act(owner, held);
        }
        EXPECT_EQ(Open(held), c.HeldStaysOpen) << c.What;
        if (kept) {
            EXPECT_EQ(kept, held) << c.What;
            CloseHandle(kept);
        }
    }
}

TEST(HandleTest, NoHandleIsNeverClosedAndAHandleTheSystemRefusesIsReported)
{
    // What the system answers for none: CreateFile INVALID_HANDLE_VALUE, most others null.
    for (HANDLE none : {HANDLE(nullptr), INVALID_HANDLE_VALUE}) {
        TKernelHandle owner(none);
        EXPECT_FALSE(owner);
        SetLastError(ERROR_FILE_NOT_FOUND);
        EXPECT_TRUE(owner.Close()) << "nothing held is no failure";
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "the failed call's reason stays";
    }
    // Closed behind the owner's back: its own close fails, and says so.
    TKernelHandle owner(NewEvent());
    CloseHandle(owner.Get());
    EXPECT_FALSE(owner.Close());
    EXPECT_FALSE(owner);
    EXPECT_TRUE(owner.Close()) << "and only once";
}

// A window's owner that records every message its window hands it, in a
// log that outlives it.
class TRecorder {
public:
    explicit TRecorder(std::vector<UINT>& log) : Log(log) {}

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        Log.push_back(message);
        if (message == WM_NCDESTROY)
            HandleAtTheEnd = Window.Handle();
        return DefWindowProcW(window, message, wParam, lParam);
    }

    std::vector<UINT>& Log;
    HWND HandleAtTheEnd = HWND_BROADCAST; // not yet heard
    TObjectWindow<TRecorder> Window{*this};
};

constexpr TWindowClass kRecorderClass{L"VelkorTestRecorder"};

bool Heard(const std::vector<UINT>& log, UINT message)
{
    return std::find(log.begin(), log.end(), message) != log.end();
}

TEST(ObjectWindowTest, AWindowTheSystemDestroysLetsGoOfItsOwnerAndTheOwnerOfIt)
{
    std::vector<UINT> log;
    TRecorder recorder(log);
    HWND window = recorder.Window.Create(kRecorderClass, 0, L"", 0, 0, 0, 0, 0, HWND_MESSAGE);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(log.front(), static_cast<UINT>(WM_NCCREATE)) << "the owner hears its window from the first message";

    DestroyWindow(window); // as the system does with an owned window
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(log.back(), static_cast<UINT>(WM_NCDESTROY)) << "the last message reached the owner";
    EXPECT_EQ(recorder.HandleAtTheEnd, nullptr) << "let go of before the owner heard it";
    EXPECT_EQ(recorder.Window.Handle(), nullptr);
    const size_t heard = log.size();
    recorder.Window.Destroy(); // nothing left to destroy
    EXPECT_EQ(log.size(), heard);
}

TEST(ObjectWindowTest, AnOwnerThatGoesFirstHearsNothingOfItsWindowsEnd)
{
    std::vector<UINT> log;
    HWND window = nullptr;
    size_t heard = 0;
    {
        TRecorder recorder(log);
        window = recorder.Window.Create(kRecorderClass, 0, L"", WS_POPUP, 0, 0, 10, 10, nullptr);
        ASSERT_TRUE(IsWindow(window));
        heard = log.size();
    }
    EXPECT_FALSE(IsWindow(window)) << "the window went with its owner";
    EXPECT_EQ(log.size(), heard) << "no message reached an owner on its way out";
    EXPECT_FALSE(Heard(log, WM_DESTROY));
}

TEST(ObjectWindowTest, AWindowTheSystemRefusesRaisesAndLeavesNoHandle)
{
    std::vector<UINT> log;
    TRecorder recorder(log);
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    // A child of a window that no longer exists.
    EXPECT_THROW(recorder.Window.Create(kRecorderClass, 0, L"", WS_CHILD, 0, 0, 1, 1, gone), EOleError);
    EXPECT_EQ(recorder.Window.Handle(), nullptr);

    // The class stands: the next window of it is made.
    EXPECT_NE(recorder.Window.Create(kRecorderClass, 0, L"", 0, 0, 0, 0, 0, HWND_MESSAGE), nullptr);
}

} // namespace
