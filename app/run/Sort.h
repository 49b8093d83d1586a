#pragma once
// SortDataSet: sorts a memory table in place by one key column.
//
// Rows compare column by column starting at the key column: modes 0 and 1
// go on to the following columns, modes 2 and 3 back toward the first one;
// the first column that differs decides. The key column compares by its
// text (bytes as unsigned characters, case-sensitive) in even modes and as a
// number in odd modes; every other column by its type: numbers and
// date-times as numbers, texts and booleans by their lower-case texts.
// The result is multiplied by the direction (+1 ascending, -1 descending).
//
// The sort is a quicksort on the middle row as pivot and is not stable: the
// order it leaves among rows that compare equal is part of the result, since
// the stages process securities in table order.
#include <span>
#include <string_view>
#include <vector>

#include "app/run/Tables.h"

namespace vz::app {

template <class Row>
std::span<const ColumnInfo<Row>> TableColumns();

template <>
std::span<const ColumnInfo<DescrRow>> TableColumns<DescrRow>();
template <>
std::span<const ColumnInfo<DescrDRow>> TableColumns<DescrDRow>();

namespace sort_detail {

// Compares two cells of one column; key tells whether it is the key column.
template <class Row>
int CompareCells(const ColumnInfo<Row>& column, const Row& a, const Row& b, bool key, int mode);

// Three-way comparison of two rows by the rules above (before direction).
template <class Row>
int CompareRows(std::span<const ColumnInfo<Row>> columns, size_t keyIndex, int mode, const Row& a,
                const Row& b) {
  const bool forward = mode == 0 || mode == 1;
  size_t i = keyIndex;
  while (true) {
    const int c = CompareCells(columns[i], a, b, i == keyIndex, mode);
    if (c != 0) return c;
    if (forward) {
      if (i + 1 >= columns.size()) return 0;
      ++i;
    } else {
      if (i == 0) return 0;
      --i;
    }
  }
}

}  // namespace sort_detail

// Sorts `rows` by the column named `keyColumn` (any case); false, leaving
// the rows as they were, when there is no such column or the mode or
// direction is out of range.
template <class Row>
bool SortDataSet(std::vector<Row>& rows, std::string_view keyColumn, int mode, int direction) {
  const auto columns = TableColumns<Row>();
  size_t keyIndex = columns.size();
  for (size_t i = 0; i < columns.size(); ++i)
    if (SameColumnName(columns[i].name, keyColumn)) {
      keyIndex = i;
      break;
    }
  if (keyIndex == columns.size() || mode < 0 || mode > 3 || (direction != 1 && direction != -1))
    return false;
  auto compare = [&](const Row& a, const Row& b) {
    return direction * sort_detail::CompareRows(columns, keyIndex, mode, a, b);
  };
  if (rows.size() < 2) return true;
  // Explicit stack of ranges: the sub-ranges are disjoint, so the order in
  // which they are sorted does not change the result, and pushing the
  // larger one first bounds the stack by log2 of the row count.
  struct Range {
    ptrdiff_t lo, hi;
  };
  std::vector<Range> pending{{0, static_cast<ptrdiff_t>(rows.size()) - 1}};
  while (!pending.empty()) {
    const auto [lo, hi] = pending.back();
    pending.pop_back();
    if (lo >= hi) continue;
    const Row pivot = rows[static_cast<size_t>((lo + hi) / 2)];
    ptrdiff_t i = lo, j = hi;
    do {
      while (compare(rows[static_cast<size_t>(i)], pivot) < 0) ++i;
      while (compare(rows[static_cast<size_t>(j)], pivot) > 0) --j;
      if (i <= j) {
        std::swap(rows[static_cast<size_t>(i)], rows[static_cast<size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    const Range left{lo, j}, right{i, hi};
    if (left.hi - left.lo > right.hi - right.lo) {
      pending.push_back(left);
      pending.push_back(right);
    } else {
      pending.push_back(right);
      pending.push_back(left);
    }
  }
  return true;
}

}  // namespace vz::app
