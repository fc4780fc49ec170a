#include "memories/GridText.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <istream>
#include <iterator>
#include <vector>

std::optional<TCellRange> ExportRange(int left, int top, int right, int bottom, int colCount, int rowCount)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    if (right < 0 || right < left || right >= colCount)
        right = colCount - 1;
    if (bottom < 0 || bottom < top || bottom >= rowCount)
        bottom = rowCount - 1;
    if (left > right || top > bottom)
        return std::nullopt;
    return TCellRange{left, top, right, bottom};
}

void AppendCellsText(std::string& target, char separator, const TCellRange& range,
                     const std::function<const std::string&(int col, int row)>& cell)
{
    for (int row = range.Top; row <= range.Bottom; ++row) {
        for (int col = range.Left; col <= range.Right; ++col) {
            target += cell(col, row);
            target += separator;
        }
        target += "\r\n";
    }
}

int ReadCellsText(std::string_view source, char separator, int left, int top, int right, int bottom,
                  const std::function<void(int row)>& reachRow,
                  const std::function<void(int col, int row, std::string_view text)>& writeCell)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    const bool colLimit = right >= left;
    const bool rowLimit = bottom >= top;
    source = source.substr(0, source.find('\0'));

    int written = 0;
    int64_t row = top;
    size_t pos = 0;
    while (pos < source.size() && row < INT_MAX && (!rowLimit || row <= bottom)) {
        size_t end = source.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = source.size();
        std::string_view line = source.substr(pos, end - pos);
        pos = end;
        if (pos < source.size())
            pos += source[pos] == '\r' && pos + 1 < source.size() && source[pos + 1] == '\n' ? 2 : 1;

        reachRow(static_cast<int>(row));
        std::vector<std::string_view> pieces;
        size_t start = 0;
        for (;;) {
            const size_t cut = line.find(separator, start);
            if (cut == std::string_view::npos) {
                pieces.push_back(line.substr(start));
                break;
            }
            pieces.push_back(line.substr(start, cut - start));
            start = cut + 1;
        }
        if (pieces.back().empty())
            pieces.pop_back();
        int64_t col = left;
        for (std::string_view piece : pieces) {
            if ((colLimit && col > right) || col >= INT_MAX)
                break;
            writeCell(static_cast<int>(col), static_cast<int>(row), piece);
            ++written;
            ++col;
        }
        ++row;
    }
    return written;
}

std::string StreamText(std::istream& source)
{
    source.clear();
    source.seekg(0);
    return {std::istreambuf_iterator<char>(source), std::istreambuf_iterator<char>()};
}
