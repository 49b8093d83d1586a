#pragma once
// Price data files F<n>.DAT (n below 256) and F<n>.MWD: records of
// fieldCount 4-byte MBF fields. Record 0 is the header; the price records
// follow, each holding the fields its security's field mask selects, in
// this order: date, time, open, high, low, close, volume, open interest.
#include "metastock/MsField.h"

namespace vz {

// Field mask bits (the low byte of MsSecurity::fieldMask).
constexpr int32_t kMsMaskDate = 0x0F;  // any of these: date, close and volume
constexpr int32_t kMsMaskHigh = 0x08;
constexpr int32_t kMsMaskLow = 0x10;
constexpr int32_t kMsMaskOpen = 0x20;
constexpr int32_t kMsMaskOpenInterest = 0x40;
constexpr int32_t kMsMaskTime = 0x80;

// The masks of 5 to 8 fields that MASTER's field count stands for.
constexpr int32_t kMsMaskDhlcv = kMsMaskDate | kMsMaskHigh | kMsMaskLow;  // 0x1F
constexpr int32_t kMsMaskDohlcv = kMsMaskDhlcv | kMsMaskOpen;
constexpr int32_t kMsMaskDohlcvi = kMsMaskDohlcv | kMsMaskOpenInterest;
constexpr int32_t kMsMaskDtohlcv = kMsMaskDohlcv | kMsMaskTime;
constexpr int32_t kMsMaskDtohlcvi = kMsMaskDohlcvi | kMsMaskTime;         // 0xFF

namespace datafile {

// Header record.
constexpr MsField kRecordCount{2, 2};  // price records + 1 (uint16)

// Every field of a price record is 4 bytes wide.
constexpr size_t kFieldWidth = 4;

}  // namespace datafile
}  // namespace vz
