// explode: expands one implode stream of any mode and dictionary size.
//
// The input is untrusted. Every field is checked as it is read: a code or
// field that runs past the end of the input (kPkTruncated), a distance
// reaching before the first byte written (kPkBadData), or a header outside
// the format gives an error, and the bytes expanded up to that point are
// still handed to the write callback.
// Each token consumes at least one bit, so the loop ends with the input.
#include <cstring>

#include "vuzuz/pkcmp/Pkcmp.h"
#include "vuzuz/pkcmp/PkcmpTables.h"
#include "vuzuz/pkcmp/PkcmpWork.h"

namespace vz::pkcmp {
namespace {

using namespace detail;

constexpr unsigned kInCapacity = 2048;
// Output window: the last dictionary-size bytes stay for copies, the rest is
// handed out whenever one more copy might not fit.
constexpr unsigned kOutCapacity = 10240;
constexpr unsigned kFlushAt = kOutCapacity - kMaxMatch;
// Copies move 8 bytes at a time and may write up to 7 bytes past their end.
constexpr unsigned kCopySlack = 8;

class TExploder {
public:
  TExploder(PkReadFn read, PkWriteFn write, void* param) : read_(read), write_(write), param_(param) {}

  unsigned Run() {
    Refill();
    if (bitCount_ < 16) return kPkTruncated;
    const unsigned type = bitBuf_ & 0xFF;
    const unsigned dictBits = (bitBuf_ >> 8) & 0xFF;
    Consume(16);
    if (type != kPkBinary && type != kPkAscii) return kPkInvalidMode;
    if (dictBits < 4 || dictBits > 6) return kPkInvalidDictSize;
    keep_ = 64u << dictBits;
    const unsigned result = type == kPkAscii ? Expand<true>(dictBits) : Expand<false>(dictBits);
    if (result == kPkAbort) return result;
    return Flush(outPos_) || result != kPkOk ? result : kPkAbort;
  }

private:
  template <bool Ascii>
  unsigned Expand(unsigned dictBits) {
    for (;;) {
      if (bitCount_ < 32) {
        Refill();
        if (bitCount_ == 0) return kPkTruncated;  // input ended without the end mark
      }
      if ((bitBuf_ & 1) == 0) {
        unsigned literal;
        if constexpr (Ascii) {
          const unsigned entry = kLiteralDecode[(bitBuf_ >> 1) & ((1u << kLiteralPeekBits) - 1)];
          if (!Consume(1 + (entry >> 8))) return kPkTruncated;
          literal = entry & 0xFF;
        } else {
          literal = (bitBuf_ >> 1) & 0xFF;
          if (!Consume(9)) return kPkTruncated;
        }
        out_[outPos_++] = static_cast<uint8_t>(literal);
      } else {
        const unsigned entry = kLengthDecode[(bitBuf_ >> 1) & ((1u << kLengthPeekBits) - 1)];
        const unsigned symbol = entry & 0xFF;
        const unsigned codeLen = entry >> 8;
        const unsigned extra = kLengthExtra[symbol];
        const unsigned length =
            kLengthBase[symbol] + static_cast<unsigned>((bitBuf_ >> (1 + codeLen)) & ((1u << extra) - 1));
        if (!Consume(1 + codeLen + extra)) return kPkTruncated;
        if (length == kEndLength) return kPkOk;

        if (bitCount_ < 14) Refill();
        const unsigned dEntry = kDistanceDecode[bitBuf_ & ((1u << kDistancePeekBits) - 1)];
        const unsigned dLen = dEntry >> 8;
        const unsigned lowBits = length == 2 ? 2 : dictBits;
        const unsigned distance =
            (((dEntry & 0xFF) << lowBits) | static_cast<unsigned>((bitBuf_ >> dLen) & ((1u << lowBits) - 1))) + 1;
        if (!Consume(dLen + lowBits)) return kPkTruncated;
        if (distance > outPos_) return kPkBadData;  // before the first byte of the output
        Copy(distance, length);
      }
      if (outPos_ > kFlushAt && !Flush(outPos_ - keep_)) return kPkAbort;
    }
  }

  void Copy(unsigned distance, unsigned length) {
    uint8_t* dst = out_ + outPos_;
    const uint8_t* src = dst - distance;
    outPos_ += length;
    if (distance >= 8) {
      // Each 8-byte load reads only bytes already written.
      for (unsigned k = 0; k < length; k += 8) Store64(dst + k, Load64(src + k));
    } else if (distance == 1) {
      std::memset(dst, *src, length);
    } else {
      for (unsigned k = 0; k < length; ++k) dst[k] = src[k];
    }
  }

  // Hands out the first `count` bytes of the window and keeps the rest;
  // false when the write callback refused them.
  bool Flush(unsigned count) {
    if (count == 0) return true;
    unsigned size = count;
    write_(reinterpret_cast<char*>(out_), &size, param_);
    if (size < count) return false;
    std::memmove(out_, out_ + count, outPos_ - count);
    outPos_ -= count;
    return true;
  }

  bool FillInput() {
    if (inEof_) return false;
    unsigned size = kInCapacity;
    unsigned got = read_(reinterpret_cast<char*>(in_), &size, param_);
    if (got == 0) {
      inEof_ = true;
      return false;
    }
    if (got > kInCapacity) got = kInCapacity;  // a callback claiming more than it was given room for
    inPos_ = 0;
    inEnd_ = got;
    return true;
  }

  // Tops the bit buffer up to at least 57 bits while input lasts. Bits above
  // bitCount_ are either zero or the very next input bytes, so OR-ing those
  // bytes in again later changes nothing.
  void Refill() {
    while (bitCount_ <= 56) {
      if (inPos_ == inEnd_ && !FillInput()) return;
      if (inEnd_ - inPos_ >= 8) {
        bitBuf_ |= Load64(in_ + inPos_) << bitCount_;
        const unsigned take = (63 - bitCount_) >> 3;
        inPos_ += take;
        bitCount_ += take * 8;
        return;
      }
      bitBuf_ |= uint64_t{in_[inPos_++]} << bitCount_;
      bitCount_ += 8;
    }
  }

  bool Consume(unsigned count) {
    if (count > bitCount_) return false;
    bitBuf_ >>= count;
    bitCount_ -= count;
    return true;
  }

  PkReadFn read_;
  PkWriteFn write_;
  void* param_;
  uint64_t bitBuf_ = 0;
  unsigned bitCount_ = 0;
  unsigned inPos_ = 0;
  unsigned inEnd_ = 0;
  bool inEof_ = false;
  unsigned outPos_ = 0;
  unsigned keep_ = 0;
  uint8_t in_[kInCapacity];
  uint8_t out_[kOutCapacity + kCopySlack];
};

static_assert(WorkBytesFor<TExploder>() <= kExplodeWorkSize, "explode state must fit the work buffer");

}  // namespace

unsigned int explode(PkReadFn read_buf, PkWriteFn write_buf, char* work_buf, void* param) {
  TExploder* exploder = PlaceState<TExploder>(work_buf, read_buf, write_buf, param);
  return exploder->Run();
}

}  // namespace vz::pkcmp
