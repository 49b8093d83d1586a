// The price data decoder over arbitrary files. Input: field count byte,
// field mask byte, then the data file.
#include <vector>

#include "fuzz/FuzzTarget.h"
#include "metastock/MsPriceData.h"

VZ_FUZZ_TARGET(MsPriceDecoder) {
  if (size < 2) return 0;
  const std::span<const uint8_t> file(data + 2, size - 2);
  std::vector<vz::MsBar> bars;
  const int32_t count = vz::MsDecodeBars(file, data[0], data[1], bars);
  if (count < 0 || static_cast<size_t>(count) != bars.size()) __builtin_trap();
  // The 32-bit bars the conversion reads: the same records, the same values.
  std::vector<vz::MsPriceBar> narrow;
  if (vz::MsDecodeBars(file, data[0], data[1], narrow) != count || narrow.size() != bars.size()) __builtin_trap();
  for (size_t i = 0; i < narrow.size(); ++i) {
    const vz::MsBar wide = vz::MsWideBar(narrow[i]);
    if (wide.time != bars[i].time || !(wide.close == bars[i].close) || !(wide.volume == bars[i].volume))
      __builtin_trap();
  }
  return 0;
}
