#include "ui/win32/Win32Host.h"

#include <cassert>
#include <cstdio>

#include "base/win32/ComUtil.h"
#include "ui/Classes.h"
#include "ui/Forms.h"
#include "ui/win32/Win32Canvas.h"

TWin32Host* TWin32Host::FInstance = nullptr;

namespace {

constexpr wchar_t kFormClass[] = L"VelkorForm";
constexpr wchar_t kHintClass[] = L"VelkorHint";

[[noreturn]] void RaiseLastError()
{
    HRESULT code = HRESULT_FROM_WIN32(GetLastError());
    throw EOleError(OleErrorText(code), code);
}

void RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &windowClass))
        return;
    windowClass.style = style;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    if (!RegisterClassExW(&windowClass))
        RaiseLastError();
}

std::pair<DWORD, DWORD> WindowStyle(TFormBorderStyle border)
{
    switch (border) {
    case TFormBorderStyle::bsNone:
        return {WS_POPUP | WS_MINIMIZEBOX, 0};
    case TFormBorderStyle::bsSingle:
    case TFormBorderStyle::bsDialog:
        return {WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0};
    case TFormBorderStyle::bsToolWindow:
        return {WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, WS_EX_TOOLWINDOW};
    case TFormBorderStyle::bsSizeToolWin:
        return {WS_OVERLAPPEDWINDOW, WS_EX_TOOLWINDOW};
    default:
        return {WS_OVERLAPPEDWINDOW, 0};
    }
}

void Deliver(TForm& form, unsigned message, WPARAM wParam, LPARAM lParam)
{
    TMessage msg{message, wParam, lParam, 0};
    DispatchEvent([&] { form.Dispatch(msg); });
}

// Paints through a bitmap of the whole client area and copies the part asked
// for, so that nothing flickers.
void PaintBuffered(TForm& form, HWND window, HDC target, const RECT& area)
{
    RECT client;
    GetClientRect(window, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    HDC memory = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    DispatchEvent([&] {
        TWin32Canvas canvas(memory);
        form.PaintContent(canvas, {area.left, area.top, area.right, area.bottom});
    });
    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, memory, area.left, area.top,
           SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

HWND MainWindow()
{
    TForm* main = Application ? Application->MainForm() : nullptr;
    return main ? TWin32Host::WindowOf(*main) : nullptr;
}

} // namespace

TWin32Host::TWin32Host()
{
    assert(!FInstance && "one host per process");
    FInstance = this;
}

TWin32Host::~TWin32Host()
{
    for (const auto& [id, timer] : FTimers)
        KillTimer(nullptr, id);
    if (FHintWindow)
        DestroyWindow(FHintWindow);
    FInstance = nullptr;
}

// ---------------------------------------------------------------- timers and the loop

// Thread timers need no window, so timers also run where no window can be made.
void TWin32Host::StartTimer(TTimer& timer, uint32_t interval)
{
    StopTimer(timer);
    UINT_PTR id = SetTimer(nullptr, 0, interval, &TWin32Host::TimerProc);
    if (!id)
        RaiseLastError();
    FTimers[id] = &timer;
}

void TWin32Host::StopTimer(TTimer& timer)
{
    for (auto it = FTimers.begin(); it != FTimers.end(); ++it)
        if (it->second == &timer) {
            KillTimer(nullptr, it->first);
            FTimers.erase(it);
            return;
        }
}

void CALLBACK TWin32Host::TimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!FInstance)
        return;
    // A tick already queued when its timer stopped finds no timer.
    auto it = FInstance->FTimers.find(id);
    if (it == FInstance->FTimers.end())
        return;
    TTimer* timer = it->second;
    DispatchEvent([timer] { timer->Timer(); });
}

int TWin32Host::ShowMessageBox(const std::string& text, const std::string& caption, unsigned style)
{
    HWND owner = (style & MsgBox::kTaskModal) ? nullptr : GetActiveWindow();
    return MessageBoxW(owner, AnsiToWide(text).c_str(), AnsiToWide(caption).c_str(), style);
}

bool TWin32Host::Dispatch(const MSG& msg)
{
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void TWin32Host::ProcessMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!Dispatch(msg)) {
            // Leave the quit for the loop that waits for it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
}

void TWin32Host::Run()
{
    // Takes the quit message too, also one that ProcessMessages left waiting.
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        Dispatch(msg);
    FTerminated = true;
}

// ---------------------------------------------------------------- form windows

