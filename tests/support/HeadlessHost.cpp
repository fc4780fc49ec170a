#include "tests/support/HeadlessHost.h"

#include <algorithm>
#include <chrono>

#include "ui/Classes.h"
#include "ui/Forms.h"
#include "ui/Messages.h"

// ---------------------------------------------------------------- the event loop

void THeadlessEventLoop::StartTimer(TTimer& timer, uint32_t interval)
{
    StopTimer(timer);
    FTimers.push_back({&timer, interval, FClock + interval, FSequence++, {}});
}

void THeadlessEventLoop::StopTimer(TTimer& timer)
{
    std::erase_if(FTimers, [&](const TScheduled& s) { return s.Timer == &timer; });
}

bool THeadlessEventLoop::IsTimerRunning(const TTimer& timer) const
{
    return std::any_of(FTimers.begin(), FTimers.end(), [&](const TScheduled& s) { return s.Timer == &timer; });
}

void THeadlessEventLoop::Schedule(uint32_t delay, std::function<void()> event)
{
    FTimers.push_back({nullptr, 0, FClock + delay, FSequence++, std::move(event)});
}

THeadlessEventLoop::TScheduled* THeadlessEventLoop::NextDue(uint64_t until)
{
    TScheduled* next = nullptr;
    for (TScheduled& s : FTimers)
        if (s.Due <= until && (!next || s.Due < next->Due || (s.Due == next->Due && s.Sequence < next->Sequence)))
            next = &s;
    return next;
}

void THeadlessEventLoop::Deliver(std::function<void()> call)
{
    std::lock_guard lock(FDeliveredMutex);
    FDelivered.push_back(std::move(call));
    FDeliveredCame.notify_all();
}

size_t THeadlessEventLoop::RunDelivered()
{
    size_t ran = 0;
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(FDeliveredMutex);
            if (FDelivered.empty())
                return ran;
            call = std::move(FDelivered.front());
            FDelivered.pop_front();
        }
        DispatchEvent(FHost.App(), call);
        ++ran;
    }
}

bool THeadlessEventLoop::AwaitDelivery(uint32_t limit)
{
    {
        std::unique_lock lock(FDeliveredMutex);
        if (!FDeliveredCame.wait_for(lock, std::chrono::milliseconds(limit), [this] { return !FDelivered.empty(); }))
            return false;
    }
    RunDelivered();
    return true;
}

void THeadlessEventLoop::Advance(uint32_t milliseconds)
{
    RunDelivered();
    const uint64_t until = FClock + milliseconds;
    while (TScheduled* next = NextDue(until)) {
        FNow += static_cast<uint32_t>(next->Due - FClock);
        FClock = next->Due;
        if (!next->Timer) {
            std::function<void()> event = std::move(next->Event);
            const uint64_t sequence = next->Sequence;
            std::erase_if(FTimers, [sequence](const TScheduled& s) { return s.Sequence == sequence; });
            DispatchEvent(FHost.App(), event);
            continue;
        }
        TTimer* timer = next->Timer;
        // The next tick is due one interval on; the handler may restart or stop it.
        next->Due += next->Interval;
        next->Sequence = FSequence++;
        DispatchEvent(FHost.App(), [timer] { timer->Timer(); });
    }
    // A handler that processed messages may already have moved the clock on.
    if (until > FClock) {
        FNow += static_cast<uint32_t>(until - FClock);
        FClock = until;
    }
}

void THeadlessEventLoop::RunMainLoopCalls()
{
    while (!FMainLoopCalls.empty()) {
        const std::function<void()> call = std::move(FMainLoopCalls.front());
        FMainLoopCalls.pop_front();
        DispatchEvent(FHost.App(), call);
    }
}

// ---------------------------------------------------------------- form windows

