#include <gtest/gtest.h>

#include "base/SysUtils.h"

namespace {

struct TConversion {
    std::string Text;
    bool Valid;
    int32_t Value;
};

std::string Show(const std::string& text)
{
    std::string shown;
    for (unsigned char c : text)
        shown += c < 32 ? Format("\\x%02x", c) : std::string(1, static_cast<char>(c));
    return "'" + shown + "'";
}

TEST(IntegerConversion, FollowsTheOneRuleAtItsEdges)
{
    const std::vector<TConversion> cases = {
        {"0", true, 0},
        {"123", true, 123},
        {"+123", true, 123},
        {"-123", true, -123},
        {"0000000000000042", true, 42},
        {"2147483647", true, 2147483647},
        {"2147483648", false, 0},
        {"-2147483648", true, -2147483647 - 1},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        // every character from 0 to 32 is skipped in front, none behind
        {std::string("\0\x01\x1f 7", 5), true, 7},
        {"\t\r\n 12", true, 12},
        {"12 ", false, 0},
        {"12\t", false, 0},
        {"1 2", false, 0},
        {std::string("\x21") + "5", false, 0},
        // hexadecimal after each prefix, either case of digits
        {"$1F", true, 31},
        {"x1f", true, 31},
        {"X1F", true, 31},
        {"0x7fffffff", true, 2147483647},
        {"0X10", true, 16},
        {"$80000000", false, 0},
        {"$FFFFFFFF", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"$1G", false, 0},
        {"-$10", false, 0},
        {"$-10", false, 0},
        {"  $a", true, 10},
        // signs only in front of decimal digits, and never alone
        {"+", false, 0},
        {"-", false, 0},
        {"--1", false, 0},
        {"+-1", false, 0},
        {"1-", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"1.5", false, 0},
        {"1,000", false, 0},
        {"abc", false, 0},
        {"\xb9", false, 0},
    };
    for (const TConversion& c : cases) {
        SCOPED_TRACE(Show(c.Text));
        int32_t value = -77;
        EXPECT_EQ(TryStrToInt(c.Text, value), c.Valid);
        if (c.Valid) {
            EXPECT_EQ(value, c.Value);
            EXPECT_EQ(StrToInt(c.Text), c.Value);
            EXPECT_EQ(StrToIntDef(c.Text, -5), c.Value);
        } else {
            EXPECT_EQ(value, -77) << "a failed conversion must not touch the result";
            EXPECT_EQ(StrToIntDef(c.Text, -5), -5);
            EXPECT_THROW(StrToInt(c.Text), EConvertError);
        }
    }
}

TEST(IntegerConversion, RaisesWithTheTextInTheMessage)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "'' is not a valid integer value"},
        {"12 ", "'12 ' is not a valid integer value"},
        {"abc", "'abc' is not a valid integer value"},
    };
    for (const auto& [text, message] : cases) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "no error for " << Show(text);
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), message);
        }
    }
}

TEST(Trim, RemovesBlanksAndControlCharactersAtBothEndsOnly)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"   ", ""},
        {" a b ", "a b"},
        {"\t\r\nON\r\n", "ON"},
        {std::string("\0x\0", 3), "x"},
        {"\xa0x\xa0", "\xa0x\xa0"}, // above 32: not a blank in the 8-bit code page rule
    };
    for (const auto& [text, trimmed] : cases)
        EXPECT_EQ(Trim(text), trimmed) << Show(text);
}

TEST(Format, FormatsLikePrintfWithoutLengthLimit)
{
    EXPECT_EQ(Format("OLE error %.8x", 0x80040201u), "OLE error 80040201");
    EXPECT_EQ(Format("%s", std::string(1000, 'x').c_str()).size(), 1000u);
    EXPECT_EQ(Format("%s", ""), "");
}

} // namespace
