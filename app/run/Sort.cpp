#include "app/run/Sort.h"

#include <array>
#include <charconv>
#include <cmath>

namespace vz::app {

namespace {

std::string LowerText(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

int CompareBytes(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int CompareNumbers(double a, double b) {
  if (a < b) return -1;
  if (a > b) return 1;
  return 0;
}

// A text read as a number; a text that is no number counts as 0.
double TextNumber(const std::string& text) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return 0;
  return value;
}

// The text a numeric cell shows.
std::string NumberText(ColumnKind kind, double value) {
  char buffer[64];
  const auto result = kind == ColumnKind::Integer
                          ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value))
                          : std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

bool IsNumeric(ColumnKind kind) {
  return kind == ColumnKind::Integer || kind == ColumnKind::Float || kind == ColumnKind::DateTime;
}

template <class Row>
std::string CellText(const ColumnInfo<Row>& column, const Row& row) {
  return IsNumeric(column.kind) ? NumberText(column.kind, column.number(row)) : column.text(row);
}

template <class Row>
double CellNumber(const ColumnInfo<Row>& column, const Row& row) {
  return IsNumeric(column.kind) ? column.number(row) : TextNumber(column.text(row));
}

std::string NoText(const auto&) { return {}; }
double NoNumber(const auto&) { return 0; }

constexpr std::array<ColumnInfo<DescrRow>, 6> kDescrColumns{{
    {"No", ColumnKind::Integer, NoText, [](const DescrRow& r) { return double(r.No); }},
    {"Symbol", ColumnKind::Text, [](const DescrRow& r) { return r.Symbol; }, NoNumber},
    {"Name", ColumnKind::Text, [](const DescrRow& r) { return r.Name; }, NoNumber},
    {"Interval", ColumnKind::Integer, NoText, [](const DescrRow& r) { return double(r.Interval); }},
    {"DateFrom", ColumnKind::DateTime, NoText, [](const DescrRow& r) { return r.DateFrom; }},
    {"DateTo", ColumnKind::DateTime, NoText, [](const DescrRow& r) { return r.DateTo; }},
}};

constexpr std::array<ColumnInfo<DescrDRow>, 3> kDescrDColumns{{
    {"No", ColumnKind::Integer, NoText, [](const DescrDRow& r) { return double(r.No); }},
    {"Symbol", ColumnKind::Text, [](const DescrDRow& r) { return r.Symbol; }, NoNumber},
    {"Name", ColumnKind::Text, [](const DescrDRow& r) { return r.Name; }, NoNumber},
}};

}  // namespace

template <>
std::span<const ColumnInfo<DescrRow>> TableColumns<DescrRow>() {
  return kDescrColumns;
}
template <>
std::span<const ColumnInfo<DescrDRow>> TableColumns<DescrDRow>() {
  return kDescrDColumns;
}

namespace sort_detail {

template <class Row>
int CompareCells(const ColumnInfo<Row>& column, const Row& a, const Row& b, bool key, int mode) {
  if (key) {
    if (mode % 2 == 0) return CompareBytes(CellText(column, a), CellText(column, b));
    return CompareNumbers(CellNumber(column, a), CellNumber(column, b));
  }
  if (IsNumeric(column.kind)) return CompareNumbers(column.number(a), column.number(b));
  return CompareBytes(LowerText(column.text(a)), LowerText(column.text(b)));
}

template int CompareCells(const ColumnInfo<DescrRow>&, const DescrRow&, const DescrRow&, bool, int);
template int CompareCells(const ColumnInfo<DescrDRow>&, const DescrDRow&, const DescrDRow&, bool, int);

}  // namespace sort_detail

}  // namespace vz::app