TMenuItem* THeadlessFormWindows::TrackPopupMenu(TPopupMenu& menu, TPoint screen)
{
    TPopupCall call{menu.Name(), screen, {}};
    for (int i = 0; i < menu.Count(); ++i) {
        const TMenuItem* item = menu.Items(i);
        const std::string shortCut = ShortCutToText(item->ShortCut());
        call.Items.push_back(shortCut.empty() ? item->Caption() : item->Caption() + "\t" + shortCut);
    }
    FPopups.push_back(std::move(call));
    if (FPopupChoices.empty())
        return nullptr;
    const std::string choice = FPopupChoices.front();
    FPopupChoices.pop_front();
    for (int i = 0; i < menu.Count(); ++i)
        if (menu.Items(i)->Caption() == choice && menu.Items(i)->Enabled() && !menu.Items(i)->IsLine())
            return menu.Items(i);
    return nullptr;
}

void THeadlessFormWindows::RunPostedMinimize()
{
    if (FMinimizePosted) {
        FMinimizePosted = false;
        MinimizeApplication();
    }
}

THeadlessFormWindows::TWindow& THeadlessFormWindows::Window(TForm& form) { return FWindows.at(&form); }

const THeadlessFormWindows::TWindow& THeadlessFormWindows::WindowOf(const TForm& form) const { return FWindows.at(&form); }

void THeadlessFormWindows::CreateFormWindow(TForm& form)
{
    static uintptr_t nextHandle = 1;
    TWindow window;
    window.Bounds = form.BoundsRect();
    window.Placement.NormalPosition = window.Bounds;
    window.Caption = form.Caption();
    FWindows[&form] = window;
    form.SetHandle(nextHandle++);
}

void THeadlessFormWindows::DestroyFormWindow(TForm& form)
{
    FWindows.erase(&form);
    if (FActive == &form)
        FActive = nullptr;
    if (FCapture == &form)
        FCapture = nullptr;
}

void THeadlessFormWindows::ShowFormWindow(TForm& form, bool visible)
{
    Window(form).Visible = visible;
    if (visible)
        Activate(form);
    else
        Deactivate(form);
}

void THeadlessFormWindows::SetFormBounds(TForm& form, const TRect& bounds)
{
    TWindow& window = Window(form);
    window.Bounds = bounds;
    if (window.Placement.ShowCmd != ShowCmd::ShowMinimized && window.Placement.ShowCmd != ShowCmd::ShowMaximized)
        window.Placement.NormalPosition = bounds;
}

void THeadlessFormWindows::InvalidateForm(TForm& form, const TRect& area)
{
    auto it = FWindows.find(&form);
    if (it != FWindows.end() && !area.IsEmpty())
        it->second.Invalid.push_back(area);
}

// As the system does: the show command decides visibility and state, the
// normal rectangle the window's place and size.
void THeadlessFormWindows::SetPlacement(TForm& form, const TWindowPlacement& placement)
{
    TWindow& window = Window(form);
    window.Placement = placement;
    switch (placement.ShowCmd) {
    case ShowCmd::Hide:
        window.Visible = false;
        window.Placement.ShowCmd = ShowCmd::Normal;
        break;
    case ShowCmd::ShowMinimized:
    case ShowCmd::Minimize:
    case ShowCmd::ShowMinNoActive:
        window.Visible = true;
        window.Placement.ShowCmd = ShowCmd::ShowMinimized;
        break;
    case ShowCmd::ShowMaximized:
        window.Visible = true;
        break;
    default:
        window.Visible = true;
        window.Placement.ShowCmd = ShowCmd::Normal;
        break;
    }
    const TRect& normal = placement.NormalPosition;
    if (window.Placement.ShowCmd == ShowCmd::Normal && normal != window.Bounds) {
        window.Bounds = normal;
        TMessage move{Msg::Move, 0, PointToLParam({normal.Left, normal.Top}), 0};
        form.Dispatch(move);
        TMessage size{Msg::Size, 0, PointToLParam({normal.Width(), normal.Height()}), 0};
        form.Dispatch(size);
    }
}

void THeadlessFormWindows::SetFormState(TForm& form, unsigned showCmd) { Window(form).Placement.ShowCmd = showCmd; }

