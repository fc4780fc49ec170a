// The in-place editor's state on its own: typing at the ends of the text and
// of the selection, what it does not take, and a closed editor; text the
// memory file's code page cannot hold, refused in the grid and its window.
#include <gtest/gtest.h>

#include <string>

#include "memories/GridEditor.h"
#include "tests/memories/GridSupport.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/ListFormBench.h"
#include "ui/Keys.h"

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

const std::string kL = "\xC5\x82";        // "ł" in UTF-8
const std::string kSmile = "\xF0\x9F\x98\x80"; // U+1F600, two UTF-16 units

TEST(UnstorableTextTest, TheMessageNamesEachCharacterAndWhy)
{
    const std::string why = "the memory file is saved in the system's code page, which has ";
    const std::string paste = "The clipboard's text cannot be pasted: " + why;
    const std::pair<std::string, std::string> cases[] = {
        {kL + kSmile, paste + "none of \"" + kL + "\" (U+0142), \"" + kSmile + "\" (U+1F600)."},
        // A lone surrogate, a control character and a cut one by their codes.
        {"\xED\xA0\x80\xC2\x85\xC5", paste + "none of U+D800, U+0085, U+FFFD."},
        {"abcdefghij", paste + "none of \"a\" (U+0061), \"b\" (U+0062), \"c\" (U+0063), \"d\" (U+0064), \"e\" "
                               "(U+0065), \"f\" (U+0066), \"g\" (U+0067), \"h\" (U+0068) and others."},
    };
    for (const auto& [chars, message] : cases)
        EXPECT_EQ(UnstorableTextMessage(chars, TRefusedText::Paste), message);
    EXPECT_EQ(UnstorableTextMessage(kL, TRefusedText::Edit),
              "This text cannot be stored: " + why + "no \"" + kL +
                  "\" (U+0142).\n\nChange it, or press Esc to put back what the cell held.");
}

// The cell never holds the box's stand-in text; whatever else changes the
// cell, closes or reopens the editor, or types into it ends the refusal.
TEST(UnstorableTextTest, TheCellKeepsItsTextUntilTheBoxHoldsNoCharacterItCannot)
{
    TGridEditor editor;
    std::string cell = "Old";
    const std::function<void(std::string&)> ends[] = {
        [&](std::string& c) { editor.SetText(c, "Michal", 6, 0); },
        [](std::string& c) { c = "Set by the list"; },
        [&](std::string&) { editor.Close(); },
        [&](std::string& c) { editor.Open(c); },
        [&](std::string& c) { editor.Type(c, 'x'); },
    };
    for (const auto& end : ends) {
        editor.Open(cell);
        editor.SetText(cell, "Micha", 5, 0);
        editor.SetText(cell, "Micha?", 6, 0, kL);
        EXPECT_EQ(cell, editor.KeptText());
        ASSERT_EQ(editor.Unstorable(cell), kL);
        end(cell);
        EXPECT_EQ(editor.Unstorable(cell), "");
    }
}

