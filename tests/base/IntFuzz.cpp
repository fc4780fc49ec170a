// Feeds the integer rule texts whose value is known by how they were made
// (decimal and hexadecimal, blanks in front, at and beyond the limits), and
// mutated texts, on which what the rule promises must still hold:
//   int_fuzz [rounds] [seed]

#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/SysUtils.h"
#include "tests/support/Fuzz.h"

namespace {

using Fuzz::Check;
using Fuzz::TRandom;

constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
constexpr int64_t kMax = std::numeric_limits<int32_t>::max();

// A value near the limits, small, or anywhere in a range wider than 32 bits.
int64_t Value(TRandom& random)
{
    static const int64_t edges[] = {0, 1, -1, kMax, kMax + 1, kMin, kMin - 1, 0xFFFFFFFFll, 0x100000000ll};
    switch (random.Below(4)) {
    case 0:
        return edges[random.Below(std::size(edges))] + random.Between(-2, 2);
    case 1:
        return random.Between(-1000, 1000);
    case 2:
        return static_cast<int32_t>(random.Next());
    default:
        return static_cast<int64_t>(random.Next() % (1ull << 34)) - (1ll << 33);
    }
}

std::string Blanks(TRandom& random)
{
    std::string blanks;
    for (size_t n = random.Below(4); n > 0; --n)
        blanks += static_cast<char>(random.Below(33));
    return blanks;
}

std::string Digits(TRandom& random, uint64_t magnitude, int base, bool upper)
{
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[magnitude % static_cast<uint64_t>(base)]);
        magnitude /= static_cast<uint64_t>(base);
    } while (magnitude);
    return std::string(random.Below(3), '0') + text;
}

// A text and the value the rule must give it (none: it must fail).
struct TSample {
    std::string Text;
    std::optional<int32_t> Expected;
};

TSample Generate(TRandom& random)
{
    const int64_t value = Value(random);
    const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    TSample sample;
    switch (random.Below(4)) {
    case 0: { // hexadecimal: no sign, and the value must fit as it is
        static const char* const prefixes[] = {"$", "x", "X", "0x", "0X"};
        sample.Text = Blanks(random) + (value < 0 ? "-" : "") + prefixes[random.Below(5)] +
                      Digits(random, magnitude, 16, random.Below(2));
        if (value >= 0 && value <= kMax)
            sample.Expected = static_cast<int32_t>(value);
        break;
    }
    case 1: // something after the number
        sample.Text = Blanks(random) + std::to_string(value) + "g  "[random.Below(3)];
        break;
    default: // decimal, with its sign or a plus
        sample.Text =
            Blanks(random) + (value < 0 ? "-" : random.Below(3) == 0 ? "+" : "") + Digits(random, magnitude, 10, false);
        if (value >= kMin && value <= kMax)
            sample.Expected = static_cast<int32_t>(value);
        break;
    }
    return sample;
}

std::optional<int32_t> Parse(const std::string& text)
{
    int32_t value = 0;
    if (TryStrToInt(text, value))
        return value;
    return std::nullopt;
}

// What the rule promises for any text: its three forms agree, an accepted
// number reads back from its decimal text and with blanks in front, and
// nothing may follow it.
void CheckPromises(const std::string& text)
{
    const std::optional<int32_t> parsed = Parse(text);
    Check(StrToIntDef(text, 7) == parsed.value_or(7) && StrToIntDef(text, -7) == parsed.value_or(-7),
          "StrToIntDef disagrees", text);
    try {
        Check(StrToInt(text) == parsed, "StrToInt disagrees", text);
    } catch (const EConvertError& error) {
        Check(!parsed && error.Message() == "'" + text + "' is not a valid integer value", "StrToInt raises wrongly",
              text);
    }
    if (!parsed)
        return;
    Check(Parse(IntToStr(*parsed)) == parsed, "the decimal text does not read back", text);
    Check(Parse(std::string(" \t\x01") + text) == parsed, "blanks in front change the value", text);
    Check(!Parse(text + "g") && !Parse(text + " ") && !Parse(text + '\0'), "something after the number is taken",
          text);
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> seeds = {"0", "-2147483648", "2147483647", "$7FFFFFFF", "0x10", " +12", "x1f"};
    long taken = 0, refused = 0;
    const Fuzz::TMutation how{.Special = std::string("$xX09fFg+- \t\xff", 14) + '\0', .MaxSize = 64};
    const int code =
        Fuzz::RunMutations(argc, argv, {20000, 20240601}, seeds, how, [&](const std::string& mutated, TRandom& random) {
            const TSample sample = Generate(random);
            Check(Parse(sample.Text) == sample.Expected, "not the value it was made with", sample.Text);
            CheckPromises(sample.Text);
            CheckPromises(mutated);
            (Parse(mutated) ? taken : refused) += 1;
        });
    std::printf("%ld mutated texts taken, %ld refused\n", taken, refused);
    // A run that never took or never refused a text has tested half the rule.
    return code == 0 && Fuzz::Covered(taken > 0 && refused > 0, "a text taken and one refused") ? 0 : 1;
}
