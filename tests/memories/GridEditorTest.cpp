// The in-place editor's state on its own: typing at the ends of the text and
// of the selection, what it does not take, and a closed editor.
#include <gtest/gtest.h>

#include <string>

#include "memories/GridEditor.h"

namespace {

TEST(GridEditorStateTest, TypingAtTheEndsOfTheTextAndWhatIsNotTaken)
{
    struct Case {
        const char* Name;
        std::string Cell;
        size_t SelStart, SelLength;
        char Key;
        bool Taken;
        std::string After;
        size_t CaretAfter;
    };
    const Case cases[] = {
        {"Backspace at the start deletes nothing", "abc", 0, 0, '\b', true, "abc", 0},
        {"Backspace deletes the selection only", "abc", 1, 2, '\b', true, "a", 1},
        {"Backspace in an empty cell", "", 0, 0, '\b', true, "", 0},
        {"a selection past the text types at its end", "ab", 9, 4, 'x', true, "abx", 3},
        {"TAB is a blank", "ab", 2, 0, '\t', true, "ab ", 3},
        {"LF is a blank", "", 0, 0, '\n', true, " ", 1},
        {"CR is not taken", "ab", 1, 1, '\r', false, "ab", 1},
        {"DEL is not taken", "ab", 0, 0, '\x7F', false, "ab", 0},
        {"a control character is not taken", "ab", 0, 2, '\x01', false, "ab", 0},
        {"a high byte is text", "ab", 0, 2, '\xE9', true, "\xE9", 1},
    };
    for (const Case& c : cases) {
        TGridEditor editor;
        std::string cell = c.Cell;
        editor.Open(cell);
        editor.SetText(cell, c.Cell, c.SelStart, c.SelLength);
        EXPECT_EQ(editor.Type(cell, c.Key), c.Taken) << c.Name;
        EXPECT_EQ(cell, c.After) << c.Name;
        EXPECT_EQ(editor.SelStart(cell), c.CaretAfter) << c.Name;
        EXPECT_EQ(editor.KeptText(), c.Cell) << c.Name << ": the text for Escape stays";
    }
}

TEST(GridEditorStateTest, AClosedEditorHasNoSelectionAndEveryOpeningCounts)
{
    TGridEditor editor;
    EXPECT_EQ(editor.SelStart("abc"), 0u);
    EXPECT_EQ(editor.SelLength("abc"), 0u);
    editor.Open("abc");
    EXPECT_EQ(editor.SelLength("abc"), 3u) << "opens with all selected";
    EXPECT_EQ(editor.SelLength("a"), 1u) << "clamped to a text that got shorter";
    editor.Close();
    EXPECT_EQ(editor.SelLength("abc"), 0u);
    editor.Open("abc");
    EXPECT_EQ(editor.Session(), 2u);
}

} // namespace