bool THeadlessFormWindows::IsFormMinimized(TForm& form) { return Window(form).Placement.ShowCmd == ShowCmd::ShowMinimized; }

void THeadlessFormWindows::MinimizeApplication()
{
    FApplicationMinimized = true;
    if (TForm* main = FHost.App() ? FHost.App()->MainForm() : nullptr; main && HasWindow(*main))
        Window(*main).Placement.ShowCmd = ShowCmd::ShowMinimized;
}

void THeadlessFormWindows::ShowHintWindow(const std::string& text, TPoint screen)
{
    FHintText = text;
    FHintPosition = screen;
    FHintVisible = true;
}

std::vector<TCanvasCall> THeadlessFormWindows::Paint(TForm& form, bool all)
{
    TWindow& window = Window(form);
    TRect area = form.ClientRect();
    if (!all) {
        area = {};
        for (const TRect& r : window.Invalid)
            area = area.IsEmpty() ? r
                                  : TRect{std::min(area.Left, r.Left), std::min(area.Top, r.Top),
                                          std::max(area.Right, r.Right), std::max(area.Bottom, r.Bottom)};
    }
    window.Invalid.clear();
    THeadlessCanvas canvas;
    if (!area.IsEmpty())
        form.PaintContent(canvas, area);
    return canvas.Calls;
}

unsigned THeadlessFormWindows::ButtonBit(TMouseButton button)
{
    switch (button) {
    case TMouseButton::mbRight:
        return MouseKeys::Right;
    case TMouseButton::mbMiddle:
        return MouseKeys::Middle;
    default:
        return MouseKeys::Left;
    }
}

namespace {

unsigned ButtonMessage(TMouseButton button, int kind) // kind 0 down, 1 up, 2 double click
{
    const unsigned first = button == TMouseButton::mbRight    ? Msg::RButtonDown
                           : button == TMouseButton::mbMiddle ? Msg::MButtonDown
                                                              : Msg::LButtonDown;
    return first + static_cast<unsigned>(kind);
}

} // namespace

void THeadlessFormWindows::SendMouse(TForm& form, unsigned msg, TPoint screen, TShiftState keys)
{
    FCursor = screen;
    uintptr_t wParam = FButtons;
    if (keys & ssShift)
        wParam |= MouseKeys::Shift;
    if (keys & ssCtrl)
        wParam |= MouseKeys::Control;
    TMessage message{msg, wParam, PointToLParam({screen.X - form.Left(), screen.Y - form.Top()}), 0};
    DispatchEvent(FHost.App(), [&] { form.Dispatch(message); });
}

void THeadlessFormWindows::MouseDown(TControl& control, TMouseButton button, int x, int y, TShiftState keys)
{
    FButtons |= ButtonBit(button);
    SendMouse(*control.ParentForm(), ButtonMessage(button, 0), control.ClientToScreen({x, y}), keys);
}

void THeadlessFormWindows::MouseUp(TControl& control, TMouseButton button, int x, int y, TShiftState keys)
{
    FButtons &= ~ButtonBit(button);
    SendMouse(*control.ParentForm(), ButtonMessage(button, 1), control.ClientToScreen({x, y}), keys);
}

void THeadlessFormWindows::MouseMove(TControl& control, int x, int y, TShiftState keys)
{
    SendMouse(*control.ParentForm(), Msg::MouseMove, control.ClientToScreen({x, y}), keys);
}

void THeadlessFormWindows::Click(TControl& control, int x, int y)
{
    MouseMove(control, x, y);
    MouseDown(control, TMouseButton::mbLeft, x, y);
    MouseUp(control, TMouseButton::mbLeft, x, y);
}

void THeadlessFormWindows::DoubleClick(TControl& control, int x, int y)
{
    Click(control, x, y);
    FButtons |= MouseKeys::Left;
    SendMouse(*control.ParentForm(), Msg::LButtonDblClk, control.ClientToScreen({x, y}), 0);
    MouseUp(control, TMouseButton::mbLeft, x, y);
}

