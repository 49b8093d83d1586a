#pragma once
// Deterministic payloads for the codec's tests and benchmark: the kinds of
// files the archives carry (daily records, intraday tick blocks, B-tree index
// nodes, laid out like the real files, with realistic price walks) and
// generic text and binary. Same seed, same bytes, on every platform.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vz::test {

// splitmix64: tiny, fully specified, so payloads never change with the
// standard library.
class TPayloadRandom {
public:
  explicit TPayloadRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform-enough integer in [0, n).
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  // Small signed step in [-span, span].
  int32_t Step(int32_t span) { return static_cast<int32_t>(Below(2 * span + 1)) - span; }

private:
  uint64_t state_;
};

inline void PutLe(std::string& out, size_t at, uint64_t value, int width) {
  for (int b = 0; b < width; ++b) out[at + b] = static_cast<char>((value >> (8 * b)) & 0xFF);
}

inline void PutBe16(std::string& out, size_t at, uint16_t value) {
  out[at] = static_cast<char>(value >> 8);
  out[at + 1] = static_cast<char>(value & 0xFF);
}

inline std::string SymbolName(uint32_t index) {
  static const char* const kStems[] = {"ADS", "BAYN", "BMW", "DAI", "DBK", "EOAN", "FME", "HEN3", "IFX", "LIN",
                                       "MRK", "MUV2", "RWE", "SAP", "SIE", "VOW3", "FDAX", "FGBL", "ODAX", "OESX"};
  std::string name = kStems[index % 20];
  if (index >= 20) name += std::to_string(index / 20);
  return name;
}

inline std::string RandomBytes(uint64_t seed, size_t size) {
  TPayloadRandom rng(seed);
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>(rng.Next() & 0xFF);
  return out;
}

