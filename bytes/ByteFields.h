#pragma once
// Little-endian fields of the files this program reads and writes (MetaStock's
// and GlobalServer's alike), with nothing but the standard library below it.
//
// - Load*/Store*: one field at a pointer, byte by byte, so no alignment or
//   host byte order is assumed.
// - TByteView: a record read at fixed offsets (the layout tables' way).
// - TByteCursor: a stream read front to back.
// - TRecordWriter: a fixed-size record written at fixed offsets.
//
// Both readers are for untrusted bytes: a read outside the data yields zero
// and sets a sticky failure flag, so a decoder reads a whole record as the
// layout spells it and checks once at the end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace vz {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

inline ByteView AsBytes(const std::string& s) {
  return ByteView(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline int16_t LoadI16(const uint8_t* p) { return static_cast<int16_t>(LoadU16(p)); }
inline int32_t LoadI32(const uint8_t* p) { return static_cast<int32_t>(LoadU32(p)); }
inline uint16_t LoadU16BigEndian(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline float LoadF32(const uint8_t* p) {
  const uint32_t bits = LoadU32(p);
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

inline void StoreU8(uint8_t* p, uint32_t v) { p[0] = static_cast<uint8_t>(v); }
inline void StoreU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreI32(uint8_t* p, int32_t v) { StoreU32(p, static_cast<uint32_t>(v)); }
inline void StoreF32(uint8_t* p, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  StoreU32(p, bits);
}

// A record read at fixed offsets.
class TByteView {
public:
  TByteView() = default;
  TByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit TByteView(ByteView bytes) : data_(bytes.data()), size_(bytes.size()) {}

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
  float F32(size_t offset) const { return Check(offset, 4) ? LoadF32(data_ + offset) : 0.0f; }
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

// A stream read front to back.
class TByteCursor {
public:
  explicit TByteCursor(ByteView data) : data_(data) {}

  size_t Pos() const { return pos_; }
  size_t Size() const { return data_.size(); }
  size_t Remaining() const { return failed_ ? 0 : data_.size() - pos_; }
  bool Failed() const { return failed_; }

  bool Seek(size_t pos) {
    if (failed_ || pos > data_.size()) return Fail();
    pos_ = pos;
    return true;
  }
  // A pointer to the next n bytes, or nullptr when fewer remain.
  const uint8_t* Take(size_t n) {
    if (failed_ || n > data_.size() - pos_) {
      Fail();
      return nullptr;
    }
    const uint8_t* p = data_.data() + pos_;
    pos_ += n;
    return p;
  }
  uint16_t U16() {
    const uint8_t* p = Take(2);
    return p ? LoadU16(p) : 0;
  }
  uint32_t U32() {
    const uint8_t* p = Take(4);
    return p ? LoadU32(p) : 0;
  }

private:
  bool Fail() {
    failed_ = true;
    return false;
  }
  ByteView data_;
  size_t pos_ = 0;
  bool failed_ = false;
};

// A fixed-size record being written at fixed offsets. Writers only use layout
// constants, so a store that would pass the record's end is dropped rather
// than checked at run time.
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
    if (offset + 4 <= size_) StoreF32(data_ + offset, v);
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