void THeadlessFormWindows::MouseDownAt(TForm& form, TMouseButton button, TPoint screen)
{
    FButtons |= ButtonBit(button);
    SendMouse(form, ButtonMessage(button, 0), screen, 0);
}

void THeadlessFormWindows::MouseUpAt(TForm& form, TMouseButton button, TPoint screen)
{
    FButtons &= ~ButtonBit(button);
    SendMouse(form, ButtonMessage(button, 1), screen, 0);
}

void THeadlessFormWindows::MouseMoveAt(TForm& form, TPoint screen) { SendMouse(form, Msg::MouseMove, screen, 0); }

void THeadlessFormWindows::MouseWheel(TControl& control, int notches, int x, int y, TShiftState keys)
{
    TurnWheel(control, notches * 120, x, y, keys);
}

void THeadlessFormWindows::TurnWheel(TControl& control, int delta, int x, int y, TShiftState keys)
{
    TForm& form = *control.ParentForm();
    const TPoint screen = control.ClientToScreen({x, y});
    FCursor = screen;
    uintptr_t wParam = (static_cast<uintptr_t>(static_cast<uint16_t>(delta)) << 16) | FButtons;
    if (keys & ssShift)
        wParam |= MouseKeys::Shift;
    if (keys & ssCtrl)
        wParam |= MouseKeys::Control;
    TMessage message{Msg::MouseWheel, wParam, PointToLParam(screen), 0};
    DispatchEvent(FHost.App(), [&] { form.Dispatch(message); });
}

void THeadlessFormWindows::MouseLeave(TForm& form)
{
    TMessage message{Msg::MouseLeave, 0, 0, 0};
    DispatchEvent(FHost.App(), [&] { form.Dispatch(message); });
}

void THeadlessFormWindows::Activate(TForm& form, bool byClick)
{
    if (FActive == &form)
        return;
    if (FActive)
        Deactivate(*FActive);
    FActive = &form;
    TMessage message{Msg::Activate, byClick ? ActivateState::ClickActive : ActivateState::Active, 0, 0};
    DispatchEvent(FHost.App(), [&] { form.Dispatch(message); });
}

void THeadlessFormWindows::Deactivate(TForm& form)
{
    if (FActive != &form)
        return;
    FActive = nullptr;
    TMessage message{Msg::Activate, ActivateState::Inactive, 0, 0};
    DispatchEvent(FHost.App(), [&] { form.Dispatch(message); });
}

// ---------------------------------------------------------------- message boxes and clipboard

bool THeadlessShell::SetClipboardText(const std::string& text)
{
    if (ClipboardFails)
        return false;
    FClipboard = text;
    FClipboard += '\0';
    FClipboardHasText = true;
    return true;
}

bool THeadlessShell::GetClipboardText(std::string& bytes, std::string& outside)
{
    outside.clear();
    if (ClipboardFails || !FClipboardHasText)
        return false;
    bytes = FClipboard;
    outside = FClipboardOutside;
    return true;
}

int THeadlessShell::ShowMessageBoxUtf8(const std::string& text, const std::string& caption, unsigned style)
{
    const int answer = ShowMessageBox(text, caption, style);
    FMessageBoxes.back().Utf8 = true;
    return answer;
}

int THeadlessShell::ShowMessageBox(const std::string& text, const std::string& caption, unsigned style)
{
    FMessageBoxes.push_back({text, caption, style});
    if (!FAnswers.empty()) {
        int answer = FAnswers.front();
        FAnswers.pop_front();
        return answer;
    }
    const bool second = (style & 0xF00) == MsgBox::kDefButton2;
    switch (style & 0xF) {
    case MsgBox::kOkCancel:
        return second ? MsgBox::kIdCancel : MsgBox::kIdOk;
    case MsgBox::kYesNo:
    case MsgBox::kYesNoCancel:
        return second ? MsgBox::kIdNo : MsgBox::kIdYes;
    default:
        return MsgBox::kIdOk;
    }
}

