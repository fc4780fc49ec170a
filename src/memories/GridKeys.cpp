#include "memories/GridKeys.h"

#include "ui/Keys.h"

TGridKeyAction GridKeyAction(unsigned key, TShiftState shift, bool editing)
{
    const bool withShift = (shift & ssShift) != 0;
    const bool withCtrl = (shift & ssCtrl) != 0;
    using A = TGridKeyAction;
    switch (key) {
    case Vk::Escape:
        return editing ? A::CancelEdit : A::None;
    case Vk::Return:
        return editing ? A::EndEdit : A::OpenEditor;
    case Vk::F2:
        return editing ? A::None : A::OpenEditor;
    case Vk::Up:
        return A::Up;
    case Vk::Down:
        return A::Down;
    default:
        break;
    }
    if (editing)
        return A::None;
    switch (key) {
    case Vk::Left:
        return A::Left;
    case Vk::Right:
        return A::Right;
    case Vk::Home:
        return A::FirstCol;
    case Vk::End:
        return A::LastCol;
    case Vk::Insert:
        if (withCtrl && !withShift)
            return A::Copy;
        return withShift && !withCtrl ? A::Paste : A::None;
    case Vk::Delete:
        return withShift && !withCtrl ? A::Cut : A::None;
    default:
        return A::None;
    }
}

bool IsPrintable(char ch)
{
    const unsigned char code = static_cast<unsigned char>(ch);
    return code >= 32 && code != 127;
}

bool OpensEditor(char ch) { return IsPrintable(ch) || ch == '\b'; }
