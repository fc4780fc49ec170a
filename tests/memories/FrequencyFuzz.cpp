// Deterministic mutation fuzzing of the memory list's frequency rules: the
// check of a typed frequency (ValidateFrequencyText) and the conversion Set
// sends (FrequencyHertz), on cells as typed, pasted or edited into the file.
// Whatever the bytes: only decimal digits and separators are accepted, what is
// shown is grouped by three and reads back as the same hertz, and Set takes
// digits or "-1" and reports anything else.
//
//   memories_frequency_fuzz [rounds] [seed]

#include <cstdint>
#include <optional>
#include <string>

#include "base/SysUtils.h"
#include "memories/Memories.h"
#include "tests/support/Fuzz.h"

namespace {

using namespace Fuzz;

bool OnlyOf(const std::string& text, const std::string& allowed)
{
    return text.find_first_not_of(allowed) == std::string::npos;
}

const std::string kDigits = "0123456789";
const char kSpecial[] = "0123456789.,.,$xX+- \t\0\x7F\xFF";

std::string Without(const std::string& text, const std::string& dropped)
{
    std::string kept;
    for (char c : text)
        if (dropped.find(c) == std::string::npos)
            kept += c;
    return kept;
}

// "ddd.ddd", or one to four digits and "." before it, as validation shows.
bool Grouped(const std::string& shown)
{
    auto digitsAt = [&](size_t from, size_t count) { return OnlyOf(shown.substr(from, count), kDigits); };
    const size_t n = shown.size();
    if (n == 7)
        return digitsAt(0, 3) && shown[3] == '.' && digitsAt(4, 3);
    const size_t head = n - 8;
    return n >= 9 && n <= 12 && digitsAt(0, head) && shown[head] == '.' && digitsAt(head + 1, 3) &&
           shown[head + 4] == '.' && digitsAt(head + 5, 3);
}

void RunOne(const std::string& input, TRandom&)
{
    const std::string typed = Trim(input);
    const std::optional<std::string> shown = ValidateFrequencyText(input);
    if (typed.empty()) {
        Check(shown && *shown == input, "a blank frequency stays as typed", input);
        return;
    }
    if (!OnlyOf(typed, kDigits + ".,"))
        Check(!shown, "only decimal digits and separators are a frequency", input);
    if (shown) {
        Check(Grouped(*shown) && OnlyOf(Without(*shown, "."), kDigits), "what is shown is grouped by three", input);
        const int32_t hertz = FrequencyHertz(*shown);
        Check(hertz >= 100000 && IntToStr(hertz) == Without(*shown, "."), "what is shown is what Set sends", input);
        Check(ValidateFrequencyText(*shown) == shown, "what is shown passes again unchanged", input);
    }

    // Set: digits or "-1", blanks around ignored; anything else is reported
    // with the text after "." and "," are removed.
    const std::string digits = Without(input, ".,");
    const std::string number = Trim(digits);
    try {
        const int32_t hertz = FrequencyHertz(input);
        const std::string text = IntToStr(hertz);
        Check(number == "-1" ? hertz == -1
                             : OnlyOf(number, kDigits) && number.size() >= text.size() &&
                                   number.substr(number.size() - text.size()) == text &&
                                   OnlyOf(number.substr(0, number.size() - text.size()), "0"),
              "Set sends the decimal digits' value", input);
    } catch (const EConvertError& error) {
        Check(error.Message() == "'" + digits + "' is not a valid integer value", "Set reports the text", input);
        Check(number != "-1" && !(OnlyOf(number, kDigits) && !number.empty() && number.size() <= 9),
              "Set takes every short run of digits and -1", input);
    }
}

} // namespace

int main(int argc, char** argv)
{
    return RunMutations(argc, argv, {20000, 20240601},
        {"14074000", "14.074.000", "14,074,5", "3.5.0", "500000", "1.234.567.890", "2147483647",
         "2.147.483.648", "-1", "$1.000.000", "x123.456", "0x1000000", "+7050000", " 7.050.000 ", "\t14074000\r",
         "", "  ", "7.1", "99999", "0", "000000000014074000"},
        {.Special = std::string(kSpecial, sizeof kSpecial - 1), .MaxSize = 64}, RunOne);
}
