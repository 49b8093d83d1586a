#pragma once
// How the bytes of one archive entry are packed and expanded: the one place
// that picks the codec's settings, and the one pair of callbacks that moves
// bytes between memory and the codec.
#include <cstddef>

#include "bytes/ByteFields.h"

namespace vz::omz {

// Appends `file` imploded with the archive's settings (binary mode, 1024-byte
// dictionary) to `out`. implodeWork holds pkcmp::kImplodeWorkSize bytes.
// Gives the codec's result (pkcmp::kPkOk on success).
unsigned ImplodeEntryData(ByteView file, char* implodeWork, Bytes& out);

struct Expansion {
  unsigned result = 0;       // the codec's result
  bool beyondLimit = false;  // stopped at maxExpanded bytes (result kPkAbort)
};

// Appends the expansion of `packed` to `out`, at most maxExpanded bytes;
// the codec reads nothing beyond `packed`. explodeWork holds
// pkcmp::kExplodeWorkSize bytes.
Expansion ExplodeEntryData(ByteView packed, char* explodeWork, size_t maxExpanded, Bytes& out);

}  // namespace vz::omz
