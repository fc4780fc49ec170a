// Feeds the bands reader generated and mutated files from a fixed seed and
// checks it against a second, plainer reading of the same rules:
//   bands_fuzz [count] [seed]
// Exits 1 with the failing input in hex on the first disagreement.

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/BandsFile.h"
#include "base/SysUtils.h"

namespace {

std::mt19937 Rng;

size_t Below(size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(Rng); }
template <typename T> const T& Pick(const std::vector<T>& items) { return items[Below(items.size())]; }

const std::vector<std::string> kNumbers = {
    "0", "1", "14000000", "-5", "+7", " 3500000", "\t42", "0000001", "$10", "0x7fffffff", "X1f",
    "2147483647", "-2147483648", "2147483648", "", " ", "1 ", "12a", "--1", "$", "0x", "1.5", "+", "\xff",
};
const std::vector<std::string> kLineEnds = {"\r\n", "\n", "\r"};
const std::vector<char> kInteresting = {'#', '\r', '\n', ' ', '\t', '\0', '-', '+', '$', 'x', '0', '9', '\x7f', '\xff'};

std::string RandomBytes(size_t max, bool lineSafe)
{
    std::string s;
    for (size_t n = Below(max + 1); n > 0; --n) {
        char c = static_cast<char>(Below(256));
        if (lineSafe && (c == '#' || c == '\r' || c == '\n'))
            c = 'm';
        s += c;
    }
    return s;
}

// A file of lines: good ones, blank ones and broken ones.
std::string Generate()
{
    std::string text;
    for (size_t lines = Below(12); lines > 0; --lines) {
        switch (Below(5)) {
        case 0: // blank: characters 0 to 32 only
            for (size_t n = Below(4); n > 0; --n) {
                const char c = static_cast<char>(Below(33));
                text += c == '\r' || c == '\n' ? ' ' : c;
            }
            break;
        case 1: // field rules at random
            text += RandomBytes(6, true) + "#" + Pick(kNumbers) + "#" + Pick(kNumbers);
            if (Below(3) == 0)
                text += "#" + RandomBytes(4, true);
            break;
        default: // a well-formed band
            text += RandomBytes(6, true) + "#" + std::to_string(static_cast<int32_t>(Rng())) + "#" +
                    std::to_string(static_cast<int32_t>(Rng()));
            break;
        }
        if (lines > 1 || Below(2) == 0)
            text += Pick(kLineEnds);
    }
    return text;
}

void Mutate(std::string& text)
{
    for (size_t n = 1 + Below(4); n > 0; --n) {
        const size_t at = Below(text.size() + 1);
        switch (Below(5)) {
        case 0:
            if (at < text.size())
                text[at] = static_cast<char>(Below(256));
            break;
        case 1:
            text.insert(at, 1, Pick(kInteresting));
            break;
        case 2:
            text.erase(at, Below(8));
            break;
        case 3:
            text.insert(at, text.substr(Below(text.size() + 1), Below(16)));
            break;
        default:
            text.resize(at);
            break;
        }
    }
}

// The rules again, written plainly: split on CR, LF and CR LF, then on "#".
TBandsFile Oracle(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    if (lines.back().empty())
        lines.pop_back();

    TBandsFile file;
    for (size_t n = 0; n < lines.size(); ++n) {
        bool blank = true;
        for (unsigned char c : lines[n])
            blank = blank && c <= 32;
        if (blank)
            continue;
        std::vector<std::string> fields(1);
        for (char c : lines[n]) {
            if (c == '#')
                fields.emplace_back();
            else
                fields.back() += c;
        }
        TBandRecord record;
        record.Name = fields[0];
        bool ok = fields.size() >= 2 && TryStrToInt(fields[1], record.LowFreq);
        ok = ok && fields.size() >= 3 && TryStrToInt(fields[2], record.HighFreq);
        if (ok)
            record.LastFreq = record.LowFreq;
        file.Bands.push_back(record);
        if (!ok) {
            file.WrongFormat = true;
            file.WrongLine = n + 1;
            break;
        }
        file.MenuItemCount = file.Bands.size();
    }
    return file;
}

bool Same(const TBandsFile& a, const TBandsFile& b)
{
    if (a.MenuItemCount != b.MenuItemCount || a.WrongFormat != b.WrongFormat || a.WrongLine != b.WrongLine ||
        a.Bands.size() != b.Bands.size())
        return false;
    for (size_t i = 0; i < a.Bands.size(); ++i) {
        const TBandRecord &x = a.Bands[i], &y = b.Bands[i];
        if (x.Name != y.Name || x.LowFreq != y.LowFreq || x.HighFreq != y.HighFreq || x.LastFreq != y.LastFreq)
            return false;
    }
    return true;
}

// What holds whatever the file: the menu covers every record but a wrong
// line's, names hold no separator, and the good records read back the same.
const char* Broken(const TBandsFile& file)
{
    if (file.MenuItemCount + (file.WrongFormat ? 1 : 0) != file.Bands.size())
        return "menu items do not match the records";
    if (file.WrongFormat != (file.WrongLine != 0))
        return "message and line disagree";
    std::string again;
    for (size_t i = 0; i < file.MenuItemCount; ++i) {
        const TBandRecord& b = file.Bands[i];
        if (b.Name.find_first_of("#\r\n") != std::string::npos)
            return "a name holds a separator";
        if (b.LastFreq != b.LowFreq)
            return "LastFreq does not start at LowFreq";
        again += b.Name + "#" + std::to_string(b.LowFreq) + "#" + std::to_string(b.HighFreq) + "\r\n";
    }
    TBandsFile good = file;
    good.Bands.resize(file.MenuItemCount);
    good.WrongFormat = false;
    good.WrongLine = 0;
    if (!Same(ReadBands(again), good))
        return "the good records do not read back the same";
    std::istringstream stream(again);
    if (!Same(ReadBands(stream), good))
        return "the stream reading differs";
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    const long count = argc > 1 ? std::atol(argv[1]) : 20000;
    const unsigned long seed = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 20260108;
    Rng.seed(static_cast<std::mt19937::result_type>(seed));
    size_t wrong = 0, bands = 0;
    for (long i = 0; i < count; ++i) {
        std::string text = Generate();
        if (i % 2 == 1)
            Mutate(text);
        const TBandsFile file = ReadBands(text);
        const char* broken = Same(file, Oracle(text)) ? Broken(file) : "the plain reading differs";
        if (broken) {
            std::printf("input %ld: %s\n", i, broken);
            for (unsigned char c : text)
                std::printf("%02x", c);
            std::printf("\n");
            return 1;
        }
        wrong += file.WrongFormat ? 1 : 0;
        bands += file.MenuItemCount;
    }
    std::printf("%ld inputs, %zu with a wrong line, %zu bands read\n", count, wrong, bands);
    // A run that never reached a good band or a wrong line has tested nothing.
    return wrong > 0 && bands > 0 ? 0 : 1;
}
