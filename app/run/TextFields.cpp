#include "app/run/TextFields.h"

namespace vz::app {

namespace {

// Calls visit(begin, end) for each non-empty field until it returns false.
template <class Visit>
void ForEachField(const std::string& text, char separator, Visit visit) {
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == separator) ++pos;
    if (pos == text.size()) return;
    size_t end = pos;
    while (end < text.size() && text[end] != separator) ++end;
    if (!visit(pos, end)) return;
    pos = end;
  }
}

}  // namespace

int CountTextFields(const std::string& text, char separator) {
  int count = 0;
  ForEachField(text, separator, [&](size_t, size_t) {
    ++count;
    return true;
  });
  return count;
}

std::string ExtractTextField(const std::string& text, int n, char separator) {
  std::string field;
  int index = 0;
  ForEachField(text, separator, [&](size_t begin, size_t end) {
    if (++index != n) return true;
    field = text.substr(begin, end - begin);
    return false;
  });
  return field;
}

}  // namespace vz::app
