#include "app/run/Tables.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace vz::app {

namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ParseBoolean(std::string_view value, bool& out) {
  // Any non-empty leading part of "True" or "False", in any case.
  auto isPrefixOf = [&](std::string_view word) {
    if (value.empty() || value.size() > word.size()) return false;
    for (size_t i = 0; i < value.size(); ++i)
      if (LowerAscii(value[i]) != LowerAscii(word[i])) return false;
    return true;
  };
  if (isPrefixOf("true")) {
    out = true;
    return true;
  }
  if (isPrefixOf("false")) {
    out = false;
    return true;
  }
  return false;
}

bool ParseInteger(std::string_view value, int64_t& out) {
  if (!value.empty() && value.front() == '+') value.remove_prefix(1);
  if (value.empty()) return false;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), out);
  return ec == std::errc() && end == value.data() + value.size();
}

// A decimal number with "," as the decimal separator: [sign] digits [, digits].
bool ParseCommaDecimal(std::string_view value, double& out) {
  if (value.find('.') != std::string_view::npos) return false;
  std::string text(value);
  const size_t comma = text.find(',');
  if (comma != std::string::npos) text[comma] = '.';
  if (text.find_first_not_of("+-0123456789.") != std::string::npos) return false;
  if (text.find('.') != text.rfind('.')) return false;
  std::string_view view = text;
  if (!view.empty() && view.front() == '+') view.remove_prefix(1);
  if (view.empty() || view == "." || view == "-" || view == "-.") return false;
  double number = 0;
  const auto [end, ec] = std::from_chars(view.data(), view.data() + view.size(), number);
  if (ec != std::errc() || end != view.data() + view.size() || !std::isfinite(number)) return false;
  out = number;
  return true;
}

}  // namespace

std::string CutText(std::string_view text, size_t width) {
  return std::string(text.substr(0, width));
}

bool SameColumnName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

bool SetOptionsColumn(OptionsRow& row, std::string_view name, std::string_view value) {
  auto setText = [&](std::optional<std::string>& cell, size_t width) {
    cell = CutText(value, width);
    return true;
  };
  auto setBool = [&](std::optional<bool>& cell) {
    bool b = false;
    if (!ParseBoolean(value, b)) return false;
    cell = b;
    return true;
  };
  if (SameColumnName(name, "Name")) return setText(row.Name, kOptionsNameWidth);
  if (SameColumnName(name, "Symbol")) return setText(row.Symbol, kOptionsSymbolWidth);
  if (SameColumnName(name, "Reserved")) return setText(row.Reserved, kOptionsReservedWidth);
  if (SameColumnName(name, "PeriodStr")) return setText(row.PeriodStr, kOptionsPeriodStrWidth);
  if (SameColumnName(name, "Active")) return setBool(row.Active);
  if (SameColumnName(name, "IsNew")) return setBool(row.IsNew);
  if (SameColumnName(name, "IsExpired")) return setBool(row.IsExpired);
  if (SameColumnName(name, "Period")) {
    int64_t n = 0;
    if (!ParseInteger(value, n)) return false;
    row.Period = n;
    return true;
  }
  if (SameColumnName(name, "LoadDate")) {
    double d = 0;
    if (!ParseCommaDecimal(value, d)) return false;
    row.LoadDate = d;
    return true;
  }
  return false;
}

}  // namespace vz::app
