// The grid's keys on their own: what it leaves to the edit box while editing,
// and the clipboard keys only with exactly their modifier.
#include <gtest/gtest.h>

#include "memories/GridKeys.h"
#include "ui/Keys.h"

namespace {

TEST(GridKeysTest, TheEditBoxKeepsItsKeysAndClipboardKeysNeedExactlyTheirModifier)
{
    using A = TGridKeyAction;
    struct Case {
        unsigned Key;
        TShiftState Shift;
        A Closed; // no editor open
        A Open;   // the editor open
    };
    const Case cases[] = {
        {Vk::Return, 0, A::OpenEditor, A::EndEdit},
        {Vk::F2, 0, A::OpenEditor, A::None},
        {Vk::Escape, 0, A::None, A::CancelEdit},
        {Vk::Up, ssShift, A::Up, A::Up},
        {Vk::Down, 0, A::Down, A::Down},
        {Vk::Left, 0, A::Left, A::None},
        {Vk::Home, ssCtrl, A::FirstCol, A::None},
        {Vk::End, 0, A::LastCol, A::None},
        {Vk::Insert, ssCtrl, A::Copy, A::None},
        {Vk::Insert, ssCtrl | ssAlt, A::Copy, A::None},
        {Vk::Insert, ssShift, A::Paste, A::None},
        {Vk::Insert, ssShift | ssCtrl, A::None, A::None},
        {Vk::Insert, 0, A::None, A::None},
        {Vk::Delete, ssShift, A::Cut, A::None},
        {Vk::Delete, ssShift | ssCtrl, A::None, A::None},
        {Vk::Delete, 0, A::None, A::None},
        {Vk::Tab, 0, A::None, A::None},
        {Vk::Prior, 0, A::None, A::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GridKeyAction(c.Key, c.Shift, false), c.Closed) << c.Key << " " << c.Shift;
        EXPECT_EQ(GridKeyAction(c.Key, c.Shift, true), c.Open) << c.Key << " " << c.Shift << " editing";
    }
    for (char ch : {'a', ' ', '~', '\xE9', '\b'})
        EXPECT_TRUE(OpensEditor(ch)) << int(ch);
    for (char ch : {'\t', '\n', '\r', '\x1B', '\x7F', '\0'})
        EXPECT_FALSE(OpensEditor(ch)) << int(ch);
}

} // namespace
