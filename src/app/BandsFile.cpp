#include "app/BandsFile.h"

#include <exception>
#include <fstream>
#include <istream>
#include <iterator>

#include "base/SysUtils.h"

namespace {

// The text of the field that starts at from and ends at the next "#" or the
// end of the line; from moves past that "#" (to npos when there is none).
std::string NextField(const std::string& line, size_t& from)
{
    const size_t hash = line.find('#', from);
    std::string field = line.substr(from, hash == std::string::npos ? std::string::npos : hash - from);
    from = hash == std::string::npos ? std::string::npos : hash + 1;
    return field;
}

// Fills the record field by field, stopping at the first that fails, so that a
// wrong line keeps what was read before.
bool ReadBandLine(const std::string& line, TBandRecord& record)
{
    size_t from = 0;
    record.Name = NextField(line, from);
    if (from == std::string::npos || !TryStrToInt(NextField(line, from), record.LowFreq))
        return false;
    if (from == std::string::npos || !TryStrToInt(NextField(line, from), record.HighFreq))
        return false;
    record.LastFreq = record.LowFreq;
    return true;
}

TBandRecord* FindBandNamed(TBands& Bands, const std::string& Name)
{
    for (TBandRecord& band : Bands)
        if (band.Name == Name)
            return &band;
    return nullptr;
}

} // namespace

TBandsFile ReadBands(std::string_view text)
{
    TBandsFile file;
    size_t lineNo = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string line(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size())
            pos += text.compare(pos, 2, "\r\n") == 0 ? 2 : 1;
        ++lineNo;

        if (Trim(line).empty())
            continue;
        file.Bands.emplace_back();
        if (!ReadBandLine(line, file.Bands.back())) {
            file.WrongFormat = true;
            file.WrongLine = lineNo;
            break;
        }
        file.MenuItemCount = file.Bands.size();
    }
    return file;
}

TBandsFile ReadBands(std::istream& in)
{
    std::string text;
    try {
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        // A file that cannot be read counts as missing: no half-read bands.
        return {};
    }
    return ReadBands(std::string_view(text));
}

TBandsFile LoadBandsFile(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        return {};
    return ReadBands(in);
}

std::optional<int32_t> BandClick(TBands& Bands, const std::string& BandlblCaption, const std::string& Name,
                                 int32_t Freq)
{
    if (TBandRecord* left = FindBandNamed(Bands, BandlblCaption))
        left->LastFreq = Freq;
    if (const TBandRecord* chosen = FindBandNamed(Bands, Name))
        return chosen->LastFreq;
    return std::nullopt;
}
