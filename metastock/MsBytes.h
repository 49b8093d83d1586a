#pragma once
// Little-endian fields of MetaStock files: loads and stores through memcpy,
// and a bounds-checked view that reads records at fixed offsets. A read
// outside the view yields zero and sets a sticky flag, so decoders read like
// the layout tables and check once at the end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace vz {

inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

using TBytes = std::vector<uint8_t>;

class TByteView {
public:
  TByteView() = default;
  TByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit TByteView(std::span<const uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}

  size_t Size() const { return size_; }
  const uint8_t* Data() const { return data_; }
  bool Failed() const { return failed_; }
  bool Has(size_t offset, size_t width) const { return offset <= size_ && width <= size_ - offset; }

  // Sub-view of a fixed-size record; an empty, failed view when it does not fit.
  TByteView Record(size_t offset, size_t width) const {
    if (!Has(offset, width)) {
      TByteView none;
      none.failed_ = true;
      return none;
    }
    return TByteView(data_ + offset, width);
  }

  uint8_t U8(size_t offset) const { return Check(offset, 1) ? data_[offset] : 0; }
  uint16_t U16(size_t offset) const { return Check(offset, 2) ? LoadU16(data_ + offset) : 0; }
  uint32_t U32(size_t offset) const { return Check(offset, 4) ? LoadU32(data_ + offset) : 0; }
  int32_t I32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }
  float F32(size_t offset) const {
    const uint32_t bits = U32(offset);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
  }
  // Text of at most `width` bytes, ending at the first zero byte.
  std::string Text(size_t offset, size_t width) const {
    if (!Check(offset, width)) return {};
    const auto* begin = reinterpret_cast<const char*>(data_ + offset);
    const void* zero = std::memchr(begin, 0, width);
    return std::string(begin, zero ? static_cast<const char*>(zero) - begin : width);
  }

private:
  bool Check(size_t offset, size_t width) const {
    if (Has(offset, width)) return true;
    failed_ = true;
    return false;
  }
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  mutable bool failed_ = false;
};

// Fixed-size record being written: stores at fixed offsets, bounds-checked
// by assertion-free clamping (writers only use layout constants).
class TRecordWriter {
public:
  TRecordWriter(uint8_t* data, size_t size) : data_(data), size_(size) {}
  void U8(size_t offset, uint8_t v) {
    if (offset < size_) data_[offset] = v;
  }
  void U16(size_t offset, uint16_t v) {
    if (offset + 2 <= size_) StoreU16(data_ + offset, v);
  }
  void U32(size_t offset, uint32_t v) {
    if (offset + 4 <= size_) StoreU32(data_ + offset, v);
  }
  void I32(size_t offset, int32_t v) { U32(offset, static_cast<uint32_t>(v)); }
  void F32(size_t offset, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    U32(offset, bits);
  }
  void Fill(size_t offset, size_t width, uint8_t v) {
    if (offset + width <= size_) std::memset(data_ + offset, v, width);
  }
  // Copies text over the field, stopping at its end or at the field's width;
  // the rest of the field keeps its bytes.
  void Text(size_t offset, size_t width, const char* text) {
    for (size_t i = 0; i < width && text[i] != '\0' && offset + i < size_; ++i)
      data_[offset + i] = static_cast<uint8_t>(text[i]);
  }

private:
  uint8_t* data_;
  size_t size_;
};

}  // namespace vz
