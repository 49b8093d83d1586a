#pragma once
// The inputs of the GlobalServer file writers: rows of a daily bar table and
// intraday tick records.
#include <cstdint>
#include <string>

namespace vz::omz {

// One row of a daily bar table. `name` is the whole symbol (not cut to 12
// characters: the writer chooses the field so that symbols stay apart).
struct DailyRow {
  std::string name;
  double date = 0;  // date-time; its day is stored
  double open = 0;
  double high = 0;
  double low = 0;
  double close = 0;
  int32_t volume = 0;
  double size = 0.0001;  // tick size
};

// One intraday tick, 48 bytes as gathered per day by the export.
struct Tick {
  char symbol[16] = {};  // zero-terminated, at most 15 characters
  double dateTime = 0;   // on the UTC-5 clock
  double price = 0;
  int32_t volume = 0;
  int32_t unused = 0;
  double size = 0.0001;  // tick size
};
static_assert(sizeof(Tick) == 48, "a tick record is 48 bytes");

// The symbol of a tick as text (up to the first zero, at most 16 bytes).
std::string TickSymbol(const Tick& tick);
// Sets the symbol, cut to 15 characters.
void SetTickSymbol(Tick& tick, const std::string& symbol);

}  // namespace vz::omz
