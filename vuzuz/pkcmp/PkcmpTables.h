#pragma once
// The fixed code tables of the implode format, shared by implode and explode.
//
// Format notes (public description of the PKWARE DCL format):
// - A stream starts with two bytes: the literal mode (0 binary: literals are
//   stored as 8 raw bits; 1 ASCII: literals use the literal code below) and
//   the dictionary size as a number of low distance bits (4, 5 or 6 for 1024,
//   2048 or 4096 bytes).
// - Then a bit stream read from the least significant bit of each byte up.
//   Each token starts with one flag bit: 0 literal, 1 copy.
// - A copy is a length code, its extra bits (the number added to the code's
//   base), then a distance code giving the high bits of distance - 1 followed
//   by its low bits as raw bits: 2 low bits when the length is 2, else as many
//   as the dictionary size says.
// - Lengths run from 2 to 518; length 519 marks the end of the stream.
// - The codes are prefix codes given by their code lengths only, assigned
//   canonically (shorter codes first, by symbol within one length); their bits
//   go into the stream first bit first and inverted.
#include <array>
#include <cstddef>
#include <cstdint>

namespace vz::pkcmp::detail {

constexpr unsigned kMinMatch = 2;
constexpr unsigned kMaxMatch = 518;
constexpr unsigned kEndLength = 519;
// Largest distance of a length-2 copy: its distance has only 2 low bits.
constexpr unsigned kMaxDistLen2 = 256;
constexpr unsigned kMaxCodeBits = 13;

// Code lengths in packed form: each byte is one run of symbols, the low
// nibble the code length and the high nibble the run length minus one.
inline constexpr uint8_t kLiteralLengthsPacked[] = {
    11,  124, 8,   7,   28,  7,   188, 13,  76,  4,  10, 8,  12, 10, 12, 10, 8,  23, 8,  9,
    7,   6,   7,   8,   7,   6,   55,  8,   23,  24, 12, 11, 7,  9,  11, 12, 6,  7,  22, 5,
    7,   24,  6,   11,  9,   6,   7,   22,  7,   11, 38, 7,  9,  8,  25, 11, 8,  11, 9,  12,
    8,   12,  5,   38,  5,   38,  5,   11,  7,   5,  6,  21, 6,  10, 53, 8,  7,  24, 10, 27,
    44,  253, 253, 253, 252, 252, 252, 13,  12,  45, 12, 45, 12, 61, 12, 45, 44, 173};
inline constexpr uint8_t kLengthLengthsPacked[] = {2, 35, 36, 53, 38, 23};
inline constexpr uint8_t kDistanceLengthsPacked[] = {2, 20, 53, 230, 247, 151, 248};

// Base length and extra-bit count of each of the 16 length symbols.
inline constexpr uint16_t kLengthBase[16] = {3, 2, 4, 5, 6, 7, 8, 9, 10, 12, 16, 24, 40, 72, 136, 264};
inline constexpr uint8_t kLengthExtra[16] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};

// One prefix code: per symbol its length and its bits as they go into the
// stream (first bit in bit 0).
template <size_t N>
struct PrefixCode {
  std::array<uint8_t, N> length{};
  std::array<uint16_t, N> bits{};
};

template <size_t N, size_t P>
constexpr PrefixCode<N> BuildCode(const uint8_t (&packed)[P]) {
  PrefixCode<N> code;
  size_t symbol = 0;
  for (size_t i = 0; i < P; ++i) {
    const unsigned run = (packed[i] >> 4) + 1;
    for (unsigned k = 0; k < run; ++k) code.length[symbol++] = packed[i] & 15;
  }
  if (symbol != N) throw "packed code table does not cover every symbol";
  // Canonical assignment, then each code reversed (first bit lowest) and
  // inverted, which is how the format stores them.
  unsigned next = 0;
  for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
    for (size_t s = 0; s < N; ++s) {
      if (code.length[s] != len) continue;
      unsigned stored = 0;
      for (unsigned b = 0; b < len; ++b) stored |= (((next >> (len - 1 - b)) & 1) ^ 1) << b;
      code.bits[s] = static_cast<uint16_t>(stored);
      ++next;
    }
    next <<= 1;
  }
  // A complete code uses every bit pattern exactly once.
  if (next != (1u << (kMaxCodeBits + 1))) throw "code table is not a complete prefix code";
  return code;
}

inline constexpr PrefixCode<256> kLiteralCode = BuildCode<256>(kLiteralLengthsPacked);
inline constexpr PrefixCode<16> kLengthCode = BuildCode<16>(kLengthLengthsPacked);
inline constexpr PrefixCode<64> kDistanceCode = BuildCode<64>(kDistanceLengthsPacked);

// Decoding table over the next `Bits` stream bits: entry = symbol | length << 8.
template <unsigned Bits, size_t N>
constexpr std::array<uint16_t, (1u << Bits)> BuildDecodeTable(const PrefixCode<N>& code) {
  std::array<uint16_t, (1u << Bits)> table{};
  for (size_t s = 0; s < N; ++s) {
    const unsigned len = code.length[s];
    for (unsigned fill = 0; fill < (1u << (Bits - len)); ++fill)
      table[code.bits[s] | (fill << len)] = static_cast<uint16_t>(s | (len << 8));
  }
  return table;
}

constexpr unsigned kLiteralPeekBits = 13;
constexpr unsigned kLengthPeekBits = 7;
constexpr unsigned kDistancePeekBits = 8;
inline constexpr auto kLiteralDecode = BuildDecodeTable<kLiteralPeekBits>(kLiteralCode);
inline constexpr auto kLengthDecode = BuildDecodeTable<kLengthPeekBits>(kLengthCode);
inline constexpr auto kDistanceDecode = BuildDecodeTable<kDistancePeekBits>(kDistanceCode);

// Length symbol of every copy length 2..519.
constexpr unsigned LengthSymbol(unsigned length) {
  // The symbols' ranges [base, base + 2^extra) do not overlap.
  for (unsigned s = 0; s < 16; ++s)
    if (kLengthBase[s] <= length && length - kLengthBase[s] < (1u << kLengthExtra[s])) return s;
  throw "length outside 2..519";
}

// Stream bits of the flag bit, length code and extra bits of each length
// 0..519 (entries below 2 unused), and their count.
struct LengthToken {
  uint32_t bits;
  uint8_t count;
};

constexpr std::array<LengthToken, kEndLength + 1> BuildLengthTokens() {
  std::array<LengthToken, kEndLength + 1> tokens{};
  for (unsigned length = kMinMatch; length <= kEndLength; ++length) {
    const unsigned s = LengthSymbol(length);
    const unsigned codeLen = kLengthCode.length[s];
    tokens[length].bits = 1u | (uint32_t{kLengthCode.bits[s]} << 1) |
                          (uint32_t{length - kLengthBase[s]} << (1 + codeLen));
    tokens[length].count = static_cast<uint8_t>(1 + codeLen + kLengthExtra[s]);
  }
  return tokens;
}

inline constexpr auto kLengthTokens = BuildLengthTokens();

}  // namespace vz::pkcmp::detail
