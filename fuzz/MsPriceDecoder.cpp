// The price data decoder over arbitrary files. Input: field count byte,
// field mask byte, then the data file.
#include <vector>

#include "fuzz/FuzzTarget.h"
#include "metastock/MsPriceData.h"

VZ_FUZZ_TARGET(MsPriceDecoder) {
  if (size < 2) return 0;
  std::vector<vz::MsBar> bars;
  const int32_t count = vz::MsDecodeBars(std::span<const uint8_t>(data + 2, size - 2), data[0], data[1], bars);
  if (count < 0 || static_cast<size_t>(count) != bars.size()) __builtin_trap();
  return 0;
}
