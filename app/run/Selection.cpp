#include "app/run/Selection.h"

#include <fstream>

#include "app/run/TextFields.h"
#include "platform/FileSystem.h"

namespace vz::app {

namespace {

// Lines longer than this are read as several lines.
constexpr size_t kMaxLineLength = 64999;

// Blanks are every control character and the space, as a trim removes them.
bool IsBlankChar(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlankChar(text[begin])) ++begin;
  while (end > begin && IsBlankChar(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

class TLineReader {
public:
  explicit TLineReader(std::ifstream& in) : in_(in) {}

  // The next line without its line break ("\n" or "\r\n"), at most
  // kMaxLineLength characters; false at the end of the file.
  bool Next(std::string& line) {
    line.clear();
    int c = in_.get();
    if (c == std::char_traits<char>::eof()) return false;
    while (c != std::char_traits<char>::eof()) {
      if (c == '\n') break;
      line.push_back(static_cast<char>(c));
      if (line.size() == kMaxLineLength) break;
      c = in_.get();
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }

  bool AtEnd() { return in_.peek() == std::char_traits<char>::eof(); }

private:
  std::ifstream& in_;
};

bool RowHasAnyColumn(const OptionsRow& row) {
  return row.Name || row.Period || row.Active || row.Symbol || row.LoadDate || row.Reserved ||
         row.PeriodStr || row.IsNew || row.IsExpired;
}

}  // namespace

void LoadSelectionFile(const std::string& path, char separator, OptionsTable& table, std::string& header) {
  table.clear();
  std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
  if (!in) return;
  TLineReader reader(in);
  std::string line;
  if (!reader.Next(line)) {
    header.clear();
    return;
  }
  header = Trim(line);
  while (!reader.AtEnd()) {
    OptionsRow row;
    int k = 0;
    while (k < kOptionsColumnCount && reader.Next(line)) {
      if (Trim(line).empty()) {
        if (k > 0) break;
        continue;
      }
      if (CountTextFields(line, separator) >= 2) {
        const std::string value = Trim(ExtractTextField(line, 2, separator));
        if (!value.empty()) SetOptionsColumn(row, Trim(ExtractTextField(line, 1, separator)), value);
      }
      ++k;
    }
    if (RowHasAnyColumn(row)) table.push_back(std::move(row));
  }
}

bool SelectionPasses(const OptionsTable& table, const std::string& symbol) {
  for (const OptionsRow& row : table)
    if (row.Symbol && *row.Symbol == symbol) return row.Active.value_or(false);
  return false;
}

}  // namespace vz::app