void TWin32Host::CreateFormWindow(TForm& form)
{
    RegisterWindowClass(kFormClass, &TWin32Host::FormWndProc, CS_DBLCLKS);
    const auto [style, exStyle] = WindowStyle(form.BorderStyle());
    // The other windows belong to the main one: they go to the taskbar with it.
    HWND owner = Application->MainForm() ? MainWindow() : nullptr;
    HWND window = CreateWindowExW(exStyle, kFormClass, AnsiToWide(form.Caption()).c_str(), style, form.Left(),
                                  form.Top(), form.Width(), form.Height(), owner, nullptr, GetModuleHandleW(nullptr),
                                  &form);
    if (!window)
        RaiseLastError();
}

void TWin32Host::DestroyFormWindow(TForm& form)
{
    HWND window = WindowOf(form);
    if (!window)
        return;
    // No message reaches a form that is going.
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
    form.SetHandle(0);
}

void TWin32Host::UpdateFormStyle(TForm& form)
{
    HWND window = WindowOf(form);
    const auto [style, exStyle] = WindowStyle(form.BorderStyle());
    const LONG_PTR visible = GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE;
    SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(style) | visible);
    SetWindowLongPtrW(window, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
    SetWindowPos(window, nullptr, form.Left(), form.Top(), form.Width(), form.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TWin32Host::ShowFormWindow(TForm& form, bool visible)
{
    HWND window = WindowOf(form);
    ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
    if (visible)
        SetForegroundWindow(window);
}

void TWin32Host::SetFormBounds(TForm& form, const TRect& bounds)
{
    SetWindowPos(WindowOf(form), nullptr, bounds.Left, bounds.Top, bounds.Width(), bounds.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32Host::SetFormCaption(TForm& form, const std::string& caption)
{
    SetWindowTextW(WindowOf(form), AnsiToWide(caption).c_str());
}

void TWin32Host::InvalidateForm(TForm& form, const TRect& area)
{
    if (HWND window = WindowOf(form)) {
        RECT r{area.Left, area.Top, area.Right, area.Bottom};
        InvalidateRect(window, &r, FALSE);
    }
}

void TWin32Host::SetCapture(TForm* form)
{
    if (form)
        ::SetCapture(WindowOf(*form));
    else
        ReleaseCapture();
}

TPoint TWin32Host::CursorPos()
{
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
}

TWindowPlacement TWin32Host::GetPlacement(TForm& form)
{
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    GetWindowPlacement(WindowOf(form), &wp);
    return {wp.flags,
            wp.showCmd,
            {wp.ptMinPosition.x, wp.ptMinPosition.y},
            {wp.ptMaxPosition.x, wp.ptMaxPosition.y},
            {wp.rcNormalPosition.left, wp.rcNormalPosition.top, wp.rcNormalPosition.right,
             wp.rcNormalPosition.bottom}};
}

void TWin32Host::SetPlacement(TForm& form, const TWindowPlacement& placement)
{
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    wp.flags = placement.Flags;
    wp.showCmd = placement.ShowCmd;
    wp.ptMinPosition = {placement.MinPosition.X, placement.MinPosition.Y};
    wp.ptMaxPosition = {placement.MaxPosition.X, placement.MaxPosition.Y};
    wp.rcNormalPosition = {placement.NormalPosition.Left, placement.NormalPosition.Top,
                           placement.NormalPosition.Right, placement.NormalPosition.Bottom};
    SetWindowPlacement(WindowOf(form), &wp);
}

void TWin32Host::SetFormState(TForm& form, unsigned showCmd) { ShowWindow(WindowOf(form), static_cast<int>(showCmd)); }

bool TWin32Host::IsFormMinimized(TForm& form) { return IsIconic(WindowOf(form)) != FALSE; }

void TWin32Host::MinimizeApplication()
{
    if (HWND main = MainWindow())
        ShowWindow(main, SW_MINIMIZE);
}

void TWin32Host::PostMinimizeApplication()
{
    if (HWND main = MainWindow())
        PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

bool TWin32Host::IsApplicationMinimized()
{
    HWND main = MainWindow();
    return main && IsIconic(main);
}

TSize TWin32Host::ScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

int TWin32Host::ScreenPixelsPerInch()
{
    HDC screen = GetDC(nullptr);
    int pixels = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return pixels;
}

TSize TWin32Host::TextExtent(const TFont& font, const std::string& text)
{
    HDC screen = GetDC(nullptr);
    TSize size;
    {
        TWin32Canvas canvas(screen);
        canvas.Font = font;
        size = canvas.TextExtent(text);
    }
    ReleaseDC(nullptr, screen);
    return size;
}

LRESULT CALLBACK TWin32Host::FormWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* form = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        form->SetHandle(reinterpret_cast<uintptr_t>(window));
    }
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form)
        return DefWindowProcW(window, message, wParam, lParam);

    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        PaintBuffered(*form, window, dc, paint.rcPaint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(window, &client);
        DispatchEvent([&] {
            TWin32Canvas canvas(reinterpret_cast<HDC>(wParam));
            form->PaintContent(canvas, {0, 0, client.right, client.bottom});
        });
        return 0;
    }
    case WM_MOUSEMOVE: {
        // Asks for the leave message that ends the hover.
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
        TrackMouseEvent(&track);
        Deliver(*form, message, wParam, lParam);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSELEAVE:
    case WM_CAPTURECHANGED:
    case WM_CLOSE:
        Deliver(*form, message, wParam, lParam);
        return 0;
    case WM_ACTIVATE:
        Deliver(*form, message, wParam, lParam);
        break;
    case WM_MOVE:
    case WM_SIZE:
        // The form keeps the window's outer rectangle, never an icon's place.
        if (!IsIconic(window)) {
            RECT r;
            GetWindowRect(window, &r);
            Deliver(*form, Msg::Move, 0, PointToLParam({r.left, r.top}));
            Deliver(*form, Msg::Size, 0, PointToLParam({r.right - r.left, r.bottom - r.top}));
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// ---------------------------------------------------------------- hints

void TWin32Host::EnsureHintWindow()
{
    if (FHintWindow)
        return;
    RegisterWindowClass(kHintClass, &TWin32Host::HintWndProc, CS_SAVEBITS);
    FHintWindow = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kHintClass, L"",
                                  WS_POPUP | WS_BORDER, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr),
                                  nullptr);
}

void TWin32Host::ShowHintWindow(const std::string& text, TPoint screen)
{
    EnsureHintWindow();
    if (!FHintWindow)
        return;
    FHintText = AnsiToWide(text);
    const TSize size = TextExtent(TFont(), text);
    SetWindowPos(FHintWindow, HWND_TOPMOST, screen.X, screen.Y, size.cx + 8, size.cy + 4,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(FHintWindow, nullptr, TRUE);
}

void TWin32Host::HideHintWindow()
{
    if (FHintWindow)
        ShowWindow(FHintWindow, SW_HIDE);
}

LRESULT CALLBACK TWin32Host::HintWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT || !FInstance)
        return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    HBRUSH background = CreateSolidBrush(ColorToRGB(clInfoBk));
    FillRect(dc, &client, background);
    DeleteObject(background);
    {
        TGdiFont font{TFont()};
        HGDIOBJ old = SelectObject(dc, font.Handle());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorToRGB(clInfoText));
        ::TextOutW(dc, 3, 1, FInstance->FHintText.c_str(), static_cast<int>(FInstance->FHintText.size()));
        SelectObject(dc, old);
    }
    EndPaint(window, &paint);
    return 0;
}

// ---------------------------------------------------------------- TFormBitmap

TFormBitmap::TFormBitmap(TForm& form) : FWidth(form.Width()), FHeight(form.Height())
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = FWidth;
    info.bmiHeader.biHeight = -FHeight; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    FDC = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    FBitmap = CreateDIBSection(FDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    FBits = static_cast<uint32_t*>(bits);
    FOld = SelectObject(FDC, FBitmap);
    TWin32Canvas canvas(FDC);
    form.PaintContent(canvas, {0, 0, FWidth, FHeight});
    GdiFlush();
}

TFormBitmap::~TFormBitmap()
{
    SelectObject(FDC, FOld);
    DeleteObject(FBitmap);
    DeleteDC(FDC);
}

uint32_t TFormBitmap::Pixel(int x, int y) const
{
    const uint32_t bgra = FBits[static_cast<size_t>(y) * static_cast<size_t>(FWidth) + static_cast<size_t>(x)];
    // The section holds blue, green, red bytes; a colour is red first.
    return ((bgra & 0xFF) << 16) | (bgra & 0xFF00) | ((bgra >> 16) & 0xFF);
}

bool TFormBitmap::Save(const std::wstring& path) const
{
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = FWidth;
    header.biHeight = -FHeight;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    const DWORD pixels = static_cast<DWORD>(FWidth) * static_cast<DWORD>(FHeight) * 4;
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + pixels;
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out)
        return false;
    bool ok = fwrite(&file, sizeof(file), 1, out) == 1 && fwrite(&header, sizeof(header), 1, out) == 1 &&
              fwrite(FBits, pixels, 1, out) == 1;
    ok = fclose(out) == 0 && ok;
    return ok;
}
