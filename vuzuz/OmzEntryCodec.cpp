#include "vuzuz/OmzEntryCodec.h"

#include <algorithm>
#include <cstring>

#include "vuzuz/pkcmp/Pkcmp.h"

namespace vz::omz {

namespace {

// GlobalServer's import expands entries packed with these settings.
constexpr unsigned int kEntryCompressionType = pkcmp::kPkBinary;
constexpr unsigned int kEntryDictionarySize = 1024;

// The codec's view of memory: input from a span, output appended to a
// buffer until it holds `limit` bytes.
struct CodecStreams {
  ByteView input;
  size_t read = 0;
  Bytes* output = nullptr;
  size_t limit = 0;
  bool beyondLimit = false;
};

unsigned int ReadSourceCallback(char* buffer, unsigned int* size, void* param) {
  auto* s = static_cast<CodecStreams*>(param);
  const size_t n = std::min<size_t>(*size, s->input.size() - s->read);
  if (n > 0) std::memcpy(buffer, s->input.data() + s->read, n);
  s->read += n;
  return static_cast<unsigned int>(n);
}

// Takes what fits below the limit and reports that many: fewer than it was
// handed stops the codec (kPkAbort).
void WriteArchiveCallback(char* buffer, unsigned int* size, void* param) {
  auto* s = static_cast<CodecStreams*>(param);
  const size_t room = s->limit - std::min(s->limit, s->output->size());
  const size_t n = std::min<size_t>(*size, room);
  if (n < *size) s->beyondLimit = true;
  s->output->insert(s->output->end(), buffer, buffer + n);
  *size = static_cast<unsigned int>(n);
}

}  // namespace

unsigned ImplodeEntryData(ByteView file, char* implodeWork, Bytes& out) {
  CodecStreams streams{file, 0, &out, SIZE_MAX};
  unsigned int type = kEntryCompressionType;
  unsigned int dictionarySize = kEntryDictionarySize;
  return pkcmp::implode(ReadSourceCallback, WriteArchiveCallback, implodeWork, &streams, &type, &dictionarySize);
}

Expansion ExplodeEntryData(ByteView packed, char* explodeWork, size_t maxExpanded, Bytes& out) {
  const size_t start = out.size();
  CodecStreams streams{packed, 0, &out, start + std::min(maxExpanded, SIZE_MAX - start)};
  Expansion expansion;
  expansion.result = pkcmp::explode(ReadSourceCallback, WriteArchiveCallback, explodeWork, &streams);
  expansion.beyondLimit = streams.beyondLimit;
  return expansion;
}

}  // namespace vz::omz
