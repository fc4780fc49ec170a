// The bands reader against generated and mutated files from a fixed seed:
//   bands_fuzz [rounds] [seed]
// A generated file is made of lines whose reading is known by how they were
// made (blank ones, bands, wrong ones, anything after the first wrong one):
// the bands above the first wrong line are kept exactly as written, the wrong
// line's record keeps the fields read before the failure, and the message
// comes exactly when a wrong line exists. Whatever the bytes (mutated files):
// no crash or endless loop, the menu never counts more than the records, a
// band holds both its edges and not one past them, the first band wins at its
// edges, the menu's bands written back read the same, and a stream reads as
// the text does.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/BandsFile.h"
#include "app/FreqDisplay.h"
#include "tests/support/Fuzz.h"

namespace {

using Fuzz::Check;
using Fuzz::TRandom;

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// Number fields the integer rule refuses.
const std::vector<std::string> kWrongNumbers = {
    "", " ", "1 ", "12a", "--1", "$", "0x", "1.5", "+", "\xff", "2147483648", "-2147483649",
};
const std::vector<std::string> kLineEnds = {"\r\n", "\n", "\r"};

// Characters 0 to 32 but the line breaks: what a blank line and the blanks in
// front of a number are made of.
std::string Blanks(TRandom& random, size_t max)
{
    std::string blanks;
    for (size_t n = random.Below(max + 1); n > 0; --n) {
        const char c = static_cast<char>(random.Below(33));
        blanks += c == '\r' || c == '\n' ? ' ' : c;
    }
    return blanks;
}

// Any bytes but "#" and the line breaks.
std::string Text(TRandom& random, size_t max)
{
    std::string text = random.Bytes(max);
    for (char& c : text)
        if (c == '#' || c == '\r' || c == '\n')
            c = 'm';
    return text;
}

// A number field the integer rule reads as value: blanks in front, a plus or
// leading zeros, hexadecimal when not negative.
std::string NumberText(TRandom& random, int32_t value)
{
    std::string digits;
    if (value >= 0 && random.Below(4) == 0) {
        static const std::vector<std::string> prefixes = {"$", "0x", "X"};
        char hex[16];
        std::snprintf(hex, sizeof hex, random.Below(2) ? "%x" : "%X", static_cast<unsigned>(value));
        digits = random.Pick(prefixes) + std::string(random.Below(3), '0') + hex;
    } else {
        const int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
        digits = (value < 0 ? "-" : random.Below(4) == 0 ? "+" : "") + std::string(random.Below(3), '0') +
                 std::to_string(magnitude);
    }
    return Blanks(random, 2) + digits;
}

// The edges of a file's bands come from a few values, so that bands meet,
// overlap and nest, and now and then lie at the ends of the range.
int32_t Edge(TRandom& random, const std::vector<int32_t>& anchors)
{
    switch (random.Below(8)) {
    case 0:
        return random.Below(2) ? kMin : kMax;
    case 1:
        return static_cast<int32_t>(random.Next());
    default: {
        const int32_t anchor = random.Pick(anchors);
        return random.Below(3) ? anchor : anchor + random.Between(-1, 1);
    }
    }
}

// A file and what reading it must give.
struct TSample {
    std::string Text;
    TBandsFile Expected;
};

TSample Generate(TRandom& random)
{
    std::vector<int32_t> anchors;
    for (size_t n = 1 + random.Below(4); n > 0; --n)
        anchors.push_back(static_cast<int32_t>(random.Between(-2, 30000) * 1000));

    TSample sample;
    TBandsFile& expected = sample.Expected;
    const size_t lines = random.Below(14);
    for (size_t lineNo = 1; lineNo <= lines; ++lineNo) {
        const bool reading = !expected.WrongFormat;
        std::string line;
        TBandRecord record;
        bool blank = false, wrong = false;
        switch (random.Below(reading ? 8 : 10)) {
        case 0:
            line = Blanks(random, 3);
            blank = true;
            break;
        case 1: { // wrong: no "#", a number missing or refused
            record.Name = Text(random, 5);
            switch (random.Below(4)) {
            case 0:
                line = record.Name + "x";
                record.Name = line;
                break;
            case 1:
                record.LowFreq = Edge(random, anchors);
                line = record.Name + "#" + NumberText(random, record.LowFreq);
                break;
            case 2:
                line = record.Name + "#" + random.Pick(kWrongNumbers) + "#" + NumberText(random, Edge(random, anchors));
                break;
            default:
                record.LowFreq = Edge(random, anchors);
                line = record.Name + "#" + NumberText(random, record.LowFreq) + "#" + random.Pick(kWrongNumbers);
                break;
            }
            wrong = true;
            break;
        }
        case 8:
        case 9: // after a wrong line: anything at all
            line = Text(random, 12);
            break;
        default: { // a band, now and then with fields after the third
            record.Name = Text(random, 6);
            record.LowFreq = Edge(random, anchors);
            record.HighFreq = random.Below(4) ? Edge(random, anchors) : record.LowFreq;
            if (record.HighFreq < record.LowFreq && random.Below(4))
                std::swap(record.LowFreq, record.HighFreq);
            record.LastFreq = record.LowFreq;
            line = record.Name + "#" + NumberText(random, record.LowFreq) + "#" + NumberText(random, record.HighFreq);
            if (random.Below(4) == 0)
                line += "#" + Text(random, 4) + (random.Below(2) ? "#" : "");
            break;
        }
        }
        // An empty line after a CR would make CR LF of the two.
        std::string lineEnd = random.Pick(kLineEnds);
        if (line.empty() && sample.Text.ends_with('\r') && lineEnd == "\n")
            lineEnd = "\r";
        sample.Text += line + (lineNo < lines || random.Below(2) ? lineEnd : "");

        if (!reading || blank)
            continue;
        expected.Bands.push_back(record);
        if (wrong) {
            expected.WrongFormat = true;
            expected.WrongLine = lineNo;
        } else {
            expected.MenuItemCount = expected.Bands.size();
        }
    }
    return sample;
}

bool SameBands(const TBands& a, const TBands& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Name != b[i].Name || a[i].LowFreq != b[i].LowFreq || a[i].HighFreq != b[i].HighFreq ||
            a[i].LastFreq != b[i].LastFreq)
            return false;
    return true;
}

