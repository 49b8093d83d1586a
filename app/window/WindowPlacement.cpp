#include "app/window/WindowPlacement.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "app/run/PathText.h"

namespace vz::app {

namespace {

const std::string* FindValue(const platform::StoredValues& values, const char* name) {
  const std::string wanted = LowerAscii(name);
  for (const auto& entry : values) {
    if (LowerAscii(entry.first) == wanted) return &entry.second;
  }
  return nullptr;
}

// Comma-separated decimal integers (optional minus), exactly `count` of
// them, each within int range.
bool ReadNumbers(const std::string& text, size_t count, std::vector<int>& numbers) {
  numbers.clear();
  size_t pos = 0;
  while (numbers.size() < count) {
    bool negative = false;
    if (pos < text.size() && text[pos] == '-') {
      negative = true;
      ++pos;
    }
    int64_t value = 0;
    size_t digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      value = value * 10 + (text[pos] - '0');
      if (value > std::numeric_limits<int>::max()) return false;
      ++pos;
      ++digits;
    }
    if (digits == 0) return false;
    numbers.push_back(static_cast<int>(negative ? -value : value));
    if (numbers.size() < count) {
      if (pos >= text.size() || text[pos] != ',') return false;
      ++pos;
    }
  }
  return pos == text.size();
}

std::string Join(std::initializer_list<int> numbers) {
  std::string text;
  for (const int n : numbers) {
    if (!text.empty()) text += ',';
    text += std::to_string(n);
  }
  return text;
}

}  // namespace

void AppendPlacementValues(const WindowPlacement& p, platform::StoredValues& values) {
  values.emplace_back("Flags", std::to_string(p.flags));
  values.emplace_back("ShowCmd", std::to_string(p.showCmd));
  values.emplace_back("PixelsPerInch", std::to_string(p.pixelsPerInch));
  values.emplace_back("MinMaxPos", Join({p.minX, p.minY, p.maxX, p.maxY}));
  values.emplace_back("NormPos", Join({p.left, p.top, p.right, p.bottom}));
}

bool ReadPlacementValues(const platform::StoredValues& values, WindowPlacement& placement) {
  const char* names[] = {"Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos", "NormPos"};
  const size_t counts[] = {1, 1, 1, 4, 4};
  std::vector<int> read[5];
  for (size_t i = 0; i < 5; ++i) {
    const std::string* text = FindValue(values, names[i]);
    if (!text || !ReadNumbers(*text, counts[i], read[i])) return false;
  }
  WindowPlacement p;
  p.flags = read[0][0];
  p.showCmd = read[1][0];
  p.pixelsPerInch = read[2][0];
  p.minX = read[3][0], p.minY = read[3][1], p.maxX = read[3][2], p.maxY = read[3][3];
  p.left = read[4][0], p.top = read[4][1], p.right = read[4][2], p.bottom = read[4][3];
  if (p.pixelsPerInch <= 0 || p.right <= p.left || p.bottom <= p.top) return false;
  placement = p;
  return true;
}

}  // namespace vz::app