TEST(UnstorableTextTest, EveryEndOfTheEditButEscapeIsRefusedAndTheEditorStaysAsItIs)
{
    using G = TStringAlignGrid;
    const std::pair<const char*, std::function<bool(G&)>> ends[] = {
        {"Enter", [](G& g) { return g.KeyDown(Vk::Return, 0) && false; }},
        {"Down", [](G& g) { return g.KeyDown(Vk::Down, 0) && false; }},
        {"another cell", [](G& g) { return g.SetCurrentCell(2, 2); }},
        {"a click", [](G& g) { return g.ClickCell(1, 2), false; }},
        {"the focus lost", [](G& g) { return g.FocusLost(), false; }},
        {"applied", [](G& g) { return g.ApplyEdit(); }},
    };
    for (const auto& [name, end] : ends) {
        G grid(3, 3);
        grid.AutoEditNextCell = true;
        grid.SetCells(1, 1, "Old");
        std::vector<std::string> events;
        grid.OnValidateEdit = [&](TObject*, int, int, bool&) { events.push_back("validate"); };
        grid.OnAfterEdit = [&](TObject*, int, int) { events.push_back("after"); };
        grid.OnFocusGrid = [&](TObject*) { events.push_back("focus back"); };
        grid.OnUnstorableText = [&](TObject*, const std::string& chars) { events.push_back("refused " + chars); };
        ASSERT_TRUE(grid.SetCurrentCell(1, 1));
        ASSERT_TRUE(grid.ShowEditor());
        const unsigned session = grid.Editor().Session();
        grid.SetEditorText("Micha?", 6, 0, kL);

        EXPECT_FALSE(end(grid)) << name;
        const std::vector<std::string> expected =
            std::string(name) == "the focus lost" ? std::vector<std::string>{"refused " + kL, "focus back"}
                                                  : std::vector<std::string>{"refused " + kL};
        EXPECT_EQ(events, expected) << name << ": never validated nor stored";
        EXPECT_TRUE(grid.EditorMode()) << name;
        EXPECT_EQ(grid.Editor().Session(), session) << name << ": not reopened over the box's text";
        EXPECT_EQ(std::make_pair(grid.Col(), grid.Row()), std::make_pair(1, 1)) << name;
        EXPECT_EQ(grid.Cells(1, 1), "Old") << name;

        events.clear();
        grid.SetEditorText("Michal", 6, 0);
        EXPECT_TRUE(grid.ApplyEdit()) << name << ": once the text fits";
        EXPECT_EQ(events, (std::vector<std::string>{"validate", "after"})) << name;
        EXPECT_EQ(grid.Cells(1, 1), "Michal") << name;
    }

    G grid(3, 3);
    grid.SetCells(1, 1, "Old");
    grid.SetCurrentCell(1, 1);
    grid.ShowEditor();
    grid.SetEditorText("?", 1, 0, kL);
    grid.CancelEdit();
    EXPECT_FALSE(grid.EditorMode()) << "Escape still ends it";
    EXPECT_EQ(grid.Cells(1, 1), "Old");
}

class UnstorableTextWindowTest : public ::testing::Test, protected TListFormBench<THeadlessHost> {
protected:
    UnstorableTextWindowTest()
    {
        Make(MemoryTests::FileOf({{"Home", "USB", "7.074.000", ""}}));
        List->Show();
        Host.KeyDown(Vk::Home);
    }
};

TEST_F(UnstorableTextWindowTest, ATypedCharacterTheFileCannotHoldKeepsTheEditOpenAsTyped)
{
    Host.KeyDown(Vk::F2);
    Host.Type("\bMicha");
    Host.TypeOutsideCodePage(kL);
    Host.KeyDown(Vk::Return);
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    const THeadlessHost::TMessageBoxCall& box = Host.MessageBoxes().back();
    EXPECT_EQ(box.Text, UnstorableTextMessage(kL, TRefusedText::Edit));
    EXPECT_TRUE(box.Utf8) << "the character itself shows";
    EXPECT_EQ(box.Caption, "Memories");
    EXPECT_EQ(box.Style, MsgBox::kOk | MsgBox::kIconWarning);
    // A TAB pasted beside it does not put the cell's text back over it.
    Host.PasteIntoEditBox("\t");
    ASSERT_TRUE(Host.EditBox());
    EXPECT_EQ(Host.EditBox()->Text, "Micha?\t") << "the box as typed";
    EXPECT_EQ(Host.EditBox()->Outside, kL);
    EXPECT_EQ(Grid().Cells(0, 1), "Home");
    EXPECT_FALSE(List->MemoryChanged());
}

TEST_F(UnstorableTextWindowTest, AClipboardTextTheFileCannotHoldIsNotPasted)
{
    Host.SetClipboardBytes(std::string("Micha?\0", 7), kL);
    Host.KeyDown(Vk::Insert, ssShift);
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Host.MessageBoxes().back().Text, UnstorableTextMessage(kL, TRefusedText::Paste));
    EXPECT_EQ(Grid().Cells(0, 1), "Home");
    EXPECT_FALSE(List->MemoryChanged());
}

} // namespace