bool Same(const TBandsFile& a, const TBandsFile& b)
{
    return SameBands(a.Bands, b.Bands) && a.MenuItemCount == b.MenuItemCount && a.WrongFormat == b.WrongFormat &&
           a.WrongLine == b.WrongLine;
}

// What holds whatever the bytes.
void CheckProperties(const std::string& text, const TBandsFile& file)
{
    Check(file.MenuItemCount <= file.Bands.size() &&
              file.Bands.size() == file.MenuItemCount + (file.WrongFormat ? 1 : 0),
          "the menu counts every record but a wrong line's", text);
    Check(file.WrongFormat == (file.WrongLine != 0), "the message and its line disagree", text);

    const TBands menu(file.Bands.begin(), file.Bands.begin() + static_cast<ptrdiff_t>(file.MenuItemCount));
    std::string written;
    for (const TBandRecord& band : menu) {
        Check(band.Name.find_first_of("#\r\n") == std::string::npos, "a name holds a separator", text);
        Check(band.LastFreq == band.LowFreq, "a band's last frequency does not start at its lower edge", text);
        written += band.Name + "#" + std::to_string(band.LowFreq) + "#" + std::to_string(band.HighFreq) + "\r\n";
        if (band.LowFreq > band.HighFreq)
            continue;
        const TBands alone = {band};
        Check(BandName(alone, band.LowFreq) == band.Name && BandName(alone, band.HighFreq) == band.Name,
              "a band does not hold its edges", text);
        Check((band.LowFreq == kMin || BandName(alone, band.LowFreq - 1) == kNoBand) &&
                  (band.HighFreq == kMax || BandName(alone, band.HighFreq + 1) == kNoBand),
              "a band holds a frequency beyond its edges", text);
    }
    if (!menu.empty() && menu[0].LowFreq <= menu[0].HighFreq)
        Check(BandName(menu, menu[0].LowFreq) == menu[0].Name && BandName(menu, menu[0].HighFreq) == menu[0].Name,
              "the first band does not win at its edges", text);

    const TBandsFile again = ReadBands(written);
    Check(SameBands(again.Bands, menu) && again.MenuItemCount == menu.size() && !again.WrongFormat,
          "the menu's bands written back do not read the same", text);
    std::istringstream stream(text);
    Check(Same(ReadBands(stream), file), "a stream reads otherwise than the text", text);
}

} // namespace

int main(int argc, char** argv)
{
    long wrong = 0, bands = 0;
    const Fuzz::TMutation how{.Special = std::string("#\r\n \t\0-+$x09\x7f\xff", 15)};
    const int code = Fuzz::Run(argc, argv, {20000, 20260108}, [&](TRandom& random) {
        const TSample sample = Generate(random);
        const TBandsFile file = ReadBands(sample.Text);
        CheckProperties(sample.Text, file);
        Check(SameBands(file.Bands, sample.Expected.Bands), "not the records above the first wrong line as written",
              sample.Text);
        Check(file.MenuItemCount == sample.Expected.MenuItemCount, "not a menu item for each band above it",
              sample.Text);
        Check(file.WrongFormat == sample.Expected.WrongFormat && file.WrongLine == sample.Expected.WrongLine,
              "no message exactly when a wrong line exists, or not its line", sample.Text);
        wrong += file.WrongFormat ? 1 : 0;
        bands += static_cast<long>(file.MenuItemCount);

        const std::string mutated = Fuzz::Mutate(sample.Text, random, how);
        CheckProperties(mutated, ReadBands(mutated));
    });
    std::printf("%ld files with a wrong line, %ld bands read\n", wrong, bands);
    // A run that never reached a good band or a wrong line has tested nothing.
    return code == 0 && Fuzz::Covered(wrong > 0 && bands > 0, "a band and a wrong line") ? 0 : 1;
}
