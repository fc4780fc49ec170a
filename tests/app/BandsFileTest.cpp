#include <gtest/gtest.h>

#include "app/BandsFile.h"
#include "tests/support/TempFolder.h"

namespace {

struct TRecord {
    std::string Name;
    int32_t LowFreq, HighFreq, LastFreq;
    bool operator==(const TRecord&) const = default;
};

std::vector<TRecord> Records(const TBands& bands)
{
    std::vector<TRecord> records;
    for (const TBandRecord& b : bands)
        records.push_back({b.Name, b.LowFreq, b.HighFreq, b.LastFreq});
    return records;
}

TEST(BandsFile, ReadsEachLineByTheFieldAndIntegerRules)
{
    struct TCase {
        const char* Name;
        std::string Text;
        std::vector<TRecord> Bands;
        size_t MenuItems;
        size_t WrongLine; // 0: no message
    };
    const std::vector<TCase> cases = {
        {"empty file", "", {}, 0, 0},
        {"blank lines only", " \r\n\t\n\r\n\x01\r", {}, 0, 0},
        {"one line without a line end", "20m#14000000#14350000", {{"20m", 14000000, 14350000, 14000000}}, 1, 0},
        {"every kind of line end", "a#1#2\r\nb#3#4\nc#5#6\rd#7#8\r\n",
         {{"a", 1, 2, 1}, {"b", 3, 4, 3}, {"c", 5, 6, 5}, {"d", 7, 8, 7}}, 4, 0},
        {"fourth field ignored", "80m#3500000#3800000#extra", {{"80m", 3500000, 3800000, 3500000}}, 1, 0},
        {"name kept with its blanks, number with leading blanks, sign and hex", "  20m # 14000000#$10\n x#-5#+7",
         {{"  20m ", 14000000, 16, 14000000}, {" x", -5, 7, -5}}, 2, 0},
        {"empty name", "#1#2", {{"", 1, 2, 1}}, 1, 0},
        {"blanks around the hashes", "ok#1#2\n80m # 3500000 # 3800000\nlater#3#4",
         {{"ok", 1, 2, 1}, {"80m ", 0, 0, 0}}, 1, 2},
        {"third field missing", "80m#3500000", {{"80m", 3500000, 0, 0}}, 0, 1},
        {"third field empty", "80m#3500000#", {{"80m", 3500000, 0, 0}}, 0, 1},
        {"two hashes in a row", "80m#3500000##3800000", {{"80m", 3500000, 0, 0}}, 0, 1},
        {"trailing blank after the upper edge", "x#1#2 ", {{"x", 1, 0, 0}}, 0, 1},
        {"no hash at all", "a#1#2\r\n\r\n80m", {{"a", 1, 2, 1}, {"80m", 0, 0, 0}}, 1, 3},
        {"a comment is no comment", "# 160 m\n160m#1810000#2000000", {{"", 0, 0, 0}}, 0, 1},
        {"edge out of range", "x#2147483648#1", {{"x", 0, 0, 0}}, 0, 1},
        {"low above high is read as it stands", "x#20#10", {{"x", 20, 10, 20}}, 1, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TBandsFile file = ReadBands(c.Text);
        EXPECT_EQ(Records(file.Bands), c.Bands);
        EXPECT_EQ(file.MenuItemCount, c.MenuItems);
        EXPECT_EQ(file.WrongFormat, c.WrongLine != 0);
        EXPECT_EQ(file.WrongLine, c.WrongLine);
    }
}

TEST(BandsFile, BandMenuReturnsToTheFrequencyLastUsedInTheBand)
{
    TBands bands = ReadBands("40m#7000000#7200000\n20m#14000000#14350000\n20m#1#2\n20m #3#4\n").Bands;
    struct TPick {
        std::string Label; // the band label when the item is chosen
        int32_t Freq;      // the radio's frequency then
        std::string Name;  // the item chosen
        std::optional<int32_t> Sent;
    };
    const std::vector<TPick> picks = {
        {"------", 3600000, "20m", 14000000}, // first time: the lower edge
        {"20m", 14074000, "40m", 7000000},
        {"40m", 7010000, "20m", 14074000},    // back where it was left
        {"20m", 14080000, "20m", 14080000},   // the same band again stays put
        {"20m", 14080000, "20m ", 3},         // a trailing blank is another name
        {"20m ", 5, "40m", 7010000},
        {"40m", 7010000, "17m", std::nullopt}, // no such band: only the label changes
    };
    for (const TPick& p : picks) {
        SCOPED_TRACE(p.Name + " from " + p.Label);
        EXPECT_EQ(BandClick(bands, p.Label, p.Name, p.Freq), p.Sent);
    }
    EXPECT_EQ(bands[2].LastFreq, 1) << "a duplicate name is never the one remembered";
    EXPECT_EQ(bands[3].LastFreq, 5);
}

TEST(BandsFile, MissingOrUnreadableFileGivesNoBandsAndNoMessage)
{
    const TTempFolder dir("velkor-bands-test-dir");
    for (const std::string& name : {std::string("no-such-velkor.ini"), dir.Path().string()}) {
        SCOPED_TRACE(name);
        const TBandsFile file = LoadBandsFile(name);
        EXPECT_TRUE(file.Bands.empty());
        EXPECT_FALSE(file.WrongFormat);
    }
}

TEST(BandsFile, ShippedFileHoldsTheAmateurBandsFrom160mTo70cm)
{
    const TBandsFile file = LoadBandsFile(VELKOR_SOURCE_DIR "/velkor.ini");
    const std::vector<TRecord> expected = {
        {"160m", 1810000, 2000000, 1810000},       {"80m", 3500000, 3800000, 3500000},
        {"60m", 5351500, 5366500, 5351500},        {"40m", 7000000, 7200000, 7000000},
        {"30m", 10100000, 10150000, 10100000},     {"20m", 14000000, 14350000, 14000000},
        {"17m", 18068000, 18168000, 18068000},     {"15m", 21000000, 21450000, 21000000},
        {"12m", 24890000, 24990000, 24890000},     {"10m", 28000000, 29700000, 28000000},
        {"6m", 50000000, 54000000, 50000000},      {"4m", 70000000, 70500000, 70000000},
        {"2m", 144000000, 146000000, 144000000},   {"70cm", 430000000, 440000000, 430000000},
    };
    EXPECT_FALSE(file.WrongFormat) << "line " << file.WrongLine;
    EXPECT_EQ(file.MenuItemCount, 14u);
    EXPECT_EQ(Records(file.Bands), expected);
}

} // namespace
