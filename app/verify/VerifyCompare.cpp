#include "app/verify/VerifyCompare.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "app/verify/VerifyArchive.h"
#include "app/run/DayText.h"
#include "vuzuz/Dates.h"

namespace vz::app {

namespace {

constexpr double kMinutesPerDay = 1440.0;
constexpr const char* kPriceNames[4] = {"open", "high", "low", "close"};

void Add(Differences& out, size_t limit, std::string text) {
  if (out.first.size() < limit) out.first.push_back(std::move(text));
  ++out.count;
}

std::string PriceText(double price) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", price);
  return text;
}

// A tick's minute on the UTC-5 clock, as the files store it.
int64_t TickMinute(const omz::Tick& tick) { return std::llround(tick.dateTime * kMinutesPerDay); }

// The time the MetaStock directory gives the bar of a tick minute: back on
// the data clock, and one minute later (the run keeps a bar one minute
// before its stamp).
std::string BarTimeText(int64_t minute) {
  const std::unique_lock<std::mutex> clock = LockClock();
  const double dataTime = MinusFiveToPlusOne(static_cast<double>(minute) / kMinutesPerDay) + 1 / kMinutesPerDay;
  const DateTimeParts p = DecodeDateTime(dataTime);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", p.year, p.month, p.day, p.hour, p.minute);
  return text;
}

// Prices stored at tick sizes: equal when they are the same number of the
// finer tick.
bool SamePrice(double a, double sizeA, double b, double sizeB) {
  return std::fabs(a - b) < 0.5 * std::min(sizeA, sizeB);
}

template <class Row, class NameOf>
std::map<std::string, std::vector<const Row*>> BySymbol(const std::vector<Row>& rows, NameOf nameOf) {
  std::map<std::string, std::vector<const Row*>> out;
  for (const Row& row : rows) out[nameOf(row)].push_back(&row);
  return out;
}

// Walks the symbols of both sides in order; `each` gets a symbol and its
// rows on each side (either may be empty).
template <class Row, class Each>
void ForEachSymbol(const std::map<std::string, std::vector<const Row*>>& archive,
                   const std::map<std::string, std::vector<const Row*>>& source, Each each) {
  static const std::vector<const Row*> kNone;
  auto a = archive.begin();
  auto s = source.begin();
  while (a != archive.end() || s != source.end()) {
    if (s == source.end() || (a != archive.end() && a->first < s->first)) {
      each(a->first, a->second, kNone);
      ++a;
    } else if (a == archive.end() || s->first < a->first) {
      each(s->first, kNone, s->second);
      ++s;
    } else {
      each(a->first, a->second, s->second);
      ++a;
      ++s;
    }
  }
}

// The ticks at one minute of one symbol, on both sides.
void CompareMinute(const std::string& symbol, int64_t minute, const std::vector<const omz::Tick*>& a,
                   const std::vector<const omz::Tick*>& s, Differences& out, size_t limit) {
  const std::string where = "\"" + symbol + "\" " + BarTimeText(minute) + ": ";
  auto bars = [](size_t ticks) {
    return ticks == 4 ? std::string("a bar") : std::to_string(ticks) + " ticks";
  };
  if (a.empty()) return Add(out, limit, where + bars(s.size()) + " missing from the archive");
  if (s.empty()) return Add(out, limit, where + bars(a.size()) + " in the archive that the source does not have");
  if (a.size() != s.size())
    return Add(out, limit,
               where + std::to_string(a.size()) + " ticks in the archive, " + std::to_string(s.size()) +
                   " in the source");
  for (size_t bar = 0; bar * 4 < a.size(); ++bar) {
    const size_t end = std::min(a.size(), bar * 4 + 4);
    int64_t volumeA = 0, volumeS = 0;
    for (size_t k = bar * 4; k < end; ++k) {
      if (!SamePrice(a[k]->price, a[k]->size, s[k]->price, s[k]->size))
        Add(out, limit,
            where + kPriceNames[k % 4] + " " + PriceText(a[k]->price) + " in the archive, " +
                PriceText(s[k]->price) + " in the source");
      volumeA += a[k]->volume;
      volumeS += s[k]->volume;
    }
    if (volumeA != volumeS)
      Add(out, limit,
          where + "volume " + std::to_string(volumeA) + " in the archive, " + std::to_string(volumeS) +
              " in the source");
  }
}

}  // namespace

Differences CompareDailyRows(const std::vector<omz::DailyRow>& archive, const std::vector<omz::DailyRow>& source,
                             size_t limit) {
  Differences out;
  auto nameOf = [](const omz::DailyRow& row) { return row.name; };
  ForEachSymbol<omz::DailyRow>(
      BySymbol(archive, nameOf), BySymbol(source, nameOf),
      [&](const std::string& name, const std::vector<const omz::DailyRow*>& a,
          const std::vector<const omz::DailyRow*>& s) {
        std::map<int64_t, std::pair<const omz::DailyRow*, const omz::DailyRow*>> days;
        for (const omz::DailyRow* row : a) days[DayNumber(row->date)].first = row;
        for (const omz::DailyRow* row : s) days[DayNumber(row->date)].second = row;
        for (const auto& [day, pair] : days) {
          const auto [ra, rs] = pair;
          const std::string where = "\"" + name + "\" " + IsoDayText(static_cast<double>(day)) + ": ";
          if (!ra) {
            Add(out, limit, where + "a bar missing from the archive");
            continue;
          }
          if (!rs) {
            Add(out, limit, where + "a bar in the archive that the source does not have");
            continue;
          }
          const double pa[4] = {ra->open, ra->high, ra->low, ra->close};
          const double ps[4] = {rs->open, rs->high, rs->low, rs->close};
          for (int k = 0; k < 4; ++k)
            if (!SamePrice(pa[k], ra->size, ps[k], rs->size))
              Add(out, limit,
                  where + kPriceNames[k] + " " + PriceText(pa[k]) + " in the archive, " + PriceText(ps[k]) +
                      " in the source");
          if (ra->volume != rs->volume)
            Add(out, limit,
                where + "volume " + std::to_string(ra->volume) + " in the archive, " + std::to_string(rs->volume) +
                    " in the source");
        }
      });
  return out;
}

Differences CompareTicks(const std::vector<omz::Tick>& archive, const std::vector<omz::Tick>& source, size_t limit) {
  Differences out;
  auto nameOf = [](const omz::Tick& tick) { return omz::TickSymbol(tick); };
  ForEachSymbol<omz::Tick>(
      BySymbol(archive, nameOf), BySymbol(source, nameOf),
      [&](const std::string& symbol, const std::vector<const omz::Tick*>& a, const std::vector<const omz::Tick*>& s) {
        // Both sides in time order: walk them a minute at a time.
        size_t i = 0, j = 0;
        std::vector<const omz::Tick*> atA, atS;
        while (i < a.size() || j < s.size()) {
          int64_t minute = INT64_MAX;
          if (i < a.size()) minute = TickMinute(*a[i]);
          if (j < s.size()) minute = std::min(minute, TickMinute(*s[j]));
          atA.clear();
          atS.clear();
          while (i < a.size() && TickMinute(*a[i]) == minute) atA.push_back(a[i++]);
          while (j < s.size() && TickMinute(*s[j]) == minute) atS.push_back(s[j++]);
          CompareMinute(symbol, minute, atA, atS, out, limit);
        }
      });
  return out;
}

}  // namespace vz::app