// ---------------------------------------------------------------- edit boxes

class THeadlessNativeEdits::TFakeEdit : public INativeEdit {
public:
    TFakeEdit(THeadlessNativeEdits& host, std::shared_ptr<TEditBox> box, INativeEditEvents& events)
        : Host(host), Box(std::move(box)), Events(events)
    {
        Host.FLiveEdits.push_back(this);
    }
    ~TFakeEdit() override
    {
        std::erase(Host.FLiveEdits, this);
        Box->Alive = false;
        Box->Focused = false;
    }
    void SetBounds(const TRect& bounds) override { Box->Bounds = bounds; }
    std::string Text() override { return Box->Text; }
    std::string CharsOutsideCodePage() override
    {
        return Box->Text.find('?') == std::string::npos ? std::string() : Box->Outside;
    }
    void SetText(const std::string& text) override
    {
        Box->Text = text;
        Box->Outside.clear();
        Clamp();
    }
    void GetSelection(size_t& start, size_t& length) override
    {
        start = Box->SelStart;
        length = Box->SelLength;
    }
    void SetSelection(size_t start, size_t length) override
    {
        Box->SelStart = start;
        Box->SelLength = length;
        Clamp();
    }
    void SetFocus() override { Box->Focused = true; }
    void SetEnabled(bool enabled) override { Box->Enabled = enabled; }

    void Clamp()
    {
        Box->SelStart = std::min(Box->SelStart, Box->Text.size());
        Box->SelLength = std::min(Box->SelLength, Box->Text.size() - Box->SelStart);
    }

    THeadlessNativeEdits& Host;
    std::shared_ptr<TEditBox> Box;
    INativeEditEvents& Events;
};

std::unique_ptr<INativeEdit> THeadlessNativeEdits::CreateNativeEdit(TForm& form, const TRect& bounds, const TFont& font,
                                                                    TEditAlign align, INativeEditEvents& events)
{
    auto box = std::make_shared<TEditBox>();
    box->Form = &form;
    box->Bounds = bounds;
    box->Font = font;
    box->Align = align;
    FEditBoxes.push_back(box);
    return std::make_unique<TFakeEdit>(*this, box, events);
}

const THeadlessNativeEdits::TEditBox* THeadlessNativeEdits::EditBox() const
{
    for (auto it = FEditBoxes.rbegin(); it != FEditBoxes.rend(); ++it)
        if ((*it)->Alive)
            return it->get();
    return nullptr;
}

THeadlessNativeEdits::TEditBox* THeadlessNativeEdits::FocusedEditBox(const TForm* active)
{
    for (auto& box : FEditBoxes)
        if (box->Alive && box->Focused && box->Form == active)
            return box.get();
    return nullptr;
}

void THeadlessNativeEdits::NotifyEditBox(TEditBox* box)
{
    for (TFakeEdit* edit : FLiveEdits)
        if (edit->Box.get() == box) {
            DispatchEvent(FHost.App(), [edit] { edit->Events.NativeEditChanged(); });
            return;
        }
}

std::shared_ptr<THeadlessNativeEdits::TEditBox> THeadlessNativeEdits::FindBox(const TEditBox* box) const
{
    for (const auto& b : FEditBoxes)
        if (b.get() == box)
            return b;
    return nullptr;
}

// ---------------------------------------------------------------- the host: keys

bool THeadlessHost::SendKey(unsigned msg, unsigned key)
{
    TForm* form = ActiveForm() ? ActiveForm() : (App() ? App()->MainForm() : nullptr);
    if (!form)
        return false;
    TMessage message{msg, key, 0, 0};
    DispatchEvent(App(), [&] { form->Dispatch(message); });
    return message.Result != 0;
}

