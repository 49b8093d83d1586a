#pragma once
// The 12-byte symbol fields of the daily blocks, tick blocks and index keys.
// A symbol of up to 12 characters is stored as it is, zero-padded (12
// characters fill the field with no terminator). A longer symbol does not
// fit; cutting it would let two symbols with the same first 12 characters
// become one security in GlobalServer. Such a symbol is stored as its first
// 7 characters, '~' and 4 characters of a hash of the whole symbol, the
// same on every day and in every file. Writers check with
// TSymbolFieldRegistry that no two symbols of one file share a field.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "vuzuz/OmzError.h"

namespace vz::omz {

constexpr size_t kSymbolFieldWidth = 12;
using SymbolField = std::array<uint8_t, kSymbolFieldWidth>;

SymbolField MakeSymbolField(std::string_view symbol);

// The text of a field: its bytes up to the first zero, at most 12.
std::string SymbolFieldText(const uint8_t* field);

// Remembers which symbol each field stands for within one file.
class TSymbolFieldRegistry {
public:
  // False (kSymbolFieldShared) when another symbol already has this field.
  bool Add(const std::string& symbol, const SymbolField& field, Failure& error);

private:
  std::map<SymbolField, std::string> owners_;
};

}  // namespace vz::omz
