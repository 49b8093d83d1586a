#include "app/run/Analysis.h"

#include <algorithm>
#include <cmath>

#include "vuzuz/Dates.h"
#include "app/run/Selection.h"
#include "app/run/Sort.h"

namespace vz::app {

namespace {

constexpr int32_t kOneDay = 86400;
constexpr int kPeriodIntraday = 'I';
constexpr int kPeriodDaily = 'D';

std::string JoinNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    if (!text.empty()) text += ", ";
    text += name.empty() ? "(no name)" : name;
  }
  return text;
}

// The label of a security in a note: symbol, else name, else its index.
std::string Label(const SecurityEntry& r, int q) {
  if (!r.symbol.empty()) return r.symbol;
  if (!r.name.empty()) return r.name;
  return "#" + std::to_string(q);
}

// A security without a symbol is converted under its name (its ticks would
// otherwise look like empty slots); without either it is left out. False
// when it is left out; both cases are noted.
bool SymbolOrName(std::string& symbol, const std::string& name, const SecurityEntry& r, int q, RunNotes& notes) {
  if (!symbol.empty()) return true;
  if (name.empty()) {
    notes.skippedNoName.push_back(Label(r, q));
    return false;
  }
  symbol = name;
  notes.emptySymbol.push_back(name);
  return true;
}

}  // namespace

std::string RunNotes::Text() const {
  std::string text;
  auto add = [&](const std::vector<std::string>& names, const char* what) {
    if (names.empty()) return;
    if (!text.empty()) text += "\n";
    text += what;
    text += JoinNames(names);
  };
  add(invalidPeriod, "Invalid period text, names kept whole: ");
  add(badFirstLast, "Unreadable first or last date, all bars read: ");
  add(emptySymbol, "No symbol, converted under their names: ");
  add(skippedNoName, "Neither symbol nor name, skipped: ");
  add(skippedRecords, "Master file records left out: ");
  for (const std::string& set : skippedSets) {
    if (!text.empty()) text += "\n";
    text += "Not written: " + set;
  }
  add(unreadable, "Data could not be read, left out: ");
  for (const std::string& item : leftOutData) {
    if (!text.empty()) text += "\n";
    text += "Left out, the files cannot hold it: " + item;
  }
  add(reordered, "Bars out of time order, sorted: ");
  add(sharedSymbol, "Same symbol as a converted security, not converted: ");
  add(overBudgetDays, "Bars of a single day beyond the memory budget, converted one day at a time: ");
  return text;
}

void RunNotes::MergeNew(const RunNotes& other) {
  auto merge = [](std::vector<std::string>& into, const std::vector<std::string>& from) {
    for (const std::string& name : from)
      if (std::find(into.begin(), into.end(), name) == into.end()) into.push_back(name);
  };
  merge(invalidPeriod, other.invalidPeriod);
  merge(badFirstLast, other.badFirstLast);
  merge(emptySymbol, other.emptySymbol);
  merge(skippedNoName, other.skippedNoName);
  merge(skippedSets, other.skippedSets);
  merge(skippedRecords, other.skippedRecords);
  merge(unreadable, other.unreadable);
  merge(leftOutData, other.leftOutData);
  merge(reordered, other.reordered);
  merge(sharedSymbol, other.sharedSymbol);
  merge(overBudgetDays, other.overBudgetDays);
}

bool SecurityDateTime(const std::tm& tm, double& value) {
  double day = 0;
  if (!vz::TryEncodeDate(tm.tm_year, tm.tm_mon + 1, tm.tm_mday, day)) return false;
  if (tm.tm_hour < 0 || tm.tm_hour > 23 || tm.tm_min < 0 || tm.tm_min > 59 || tm.tm_sec < 0) return false;
  const int sec = tm.tm_sec > 59 ? 0 : tm.tm_sec;
  value = day + (tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + sec) / 86400.0;
  return true;
}

bool FillSecurityTables(const IMsSource& source, const TRunSettings& settings, const IRunStatus& status,
                        SecurityTables& tables, RunNotes& notes) {
  tables.descr.clear();
  tables.descrD.clear();
  notes.skippedRecords = source.SkippedRecords();
  auto selected = [&](const SecurityEntry& r) {
    return !settings.selected || SelectionPasses(tables.options, r.symbol);
  };
  const int count = source.SecurityCount();
  for (int q = 0; q < count; ++q) {
    if (status.StopRequested()) return true;
    const SecurityEntry r = source.Security(q);
    if (!r.inUse || r.hidden) continue;

    if (r.period == kPeriodIntraday) {
      if (!selected(r)) continue;
      DescrRow row;
      row.No = q;
      row.Name = CutText(r.name, kDescrNameWidth);
      row.Interval = r.interval;
      if (const size_t p = row.Name.find('_'); p != std::string::npos) {
        int32_t s = 0;
        if (vz::TryParsePeriod(row.Name.substr(0, p), s)) {
          row.Interval = s / 60;
          row.Name = row.Name.substr(p + 1);
        } else {
          notes.invalidPeriod.push_back(Label(r, q));
        }
      }
      row.Symbol = CutText(r.symbol, kDescrSymbolWidth);
      if (!SecurityDateTime(r.first, row.DateFrom) || !SecurityDateTime(r.last, row.DateTo)) {
        // Unknown bounds: read the bars and let the range decide.
        notes.badFirstLast.push_back(Label(r, q));
        row.DateFrom = 0;
        row.DateTo = 0;
      }
      if (!SymbolOrName(row.Symbol, row.Name, r, q, notes)) continue;
      tables.descr.push_back(std::move(row));
    } else if (r.period == kPeriodDaily) {
      std::string n = r.name;
      if (const size_t p = n.find('_'); p != std::string::npos) {
        int32_t s = 0;
        if (vz::TryParsePeriod(n.substr(0, p), s)) {
          if (s != kOneDay) continue;
          n = n.substr(p + 1);
        } else {
          notes.invalidPeriod.push_back(Label(r, q));
        }
      }
      if (!selected(r)) continue;
      DescrDRow row;
      row.No = q;
      row.Name = CutText(n, kDescrNameWidth);
      row.Symbol = CutText(r.symbol, kDescrSymbolWidth);
      if (!SymbolOrName(row.Symbol, row.Name, r, q, notes)) continue;
      tables.descrD.push_back(std::move(row));
    }
  }
  SortDataSet(tables.descr, "Symbol", 0, 1);
  SortDataSet(tables.descrD, "Symbol", 0, 1);
  return true;
}

}  // namespace vz::app
