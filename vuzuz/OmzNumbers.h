#pragma once
// Number encodings shared by the GlobalServer data files: prices as whole
// numbers of ticks, the one-byte price scale code, day numbers and the
// byte swap of the index keys.
#include <cstdint>
#include <optional>

namespace vz::omz {

// x + 0.5 truncated toward zero for x >= 0, x - 0.5 truncated otherwise.
double RoundHalfAway(double x);

// With n = |RoundHalfAway(log10(size))|: 101 for n = 0, 105 for n = 1,
// 107 + n otherwise. The sign of the exponent is dropped, so 100 and 0.01
// share code 109.
uint8_t PriceScaleCode(double size);

// The tick size a reader takes from a scale code: 1, 0.1, then 10^-n for
// 107 + n. Empty for codes no tick size of ours produces.
std::optional<double> TickSizeOfScaleCode(uint8_t code);

// Finest and coarsest tick sizes written, as decimal exponents (10^-k).
constexpr int kFinestTickExponent = 9;
constexpr int kCoarsestTickExponent = 0;

// The exponent k of the tick size 10^-k that the scale code of `size` stands
// for: a reader multiplies by that, so prices are divided by it too. Empty
// for a size that is not a positive finite number or finer than 10^-9.
std::optional<int> TickExponentOf(double size);

// 10^-k as the nearest double, the same value as the literal (0.0001 ...).
double TickSizeOfExponent(int k);

// True when some tick size the writers use (10^-9 to 1) holds the price in
// 32 bits: a finite price within +-2,147,483,647.
bool PriceFitsSomeTick(double price);

// RoundHalfAway(x) when it lies in the range of the type, else empty.
std::optional<int32_t> RoundToInt32(double x);
std::optional<int16_t> RoundToInt16(double x);

// The day number of a date-time (days since 1899-12-30, truncated) when it
// fits the 16-bit day fields, else empty.
std::optional<uint16_t> DayNumber(double dateTime);

inline uint16_t SwapBytes16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }

}  // namespace vz::omz
