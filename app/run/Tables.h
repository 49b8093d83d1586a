#pragma once
// The run's memory tables as typed row vectors. Text columns keep at most
// their column's width (longer texts are cut when stored); columns can be
// found by name without regard to case. The row order is the cursor order:
// walking a table is walking its vector from the front.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vz::app {

// Column widths of the text columns.
inline constexpr size_t kDescrSymbolWidth = 20;
inline constexpr size_t kDescrNameWidth = 20;
inline constexpr size_t kOptionsNameWidth = 10;
inline constexpr size_t kOptionsSymbolWidth = 20;
inline constexpr size_t kOptionsReservedWidth = 50;
inline constexpr size_t kOptionsPeriodStrWidth = 10;

// The text as a text column of the given width stores it.
std::string CutText(std::string_view text, size_t width);

// True when the two names are equal without regard to (ASCII) case.
bool SameColumnName(std::string_view a, std::string_view b);

enum class ColumnKind { Text, Integer, Float, DateTime, Boolean };

// TblDescr: one intraday security per row.
struct DescrRow {
  int32_t No = 0;
  std::string Symbol;  // at most kDescrSymbolWidth
  std::string Name;    // at most kDescrNameWidth
  int32_t Interval = 0;
  double DateFrom = 0;
  double DateTo = 0;
};

// TblDescrD: one daily security per row.
struct DescrDRow {
  int32_t No = 0;
  std::string Symbol;
  std::string Name;
};

// TblOptions: the selection list. Columns that a record did not set stay
// null (an unset Active is not active).
struct OptionsRow {
  std::optional<std::string> Name;
  std::optional<int64_t> Period;
  std::optional<bool> Active;
  std::optional<std::string> Symbol;
  std::optional<double> LoadDate;
  std::optional<std::string> Reserved;
  std::optional<std::string> PeriodStr;
  std::optional<bool> IsNew;
  std::optional<bool> IsExpired;
};

// One column of a row type, for code that takes columns by name (the sort,
// the selection loader).
template <class Row>
struct ColumnInfo {
  std::string_view name;
  ColumnKind kind;
  // Text of the cell (Text, Boolean), or empty.
  std::string (*text)(const Row&);
  // Number of the cell (Integer, Float, DateTime, Boolean as 0/1), or 0.
  double (*number)(const Row&);
};

using OptionsTable = std::vector<OptionsRow>;
inline constexpr int kOptionsColumnCount = 9;

// Sets the column `name` (any case) of an options row from a value text;
// false when there is no such column or the column does not accept the
// value (then the row is unchanged). Date-times are decimal day counts with
// "," as the decimal separator; booleans any leading part of True or False.
bool SetOptionsColumn(OptionsRow& row, std::string_view name, std::string_view value);

}  // namespace vz::app
