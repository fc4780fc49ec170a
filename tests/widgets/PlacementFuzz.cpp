// Feeds a borderless window's placement storage generated and mutated values
// as they could stand in the registry (position texts, numbers, values of
// other types) and checks what holds whatever they are: the only report is a
// value that is not text, the window keeps its size, stored captions come back
// trimmed, and what a restore and close wrote restores and saves the same
// again:
//   placement_fuzz [rounds] [seed]

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/SysUtils.h"
#include "tests/support/Fuzz.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/MemoryRegistry.h"
#include "ui/StdCtrls.h"
#include "widgets/FormPlacement.h"

namespace {

using Fuzz::TRandom;

constexpr TRegRoot kUser = TRegRoot::CurrentUser;
const char* const kKey = "Software\\Velkor\\WindowPos";
const std::vector<std::string> kNames = {"FormVersion", "Flags",    "ShowCmd", "PixelsPerInch", "MinMaxPos(1024x768)",
                                         "MinMaxPos",   "NormPos(1024x768)", "NormPos", "Visible", "Label1_Caption",
                                         "Label1_Tag"};

std::string Number(TRandom& random)
{
    static const std::vector<std::string> numbers = {"0",  "1",          "2",  "3",           "-1", "96",  "120",
                                                     "7",  "2147483647", "-2147483648", "4294967296", "$10", " 5",
                                                     "x",  "",           "1e3", "+8",         "\t9", "0x7fffffff"};
    if (random.Below(3) == 0)
        return std::to_string(static_cast<int32_t>(random.Next()) >> random.Below(32));
    return random.Pick(numbers);
}

// A value for name: mostly of its kind, sometimes anything.
TRegValue Generate(TRandom& random, const std::string& name)
{
    if (random.Below(25) == 0)
        return {random.Below(2) ? RegType::kDWord : RegType::kBinary, random.Bytes(11)};
    if (random.Below(6) == 0)
        return {RegType::kSz, random.Bytes(11)};
    std::string text;
    if (name.starts_with("MinMaxPos") || name.starts_with("NormPos")) {
        for (size_t n = random.Below(6); n > 0; --n)
            text += Number(random) + (random.Below(4) ? "," : random.Below(2) ? " " : ", ");
    } else if (name == "Label1_Caption") {
        text = std::string(random.Below(3), ' ') + "ON" + std::string(random.Below(3), '\t');
    } else {
        text = Number(random);
    }
    return {random.Below(10) ? RegType::kSz : RegType::kExpandSz, text};
}

using TValues = std::vector<std::pair<std::string, TRegValue>>;

TValues GenerateValues(TRandom& random)
{
    TValues values;
    for (const std::string& name : kNames)
        if (random.Below(4))
            values.emplace_back(name, Generate(random, name));
    return values;
}

Fuzz::TInput Input(const TValues& values)
{
    Fuzz::TInput input;
    for (const auto& [name, value] : values)
        input.push_back({name + " (type " + std::to_string(value.Type) + ")", value.Data});
    return input;
}

// One run of the window: shown (the restore), then closed (the save) unless
// the restore failed. What it reported, its bounds and caption once shown, and
// the values the store holds afterwards.
struct TRun {
    std::vector<std::string> Reports;
    TRect Bounds;
    std::string Caption;
    TValues Saved;
};

TRun ShowAndClose(const TValues& values)
{
    TMemoryRegistry registry;
    for (const auto& [name, value] : values)
        registry.SetValue(kUser, kKey, name, value);
    TRun run;
    {
        THeadlessHost host;
        TApplication app(host);
        auto* form = new TForm(&app);
        form->SetName("Main");
        form->SetBorderStyle(TFormBorderStyle::bsNone);
        form->SetBounds(370, 113, 229, 103);
        auto* label = new TLabel(form);
        label->SetName("Label1");
        label->SetParent(form);
        label->SetCaption("OFF");
        auto* storage = new TFormStorage(form, registry);
        storage->SetIniSection(std::string("\\") + kKey);
        storage->SetStoredProps({"Label1.Caption", "Label1.Tag"});
        form->Show();
        run.Bounds = form->BoundsRect();
        run.Caption = label->Caption();
        form->Close();
        for (const auto& box : host.MessageBoxes())
            run.Reports.push_back(box.Text);
    }
    for (const std::string& name : registry.ValueNames(kUser, kKey))
        run.Saved.emplace_back(name, *registry.Value(kUser, kKey, name));
    return run;
}

bool IsText(const TValues& values, const std::string& name)
{
    for (const auto& [stored, value] : values)
        if (SameText(stored, name))
            return value.Type == RegType::kSz || value.Type == RegType::kExpandSz;
    return true;
}

const char* Broken(const TValues& values, const TRun& first)
{
    for (const std::string& report : first.Reports) {
        const size_t quote = report.find('\'');
        const std::string name = quote == std::string::npos ? "" : report.substr(quote + 1, report.rfind('\'') - quote - 1);
        if (report != "Invalid data type for '" + name + "'" || IsText(values, name))
            return "a report other than a value that is not text";
        if (name.starts_with("Label1_"))
            return "a stored property's type is reported";
    }
    if (first.Bounds.Width() != 229 || first.Bounds.Height() != 103)
        return "the window changed its size";
    if (first.Caption != Trim(first.Caption))
        return "the caption came back untrimmed";
    if (!first.Reports.empty())
        return nullptr;
    // What the program wrote, read back, gives what it wrote again.
    const TRun second = ShowAndClose(first.Saved);
    if (!second.Reports.empty())
        return "its own values are reported";
    if (second.Bounds != first.Bounds || second.Caption != first.Caption)
        return "its own values restore another window";
    if (second.Saved != first.Saved)
        return "its own values save differently";
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    long moved = 0, reported = 0;
    const int code = Fuzz::Run(argc, argv, {5000, 20260110}, [&](TRandom& random) {
        const TValues values = GenerateValues(random);
        const TRun first = ShowAndClose(values);
        if (const char* broken = Broken(values, first))
            Fuzz::Fail(broken, Input(values));
        moved += first.Bounds.Left != 370 || first.Bounds.Top != 113 ? 1 : 0;
        reported += first.Reports.empty() ? 0 : 1;
    });
    std::printf("%ld moved the window, %ld reported\n", moved, reported);
    // A run that never moved the window or never met a wrong type has tested little.
    return code == 0 && Fuzz::Covered(moved > 0 && reported > 0, "a moved window and a wrong type") ? 0 : 1;
}
