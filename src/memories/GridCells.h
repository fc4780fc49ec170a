#pragma once
// What the grid keeps: each row's texts and the settings of its cells, of the
// columns and of the rows, every list only as long as it was written; what
// lies beyond reads as empty and NotSet. A setting is asked of the cell, then
// of its column, then of its row.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// One setting of a cell, column or row; NotSet passes the question on.
enum class TEditSetting : uint8_t { NotSet, No, Yes };
enum class TCellAlign : uint8_t { NotSet, Left, Right, Center };

struct TCellProps {
    TEditSetting Editable = TEditSetting::NotSet;
    TCellAlign Alignment = TCellAlign::NotSet;
    bool operator==(const TCellProps&) const = default;
};

// A row moves whole: its texts, its cells' settings and its own.
struct TGridRow {
    std::vector<std::string> Cells; // may be shorter than the column count
    std::vector<TCellProps> CellProps;
    TCellProps Props;
};

// Item i, or `none` for an i before or past the list.
template <class T>
const T& ItemOr(const std::vector<T>& items, int i, const T& none)
{
    return i >= 0 && static_cast<size_t>(i) < items.size() ? items[static_cast<size_t>(i)] : none;
}

// Item i (never negative), the list grown to it.
template <class T>
T& GrowTo(std::vector<T>& items, int i)
{
    if (items.size() <= static_cast<size_t>(i))
        items.resize(static_cast<size_t>(i) + 1);
    return items[static_cast<size_t>(i)];
}

// Drops the items from `count` on.
template <class T>
void TrimTo(std::vector<T>& items, int count)
{
    if (items.size() > static_cast<size_t>(count))
        items.resize(static_cast<size_t>(count));
}

// The first of the cell's, the column's and the row's settings that is set;
// NotSet when none is.
template <class TSetting>
TSetting SettingOf(const TCellProps& cell, const TCellProps& col, const TCellProps& row,
                   TSetting TCellProps::*setting)
{
    for (const TCellProps* props : {&cell, &col, &row})
        if (props->*setting != TSetting::NotSet)
            return props->*setting;
    return TSetting::NotSet;
}
