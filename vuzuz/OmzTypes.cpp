#include "vuzuz/OmzTypes.h"

#include <algorithm>
#include <cstring>

namespace vz::omz {

std::string TickSymbol(const Tick& tick) {
  const char* end = std::find(tick.symbol, tick.symbol + sizeof(tick.symbol), '\0');
  return std::string(tick.symbol, end);
}

void SetTickSymbol(Tick& tick, const std::string& symbol) {
  std::memset(tick.symbol, 0, sizeof(tick.symbol));
  std::memcpy(tick.symbol, symbol.data(), std::min(symbol.size(), sizeof(tick.symbol) - 1));
}

}  // namespace vz::omz
