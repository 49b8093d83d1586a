#include "vuzuz/OmzSymbol.h"

#include <algorithm>
#include <cstring>

namespace vz::omz {

namespace {
constexpr size_t kKeptPrefix = 7;
constexpr char kHashDigits[] = "0123456789ABCDEFGHJKLMNPQRSTVWXZ";  // 32 symbols

uint32_t Fnv1a(std::string_view text) {
  uint32_t h = 2166136261u;
  for (unsigned char c : text) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}
}  // namespace

SymbolField MakeSymbolField(std::string_view symbol) {
  SymbolField field{};
  if (symbol.size() <= kSymbolFieldWidth) {
    std::copy(symbol.begin(), symbol.end(), field.begin());
    return field;
  }
  std::copy_n(symbol.begin(), kKeptPrefix, field.begin());
  field[kKeptPrefix] = '~';
  uint32_t h = Fnv1a(symbol);
  for (size_t i = kKeptPrefix + 1; i < kSymbolFieldWidth; ++i) {
    field[i] = static_cast<uint8_t>(kHashDigits[h % 32]);
    h /= 32;
  }
  return field;
}

std::string SymbolFieldText(const uint8_t* field) {
  const uint8_t* end = std::find(field, field + kSymbolFieldWidth, 0);
  return std::string(field, end);
}

bool TSymbolFieldRegistry::Add(const std::string& symbol, const SymbolField& field, Failure& error) {
  const auto [it, inserted] = owners_.emplace(field, symbol);
  if (inserted || it->second == symbol) return true;
  return Reject(error, Error::kSymbolFieldShared,
                "symbols \"" + it->second + "\" and \"" + symbol + "\" would share the stored symbol \"" +
                    SymbolFieldText(field.data()) + "\"");
}

}  // namespace vz::omz
