#pragma once
// Little-endian byte access for the GlobalServer files and the archive, and a
// bounds-checked cursor for reading untrusted bytes. All integers are decoded
// byte by byte, so no alignment or host byte order is assumed.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vz::omz {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

inline void PutU8(uint8_t* p, uint32_t v) { p[0] = static_cast<uint8_t>(v); }
inline void PutU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutI32(uint8_t* p, int32_t v) { PutU32(p, static_cast<uint32_t>(v)); }

inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int16_t GetI16(const uint8_t* p) { return static_cast<int16_t>(GetU16(p)); }
inline int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetU32(p)); }
inline uint16_t GetU16BigEndian(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

inline ByteView AsBytes(const std::string& s) {
  return ByteView(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// Reads fixed-size pieces from a byte span. A read past the end yields
// nothing, returns zero and makes Failed() true for good (sticky), so a
// decoder can read a whole record and check once.
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
    return p ? GetU16(p) : 0;
  }
  uint32_t U32() {
    const uint8_t* p = Take(4);
    return p ? GetU32(p) : 0;
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

}  // namespace vz::omz
