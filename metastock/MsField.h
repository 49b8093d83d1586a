#pragma once
// One field of a MetaStock file's fixed record layout: where it starts and
// how many bytes it takes. Each layout is a set of these constants in a
// header of its own (MsMasterLayout.h, MsSecurityFileLayout.h, ...), used
// by the decoder, the encoder and the list of fields the program owns alike.
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "bytes/ByteFields.h"

namespace vz {

struct MsField {
  size_t offset;
  size_t width;

  // The little-endian number of the field's width (1, 2 or 4 bytes); 0,
  // with the view's failure flag set, when the field lies beyond the bytes.
  uint32_t Get(const TByteView& record) const {
    assert(width == 1 || width == 2 || width == 4);
    return width == 1 ? record.U8(offset) : width == 2 ? record.U16(offset) : record.U32(offset);
  }
  int32_t GetI32(const TByteView& record) const { return static_cast<int32_t>(Get(record)); }
  float GetFloat(const TByteView& record) const {
    assert(width == 4);
    return record.F32(offset);
  }
  // Text of at most maxChars bytes of the field, ending at the first zero.
  std::string GetText(const TByteView& record, size_t maxChars) const {
    assert(maxChars <= width);
    return record.Text(offset, maxChars);
  }
  std::string GetText(const TByteView& record) const { return GetText(record, width); }

  void Put(TRecordWriter& record, uint32_t value) const {
    assert(width == 1 || width == 2 || width == 4);
    if (width == 1) record.U8(offset, static_cast<uint8_t>(value));
    if (width == 2) record.U16(offset, static_cast<uint16_t>(value));
    if (width == 4) record.U32(offset, value);
  }
  void PutFloat(TRecordWriter& record, float value) const {
    assert(width == 4);
    record.F32(offset, value);
  }
  // Copies text over the field, at most maxChars bytes; the rest of the
  // field keeps its bytes.
  void PutText(TRecordWriter& record, const char* text, size_t maxChars) const {
    assert(maxChars <= width);
    record.Text(offset, maxChars, text);
  }
  void PutText(TRecordWriter& record, const char* text) const { PutText(record, text, width); }
  // Fills the whole field with `pad` and copies text over it.
  void PutPadded(TRecordWriter& record, const char* text, uint8_t pad) const {
    record.Fill(offset, width, pad);
    record.Text(offset, width, text);
  }

  constexpr size_t End() const { return offset + width; }
};

}  // namespace vz
