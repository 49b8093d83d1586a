#pragma once
// Entry points of the PKWARE Data Compression Library "implode" format,
// implemented here. The calling shape is the library's: the caller owns the
// work buffer, data moves only through a pull and a push callback that get
// an opaque context pointer, and 0 means success.
//
// Return codes (PkResult):
//   0  kPkOk               success
//   1  kPkInvalidDictSize  implode: dictionary size not 1024, 2048 or 4096;
//                          explode: header's dictionary bits not 4, 5 or 6
//   2  kPkInvalidMode      implode: compression type not binary (0) or ASCII
//                          (1); explode: header's first byte not 0 or 1
//   3  kPkBadData          explode: corrupt stream (a copy reaching before
//                          the first byte of the output)
//   4  kPkAbort            the write callback refused output (an output
//                          failure): the codec stopped at once
//   5  kPkTruncated        explode: the input ended before the end mark
//                          (inside the header, a code or between tokens)
// 1 to 3 are malformed input, 5 is missing input, 4 an output failure.
// Neither function throws, and neither reads or writes outside the buffers
// it is handed, whatever the input.
#include <cstdint>

namespace vz::pkcmp {

enum PkResult : unsigned int {
  kPkOk = 0,
  kPkInvalidDictSize = 1,
  kPkInvalidMode = 2,
  kPkBadData = 3,
  kPkAbort = 4,
  kPkTruncated = 5,
};

enum PkType : unsigned int {
  kPkBinary = 0,
  kPkAscii = 1,
};

constexpr unsigned int kImplodeWorkSize = 36312;
constexpr unsigned int kExplodeWorkSize = 12596;

// Fills buf with up to *size bytes of input and returns the number given;
// 0 means the end of the input.
using PkReadFn = unsigned int (*)(char* buf, unsigned int* size, void* param);
// Takes *size bytes of output from buf. A callback that cannot take them all
// (a failed write, an output limit) sets *size to the number it took, 0 or
// more, and the codec stops with kPkAbort without calling it again.
using PkWriteFn = void (*)(char* buf, unsigned int* size, void* param);

// Compresses everything read_buf yields. work_buf must hold kImplodeWorkSize
// bytes. *type is kPkBinary or kPkAscii, *dict_size 1024, 2048 or 4096.
unsigned int implode(PkReadFn read_buf, PkWriteFn write_buf, char* work_buf, void* param,
                     unsigned int* type, unsigned int* dict_size);

// Expands one compressed stream (any mode and dictionary size the format
// has). work_buf must hold kExplodeWorkSize bytes.
unsigned int explode(PkReadFn read_buf, PkWriteFn write_buf, char* work_buf, void* param);

}  // namespace vz::pkcmp
