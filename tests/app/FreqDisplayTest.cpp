#include <gtest/gtest.h>

#include <clocale>
#include <climits>
#include <locale>

#include "app/FreqDisplay.h"

namespace {

TEST(FreqDisplay, FreqTextAndFieldsDropTheHertzDigitAndGrowPastOneGigahertz)
{
    struct TCase {
        int32_t Freq;
        std::string FreqText;
        TLEDTexts Fields;
    };
    const std::vector<TCase> cases = {
        {14200000, " 1420000", {" 14", "200", "00"}},
        {7050000, "  705000", {"  7", "050", "00"}},
        {3500055, "  350005", {"  3", "500", "05"}}, // truncated, not rounded
        {144300000, "14430000", {"144", "300", "00"}},
        {999999999, "99999999", {"999", "999", "99"}},
        {0, "  000000", {"  0", "000", "00"}},
        {9, "  000000", {"  0", "000", "00"}},
        {-9, "  000000", {"  0", "000", "00"}}, // toward zero: no minus sign for 0
        {-10, " -000001", {" -0", "000", "01"}},
        {-1234560, " -123456", {" -1", "234", "56"}},
        {1000000000, "100000000", {"100", "000", "00"}},
        {INT32_MAX, "214748364", {"214", "748", "36"}},
        {INT32_MIN, "-214748364", {"-21", "474", "83"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Freq);
        EXPECT_EQ(FormatFreqText(c.Freq), c.FreqText);
        EXPECT_EQ(LEDFieldTexts(c.FreqText), c.Fields);
    }
}

TEST(FreqDisplay, ShortTextsFillTheFieldsWithDashesOnTheRight)
{
    const std::vector<std::pair<std::string, TLEDTexts>> cases = {
        {"", {"---", "---", "--"}},
        {"12", {"12-", "---", "--"}},
        {"1234", {"123", "4--", "--"}},
        {"1234567", {"123", "456", "7-"}},
    };
    for (const auto& [text, fields] : cases)
        EXPECT_EQ(LEDFieldTexts(text), fields) << "'" << text << "'";
}

TEST(FreqDisplay, BandLabelNamesTheFirstBandHoldingTheFrequency)
{
    const TBands bands = {
        {"inverted", 7200000, 7000000, 7200000},
        {"20m", 14000000, 14350000, 14000000},
        {"overlap", 14300000, 14400000, 14300000},
        {"negative", -100, -10, -100},
    };
    const std::vector<std::pair<int32_t, std::string>> cases = {
        {14000000, "20m"},     {14350000, "20m"}, // both edges inclusive
        {13999999, kNoBand},   {14350001, "overlap"},
        {14320000, "20m"},     // the earlier record wins
        {7100000, kNoBand},    // low above high holds nothing
        {-50, "negative"},     {-9, kNoBand},
        {INT32_MIN, kNoBand},
    };
    for (const auto& [freq, name] : cases)
        EXPECT_EQ(BandName(bands, freq), name) << freq;
    EXPECT_EQ(BandName({}, 14000000), kNoBand);
}

TEST(FreqDisplay, SecondVFOShowsTheVFONotInUseWhenSplit)
{
    const int32_t a = 7050000, b = 14250000;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"VFO A/B", "VFO B: 14.25000"},
        {"VFO B/A", "VFO A: 7.05000"},
        {"VFO A/A", ""},
        {"VFO B/B", ""},
        {"", ""}, // before the first poll
        {"VFO A", "VFO B: 14.25000"}, // a missing seventh character counts as empty
    };
    for (const auto& [vfo, text] : cases)
        EXPECT_EQ(SecondVFOText(vfo, a, b), text) << vfo;
}

TEST(FreqDisplay, MegahertzTextRoundsTheHertzDigitHalfAwayFromZero)
{
    const std::vector<std::pair<int32_t, std::string>> cases = {
        {14250000, "14.25000"}, {14250004, "14.25000"}, {14250005, "14.25001"},
        {999999995, "1000.00000"}, {0, "0.00000"}, {-4, "0.00000"},
        {-7050000, "-7.05000"}, {-7050005, "-7.05001"},
        {INT32_MAX, "2147.48365"}, {INT32_MIN, "-2147.48365"},
    };
    for (const auto& [freq, text] : cases)
        EXPECT_EQ(MHzText(freq), text) << freq;
}

// The window runs in whatever locale the user has; its numbers must not
// change with it, neither through the C library nor through C++ streams.
struct TLocaleTexts {
    std::string FreqText = FormatFreqText(1000000000);
    std::string MHz = MHzText(-7050005);
    std::string SecondVFO = SecondVFOText("VFO A/B", 0, 14250000);
    void ExpectUnchanged() const
    {
        EXPECT_EQ(FreqText, "100000000");
        EXPECT_EQ(MHz, "-7.05001");
        EXPECT_EQ(SecondVFO, "VFO B: 14.25000");
    }
};

TEST(FreqDisplay, CLibraryCommaLocaleLeavesEveryTextUnchanged)
{
    bool comma = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252"})
        if (std::setlocale(LC_ALL, name)) {
            comma = std::localeconv()->decimal_point[0] == ',';
            break;
        }
    if (!comma) {
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no locale with a decimal comma";
    }
    const TLocaleTexts texts;
    std::setlocale(LC_ALL, "C");
    texts.ExpectUnchanged();
}

struct TCommaNumpunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(FreqDisplay, StreamCommaLocaleLeavesEveryTextUnchanged)
{
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new TCommaNumpunct));
    const TLocaleTexts texts;
    std::locale::global(previous);
    texts.ExpectUnchanged();
}

} // namespace
