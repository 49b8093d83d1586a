#pragma once
// Fixed header bytes of the intraday data and index files, written from
// tables that read like their layout: numbers at offsets, and runs of 0xFF.
#include <cstdint>
#include <initializer_list>

#include "bytes/ByteFields.h"

namespace vz::omz {

struct HeaderField {
  uint32_t offset;
  uint8_t width;  // 1, 2 or 4
  uint32_t value;
};

struct HeaderFill {
  uint32_t offset;
  uint32_t length;  // bytes of 0xFF
};

inline void PutHeaderFields(uint8_t* header, std::initializer_list<HeaderField> fields,
                            std::initializer_list<HeaderFill> fills) {
  for (const HeaderField& f : fields) {
    if (f.width == 1) StoreU8(header + f.offset, f.value);
    if (f.width == 2) StoreU16(header + f.offset, f.value);
    if (f.width == 4) StoreU32(header + f.offset, f.value);
  }
  for (const HeaderFill& f : fills)
    for (uint32_t i = 0; i < f.length; ++i) header[f.offset + i] = 0xFF;
}

// Appends 0xFF up to the next multiple of unit (nothing when already there).
inline void PadToMultiple(Bytes& file, size_t unit) {
  const size_t rest = file.size() % unit;
  if (rest != 0) file.resize(file.size() + unit - rest, 0xFF);
}

}  // namespace vz::omz