namespace {

// What a single-line edit box does with the keys its form left to it.
void EditBoxKey(THeadlessNativeEdits::TEditBox& box, unsigned key)
{
    const size_t caret = box.SelStart + box.SelLength;
    switch (key) {
    case Vk::Left:
        box.SelStart = box.SelLength ? box.SelStart : (box.SelStart ? box.SelStart - 1 : 0);
        box.SelLength = 0;
        break;
    case Vk::Right:
        box.SelStart = box.SelLength ? caret : std::min(caret + 1, box.Text.size());
        box.SelLength = 0;
        break;
    case Vk::Home:
        box.SelStart = box.SelLength = 0;
        break;
    case Vk::End:
        box.SelStart = box.Text.size();
        box.SelLength = 0;
        break;
    case Vk::Delete:
        if (box.SelLength == 0 && box.SelStart < box.Text.size())
            box.SelLength = 1;
        box.Text.erase(box.SelStart, box.SelLength);
        box.SelLength = 0;
        break;
    default:
        break;
    }
}

} // namespace

void THeadlessHost::PasteIntoEditBox(const std::string& text)
{
    TEditBox* box = FocusedEditBox(ActiveForm());
    if (!box)
        return;
    box->Text.replace(box->SelStart, box->SelLength, text);
    box->SelStart += text.size();
    box->SelLength = 0;
    NotifyEditBox(box);
}

void THeadlessHost::TypeOutsideCodePage(const std::string& chars)
{
    TEditBox* box = FocusedEditBox(ActiveForm());
    if (!box || chars.empty())
        return;
    // One "?" for each character, as UTF-8 counts them.
    size_t count = 0;
    for (char c : chars)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    box->Text.replace(box->SelStart, box->SelLength, std::string(count, '?'));
    box->SelStart += count;
    box->SelLength = 0;
    for (size_t i = 0; i < chars.size();) {
        size_t next = i + 1;
        while (next < chars.size() && (static_cast<unsigned char>(chars[next]) & 0xC0) == 0x80)
            ++next;
        const std::string character = chars.substr(i, next - i);
        if (box->Outside.find(character) == std::string::npos)
            box->Outside += character;
        i = next;
    }
    NotifyEditBox(box);
}

void THeadlessHost::KeyDown(unsigned key, TShiftState shift)
{
    FShift = shift;
    TShortCut code = static_cast<TShortCut>(key & 0xFF);
    if (shift & ssShift)
        code |= scShift;
    if (shift & ssCtrl)
        code |= scCtrl;
    if (shift & ssAlt)
        code |= scAlt;
    bool taken = false;
    DispatchEvent(App(), [&] { taken = App() && App()->IsShortCut(code); });
    if (!taken) {
        TEditBox* box = FocusedEditBox(ActiveForm());
        std::shared_ptr<TEditBox> keep = box ? FindBox(box) : nullptr;
        const bool formTook = SendKey((shift & ssAlt) || key == Vk::F10 ? Msg::SysKeyDown : Msg::KeyDown, key);
        // The box gets what its form left, if it still stands.
        if (keep && keep->Alive && !formTook) {
            const std::string before = keep->Text;
            EditBoxKey(*keep, key);
            if (keep->Text != before)
                NotifyEditBox(keep.get());
        }
    }
    FShift = 0;
}

void THeadlessHost::Type(const std::string& text)
{
    for (char c : text) {
        TEditBox* box = FocusedEditBox(ActiveForm());
        if (!box) {
            SendKey(Msg::Char, static_cast<unsigned char>(c));
            continue;
        }
        // As a single-line edit box types: Backspace deletes, Enter, Escape,
        // Tab and other control characters are dropped.
        if (c == '\b') {
            if (box->SelLength == 0 && box->SelStart > 0) {
                --box->SelStart;
                box->SelLength = 1;
            }
        } else if (static_cast<unsigned char>(c) < 32) {
            continue;
        }
        box->Text.replace(box->SelStart, box->SelLength, c == '\b' ? std::string() : std::string(1, c));
        box->SelStart += c == '\b' ? 0 : 1;
        box->SelLength = 0;
        NotifyEditBox(box);
    }
}

void THeadlessHost::ProcessMessages()
{
    RunPostedMinimize();
    THeadlessEventLoop::ProcessMessages();
}