// English-like prose: words from a skewed vocabulary, punctuation, lines.
inline std::string TextPayload(uint64_t seed, size_t size) {
  static const char* const kWords[] = {
      "the",     "of",     "and",    "to",      "in",       "a",       "is",     "that",   "for",    "price",
      "market",  "close",  "open",   "volume",  "security", "archive", "daily",  "minute", "trade",  "with",
      "as",      "on",     "be",     "at",      "by",       "this",    "from",   "index",  "future", "option",
      "exchange", "server", "import", "session", "quote",   "record",  "period", "value",  "data",   "file"};
  TPayloadRandom rng(seed);
  std::string out;
  size_t lineLength = 0;
  while (out.size() < size) {
    // Squaring the draw favours the first words, as in real text.
    const uint32_t r = rng.Below(40);
    std::string word = kWords[(r * r) / 40];
    if (rng.Below(12) == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    out += word;
    lineLength += word.size();
    const uint32_t p = rng.Below(20);
    if (p == 0) out += '.';
    if (p == 1) out += ',';
    if (lineLength > 60) {
      out += "\r\n";
      lineLength = 0;
    } else {
      out += ' ';
      ++lineLength;
    }
  }
  out.resize(size);
  return out;
}

// Generic binary: a header, little-endian tables of slowly varying values,
// short repeated code-like sequences and some noise.
inline std::string BinaryPayload(uint64_t seed, size_t size) {
  TPayloadRandom rng(seed);
  std::string out;
  int32_t sample = 0;
  while (out.size() < size) {
    switch (rng.Below(4)) {
      case 0:  // table of 16-bit samples
        for (int k = 0; k < 256; ++k) {
          sample += rng.Step(300);
          out += static_cast<char>(sample & 0xFF);
          out += static_cast<char>((sample >> 8) & 0xFF);
        }
        break;
      case 1:  // code-like bytes from a small alphabet
        for (int k = 0; k < 400; ++k) {
          static const uint8_t kOps[] = {0x48, 0x89, 0x8B, 0xE8, 0xC3, 0x0F, 0x85, 0x74, 0x83, 0xC4, 0x00, 0xFF};
          out += static_cast<char>(kOps[rng.Below(12)]);
        }
        break;
      case 2:  // table of 32-bit offsets
        for (uint32_t k = 0, v = rng.Below(1 << 20); k < 64; ++k, v += 4 + rng.Below(64)) {
          std::string word(4, '\0');
          PutLe(word, 0, v, 4);
          out += word;
        }
        break;
      default:
        out += RandomBytes(rng.Next(), 200);
        break;
    }
  }
  out.resize(size);
  return out;
}

// A daily data file: per security a 32-byte block header and 26-byte records
// of day number, open, high, low, close (prices in 1/100), volume.
inline std::string DailyPayload(uint64_t seed, uint32_t securities, uint32_t days) {
  TPayloadRandom rng(seed);
  std::string out;
  for (uint32_t s = 0; s < securities; ++s) {
    std::string header(32, '\0');
    PutLe(header, 0, 1, 2);
    header[2] = static_cast<char>(0xDE);
    const std::string name = SymbolName(s);
    std::memcpy(&header[3], name.data(), std::min<size_t>(name.size(), 12));
    header[15] = 2;
    PutLe(header, 16, days, 4);
    out += header;
    int32_t close = 1000 + static_cast<int32_t>(rng.Below(200000));
    uint32_t day = 44000 + rng.Below(30);
    for (uint32_t d = 0; d < days; ++d) {
      day += (day % 7 == 5) ? 3 : 1;  // skip weekends
      std::string record(26, '\0');
      const int32_t open = close + rng.Step(close / 100 + 1);
      close = std::max<int32_t>(1, open + rng.Step(close / 50 + 1));
      const int32_t high = std::max(open, close) + static_cast<int32_t>(rng.Below(close / 80 + 1));
      const int32_t low = std::max<int32_t>(1, std::min(open, close) - static_cast<int32_t>(rng.Below(close / 80 + 1)));
      PutLe(record, 0, day, 2);
      PutLe(record, 2, static_cast<uint32_t>(open), 4);
      PutLe(record, 6, static_cast<uint32_t>(high), 4);
      PutLe(record, 10, static_cast<uint32_t>(low), 4);
      PutLe(record, 14, static_cast<uint32_t>(close), 4);
      PutLe(record, 18, 100 * (1 + rng.Below(50000)), 4);
      out += record;
    }
  }
  return out;
}

// An intraday data file: a 3072-byte header (0xFF runs as in the real one)
// and 512-byte blocks of 60 ticks: price difference to the day's first price,
// volume, minute of the day.
inline std::string IntradayPayload(uint64_t seed, uint32_t securities, uint32_t ticksEach) {
  TPayloadRandom rng(seed);
  std::string out(3072, '\0');
  std::memset(&out[0x80], 0xFF, 384);
  std::memset(&out[0x220], 0xFF, 480);
  PutLe(out, 0x0C, 512, 4);
  PutLe(out, 0x2C, 0x10000200, 4);
  for (uint32_t s = 0; s < securities; ++s) {
    const std::string name = SymbolName(s);
    const uint32_t blocks = (ticksEach + 59) / 60;
    const int32_t base = 10000 + static_cast<int32_t>(rng.Below(2000000));
    int32_t diff = 0;
    uint32_t minute = 9 * 60;
    for (uint32_t b = 0; b < blocks; ++b) {
      std::string block(512, '\0');
      const uint32_t count = std::min<uint32_t>(60, ticksEach - 60 * b);
      std::memcpy(&block[0], name.data(), std::min<size_t>(name.size(), 12));
      block[12] = 1;
      block[13] = static_cast<char>(0xDE);
      PutLe(block, 14, 45000, 2);
      PutLe(block, 16, b, 2);
      block[18] = static_cast<char>(count);
      block[19] = 4;
      PutLe(block, 20, 60 * b + count, 2);
      PutLe(block, 22, static_cast<uint32_t>(base), 4);
      for (uint32_t t = 0; t < count; ++t) {
        diff += rng.Step(6);
        minute += rng.Below(3);
        PutLe(block, 32 + 8 * t, static_cast<uint16_t>(diff), 2);
        PutLe(block, 34 + 8 * t, rng.Below(8) == 0 ? 100 * rng.Below(100) : rng.Below(20), 4);
        PutLe(block, 38 + 8 * t, minute, 2);
      }
      PutLe(block, 30, static_cast<uint16_t>(diff), 2);
      out += block;
    }
  }
  return out;
}

// An index file: a 2048-byte header, 1024-byte nodes of 21-byte entries
// (block offset, 12-byte symbol, 0xDE, big-endian day and block number) and
// 0xFF padding to a multiple of 4096.
inline std::string IndexPayload(uint64_t seed, uint32_t entries) {
  TPayloadRandom rng(seed);
  std::string out(2048, '\0');
  std::memset(&out[0x80], 0xFF, 896);
  std::memset(&out[0x420], 0xFF, 992);
  PutLe(out, 0x0C, 1024, 4);
  constexpr uint32_t kPerNode = 46;
  uint32_t symbol = 0;
  uint32_t block = 0;
  for (uint32_t first = 0; first < entries; first += kPerNode) {
    std::string node(1024, '\0');
    const size_t nodeOffset = out.size();
    PutLe(node, 0, first + kPerNode < entries ? nodeOffset + 1024 : 0, 4);
    PutLe(node, 4, first == 0 ? 0 : nodeOffset - 1024, 4);
    const uint32_t count = std::min(kPerNode, entries - first);
    PutLe(node, 8, count, 2);
    for (uint32_t e = 0; e < count; ++e) {
      const size_t at = 12 + 21 * e;
      PutLe(node, at, 3072 + 512 * (first + e), 4);
      const std::string name = SymbolName(symbol);
      std::memcpy(&node[at + 4], name.data(), std::min<size_t>(name.size(), 12));
      node[at + 16] = static_cast<char>(0xDE);
      PutBe16(node, at + 17, 45000);
      PutBe16(node, at + 19, static_cast<uint16_t>(block));
      if (++block > 2 + rng.Below(8)) {
        block = 0;
        ++symbol;
      }
    }
    out += node;
  }
  out.resize((out.size() + 4095) / 4096 * 4096, '\xFF');
  return out;
}

struct NamedPayload {
  std::string name;
  std::string bytes;
};

}  // namespace vz::test
