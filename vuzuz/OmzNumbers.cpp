#include "vuzuz/OmzNumbers.h"

#include <cmath>
#include <limits>

namespace vz::omz {

double RoundHalfAway(double x) { return x >= 0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5); }

uint8_t PriceScaleCode(double size) {
  const double n = std::fabs(RoundHalfAway(std::log10(size)));
  if (n == 0) return 101;
  if (n == 1) return 105;
  // Sizes handed in are checked with TickExponentOf first; the clamp only
  // keeps the conversion defined.
  return static_cast<uint8_t>(107 + std::fmin(n, 148.0));
}

std::optional<double> TickSizeOfScaleCode(uint8_t code) {
  if (code == 101) return 1.0;
  if (code == 105) return 0.1;
  if (code >= 109 && code <= 107 + kFinestTickExponent) return TickSizeOfExponent(code - 107);
  return std::nullopt;
}

std::optional<int> TickExponentOf(double size) {
  if (!std::isfinite(size) || size <= 0) return std::nullopt;
  const double e = RoundHalfAway(std::log10(size));
  // Sizes of 10 and more get the code of their reciprocal: the reader's tick
  // is what counts, so such sizes are taken as that reciprocal's code.
  const double k = std::fabs(e);
  if (k > kFinestTickExponent) return std::nullopt;
  return static_cast<int>(k);
}

double TickSizeOfExponent(int k) {
  double scale = 1;
  for (int i = 0; i < k; ++i) scale *= 10;
  return 1.0 / scale;
}

bool PriceFitsSomeTick(double price) {
  return RoundToInt32(price / TickSizeOfExponent(kCoarsestTickExponent)).has_value();
}

std::optional<int32_t> RoundToInt32(double x) {
  const double r = RoundHalfAway(x);
  if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
    return std::nullopt;
  return static_cast<int32_t>(r);
}

std::optional<int16_t> RoundToInt16(double x) {
  const double r = RoundHalfAway(x);
  if (!(r >= std::numeric_limits<int16_t>::min() && r <= std::numeric_limits<int16_t>::max()))
    return std::nullopt;
  return static_cast<int16_t>(r);
}

std::optional<uint16_t> DayNumber(double dateTime) {
  const double day = std::trunc(dateTime);
  if (!(day >= 0 && day <= 65535)) return std::nullopt;
  return static_cast<uint16_t>(day);
}

}  // namespace vz::omz
