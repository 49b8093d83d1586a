// implode/explode: round trips in every mode, the two independent decoders
// (natively), streams written by another encoder, and hostile input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "pkcmp/PkPayloads.h"
#include "pkcmp/PkProjectFiles.h"
#include "support/ScratchDir.h"
#include "vuzuz/pkcmp/Pkcmp.h"
#include "vuzuz/pkcmp/PkcmpBuffer.h"

#if VZ_HAVE_PEER_CODECS
#include "pkcmp/PkPeerCodec.h"
extern "C" {
#include <libdynamite.h>  // a C header without its own extern "C"
}
#endif

namespace vz::pkcmp {
namespace {

using test::NamedPayload;

struct Setting {
  unsigned type;
  unsigned dictSize;
};

constexpr Setting kSettings[] = {{kPkBinary, 1024}, {kPkBinary, 2048}, {kPkBinary, 4096},
                                 {kPkAscii, 1024},  {kPkAscii, 2048},  {kPkAscii, 4096}};

std::string Describe(const std::string& name, const Setting& s) {
  return name + (s.type == kPkAscii ? " ascii " : " binary ") + std::to_string(s.dictSize);
}

std::vector<NamedPayload> RoundTripPayloads() {
  std::string large = test::TextPayload(21, 400000) + test::BinaryPayload(22, 400000) +
                      test::DailyPayload(23, 40, 260) + std::string(20000, '\0') + test::RandomBytes(24, 50000);
  const test::ProjectFiles project = test::MakeProjectFiles(41, 12, 300, 2000);
  EXPECT_FALSE(project.daily.empty() || project.intradayData.empty() || project.intradayIndex.empty());
  std::string periods;
  for (unsigned period = 1; period <= 9; ++period)
    for (unsigned k = 0; k < 700; ++k) periods += static_cast<char>('a' + k % period);
  return {
      {"empty", ""},
      {"one byte", "\x7f"},
      {"two bytes", "\xff\xff"},
      {"all zeros", std::string(300000, '\0')},
      {"random", test::RandomBytes(1, 100000)},
      {"text", test::TextPayload(2, 150000)},
      {"short periods", periods},
      {"more than 1 MB", large},
      {"daily-like records", test::DailyPayload(3, 10, 300)},
      {"intraday-like blocks", test::IntradayPayload(4, 6, 500)},
      {"index-like nodes", test::IndexPayload(5, 300)},
      {"project .DLY", project.daily},
      {"project .DAT", project.intradayData},
      {"project .IDX", project.intradayIndex},
  };
}

std::string Implode(const std::string& data, const Setting& s) {
  std::string out;
  EXPECT_EQ(ImplodeBytes(data.data(), data.size(), s.type, s.dictSize, out), kPkOk);
  return out;
}

TEST(PkcmpRoundTrip, ExplodeRestoresEveryPayloadInEveryMode) {
  for (const NamedPayload& payload : RoundTripPayloads()) {
    for (const Setting& s : kSettings) {
      const std::string packed = Implode(payload.bytes, s);
      ASSERT_GE(packed.size(), 2u);
      EXPECT_EQ(static_cast<unsigned char>(packed[0]), s.type);
      std::string restored;
      EXPECT_EQ(ExplodeBytes(packed.data(), packed.size(), restored), kPkOk) << Describe(payload.name, s);
      EXPECT_TRUE(restored == payload.bytes) << Describe(payload.name, s);
    }
  }
}

// Feeds input in fixed-size pieces and collects output; lets a test choose
// the chunking and the work buffer's alignment.
struct ChunkedIo {
  const std::string* in;
  size_t pos = 0;
  unsigned chunk;
  std::string out;
};

unsigned ReadChunk(char* buf, unsigned* size, void* param) {
  auto* io = static_cast<ChunkedIo*>(param);
  const size_t n = std::min<size_t>({*size, io->chunk, io->in->size() - io->pos});
  std::memcpy(buf, io->in->data() + io->pos, n);
  io->pos += n;
  return static_cast<unsigned>(n);
}

void WriteChunk(char* buf, unsigned* size, void* param) { static_cast<ChunkedIo*>(param)->out.append(buf, *size); }

TEST(PkcmpRoundTrip, BytesDoNotDependOnReadChunksOrBufferAlignment) {
  const std::string data = test::IntradayPayload(7, 2, 300) + test::TextPayload(8, 30000);
  for (const Setting& s : {kSettings[0], kSettings[5]}) {
    const std::string reference = Implode(data, s);
    for (unsigned chunk : {1u, 7u, 4096u}) {
      std::vector<char> work(kImplodeWorkSize + 16);
      ChunkedIo io{&data, 0, chunk, {}};
      unsigned type = s.type, dictSize = s.dictSize;
      ASSERT_EQ(implode(ReadChunk, WriteChunk, work.data() + chunk % 8, &io, &type, &dictSize), kPkOk);
      EXPECT_TRUE(io.out == reference) << Describe("chunk " + std::to_string(chunk), s);

      std::vector<char> explodeWork(kExplodeWorkSize + 16);
      ChunkedIo back{&reference, 0, chunk, {}};
      ASSERT_EQ(explode(ReadChunk, WriteChunk, explodeWork.data() + chunk % 8, &back), kPkOk);
      EXPECT_TRUE(back.out == data) << Describe("chunk " + std::to_string(chunk), s);
    }
  }
}

// A write callback that takes `room` bytes in all and then refuses: the
// whole piece that does not fit, or (takesPart) all of it but what fits.
struct RefusingIo {
  ChunkedIo io;
  size_t room;
  bool takesPart = false;
  unsigned calls = 0;
  unsigned callsAfterRefusal = 0;
  bool refused = false;
};

void WriteUntilFull(char* buf, unsigned* size, void* param) {
  auto* r = static_cast<RefusingIo*>(param);
  ++r->calls;
  if (r->refused) ++r->callsAfterRefusal;
  if (r->io.out.size() + *size > r->room) {
    r->refused = true;
    const size_t part = r->takesPart ? r->room - r->io.out.size() : 0;
    r->io.out.append(buf, part);
    *size = static_cast<unsigned>(part);
    return;
  }
  r->io.out.append(buf, *size);
}

unsigned ReadRefusing(char* buf, unsigned* size, void* param) {
  return ReadChunk(buf, size, &static_cast<RefusingIo*>(param)->io);
}

TEST(PkcmpAbort, ARefusedWriteStopsImplodeAndExplode) {
  const std::string data = test::TextPayload(11, 200000);
  const std::string packed = Implode(data, kSettings[0]);
  for (size_t room : {size_t{0}, size_t{3000}, size_t{20000}}) {
    for (bool takesPart : {false, true}) {
      SCOPED_TRACE(takesPart ? "takes part of the last piece" : "takes none of the last piece");
      RefusingIo imp{{&data, 0, 4096, {}}, room, takesPart};
      std::vector<char> work(kImplodeWorkSize);
      unsigned type = kPkBinary, dictSize = 1024;
      EXPECT_EQ(implode(ReadRefusing, WriteUntilFull, work.data(), &imp, &type, &dictSize), kPkAbort) << room;
      EXPECT_TRUE(imp.refused) << room;
      EXPECT_EQ(imp.callsAfterRefusal, 0u) << room;
      // It stops within a block of input, not at the end of 200 KB.
      EXPECT_LT(imp.io.pos, size_t{10000} + room * 4) << room;
      EXPECT_TRUE(packed.compare(0, imp.io.out.size(), imp.io.out) == 0) << room;
      if (takesPart) {
        EXPECT_EQ(imp.io.out.size(), room);
      }

      RefusingIo exp{{&packed, 0, 4096, {}}, room, takesPart};
      std::vector<char> explodeWork(kExplodeWorkSize);
      EXPECT_EQ(explode(ReadRefusing, WriteUntilFull, explodeWork.data(), &exp), kPkAbort) << room;
      EXPECT_EQ(exp.callsAfterRefusal, 0u) << room;
      EXPECT_TRUE(data.compare(0, exp.io.out.size(), exp.io.out) == 0) << room;
      if (takesPart) {
        EXPECT_EQ(exp.io.out.size(), room);
      }
    }
  }
}

TEST(PkcmpImplode, RejectsUnknownDictionarySizeAndMode) {
  struct Case {
    unsigned type;
    unsigned dictSize;
    unsigned expected;
  };
  const Case cases[] = {{kPkBinary, 512, kPkInvalidDictSize}, {kPkBinary, 0, kPkInvalidDictSize},
                        {kPkAscii, 4095, kPkInvalidDictSize}, {2, 1024, kPkInvalidMode},
                        {2, 3000, kPkInvalidDictSize}};
  for (const Case& c : cases) {
    std::string out = "untouched";
    EXPECT_EQ(ImplodeBytes("abc", 3, c.type, c.dictSize, out), c.expected) << c.type << " " << c.dictSize;
    EXPECT_TRUE(out.empty());
  }
}

TEST(PkcmpExplode, DecodesTheFormatDescriptionExample) {
  const std::string stream("\x00\x04\x82\x24\x25\x8f\x80\x7f", 8);
  std::string out;
  EXPECT_EQ(ExplodeBytes(stream.data(), stream.size(), out), kPkOk);
  EXPECT_EQ(out, "AIAIAIAIAIAIA");
}

TEST(PkcmpExplode, RejectsMalformedHeadersAndStreams) {
  struct Case {
    const char* name;
    std::string stream;
    unsigned expected;
    std::string output;
  };
  const Case cases[] = {
      {"empty input", "", kPkTruncated, ""},
      {"one header byte", std::string(1, '\0'), kPkTruncated, ""},
      {"mode 2", std::string("\x02\x04\x82\x24", 4), kPkInvalidMode, ""},
      {"dictionary bits 3", std::string("\x00\x03\x82\x24", 4), kPkInvalidDictSize, ""},
      {"dictionary bits 7", std::string("\x01\x07\x82\x24", 4), kPkInvalidDictSize, ""},
      {"header only", std::string("\x00\x04", 2), kPkTruncated, ""},
      {"no end mark", std::string("\x00\x04\x82\x24\x25\x8f", 6), kPkTruncated, "AIAIAIAIAIAIA"},
      // The example's copy with its last distance bit cut off.
      {"copy cut inside its distance", std::string("\x00\x04\x82\x24\x25", 5), kPkTruncated, "AI"},
      // The example's copy (distance 2) with nothing, then one byte, before it.
      {"copy before any output", std::string("\x00\x04\xc9\x23\xe0\x1f", 6), kPkBadData, ""},
      {"copy reaching before the output", std::string("\x00\x04\x82\x92\x47\xc0\x3f", 7), kPkBadData, "A"},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(ExplodeBytes(c.stream.data(), c.stream.size(), out), c.expected) << c.name;
    EXPECT_EQ(out, c.output) << c.name;
  }
}

TEST(PkcmpExplode, EveryTruncationIsTruncatedInputAndKeepsAPrefix) {
  const std::string data = test::DailyPayload(9, 2, 60) + test::TextPayload(10, 1500);
  for (const Setting& s : {kSettings[0], kSettings[4]}) {
    const std::string packed = Implode(data, s);
    for (size_t cut = 0; cut < packed.size(); ++cut) {
      std::string out;
      ASSERT_EQ(ExplodeBytes(packed.data(), cut, out), kPkTruncated) << Describe("cut " + std::to_string(cut), s);
      ASSERT_TRUE(data.compare(0, out.size(), out) == 0) << Describe("cut " + std::to_string(cut), s);
    }
  }
}

// Streams written by StormLib's implode, stored so that the Windows build,
// which has no peer codecs, checks them too.
TEST(PkcmpExplode, ExpandsStoredStreamsOfAnotherEncoder) {
  struct Case {
    const char* file;
    std::string expected;
  };
  const Case cases[] = {
      {"text_ascii_4096.imp", test::TextPayload(31, 20000)},
      {"text_binary_2048.imp", test::TextPayload(31, 20000)},
      {"daily_binary_1024.imp", test::DailyPayload(32, 3, 120)},
      {"intraday_ascii_1024.imp", test::IntradayPayload(33, 2, 150)},
      {"index_binary_4096.imp", test::IndexPayload(34, 100)},
  };
  for (const Case& c : cases) {
    const std::string stream = test::ReadFileBytes(std::string(VZ_TEST_DATA_DIR) + "/pkcmp/" + c.file);
    ASSERT_FALSE(stream.empty()) << c.file;
    std::string out;
    EXPECT_EQ(ExplodeBytes(stream.data(), stream.size(), out), kPkOk) << c.file;
    EXPECT_TRUE(out == c.expected) << c.file;
  }
}

#if VZ_HAVE_PEER_CODECS

size_t DynamiteRead(void* buffer, size_t size, void* cookie) {
  unsigned n = static_cast<unsigned>(size);
  return test::PeerRead(static_cast<char*>(buffer), &n, cookie);
}

size_t DynamiteWrite(void* buffer, size_t size, void* cookie) {
  static_cast<test::PeerIo*>(cookie)->out->append(static_cast<char*>(buffer), size);
  return size;
}

std::string StormImplode(const std::string& data, const Setting& s) {
  std::string out;
  EXPECT_EQ(test::StormImplode(data, s.type, s.dictSize, out), 0u);
  return out;
}

bool StormExplode(const std::string& stream, std::string& out) { return test::StormExplode(stream, out) == 0; }

bool DynamiteExplode(const std::string& stream, std::string& out) {
  out.clear();
  test::PeerIo io{&stream, 0, &out};
  return dynamite_explode(DynamiteRead, DynamiteWrite, &io) == DYNAMITE_SUCCESS;
}

// Two quirks of the peers bound what they can check: StormLib's explode
// refuses a stream that holds only the end mark (its own implode writes the
// very same 4 bytes for empty input, which the test checks instead), and
// libdynamite implements binary mode only.
TEST(PkcmpPeers, BothIndependentDecodersExpandOurStreams) {
  for (const NamedPayload& payload : RoundTripPayloads()) {
    for (const Setting& s : kSettings) {
      const std::string packed = Implode(payload.bytes, s);
      if (payload.bytes.empty()) {
        EXPECT_EQ(packed, StormImplode(payload.bytes, s)) << Describe(payload.name, s);
      } else {
        std::string storm;
        EXPECT_TRUE(StormExplode(packed, storm)) << Describe(payload.name, s);
        EXPECT_TRUE(storm == payload.bytes) << Describe(payload.name, s);
      }
      if (s.type == kPkBinary) {
        std::string dynamite;
        EXPECT_TRUE(DynamiteExplode(packed, dynamite)) << Describe(payload.name, s);
        EXPECT_TRUE(dynamite == payload.bytes) << Describe(payload.name, s);
      }
    }
  }
}

TEST(PkcmpPeers, OurExplodeExpandsStormLibStreams) {
  for (const NamedPayload& payload : RoundTripPayloads()) {
    for (const Setting& s : kSettings) {
      const std::string packed = StormImplode(payload.bytes, s);
      std::string out;
      EXPECT_EQ(ExplodeBytes(packed.data(), packed.size(), out), kPkOk) << Describe(payload.name, s);
      EXPECT_TRUE(out == payload.bytes) << Describe(payload.name, s);
    }
  }
}

TEST(PkcmpPeers, ArchiveSettingIsNeverLargerThanStormLib) {
  const Setting archive{kPkBinary, 1024};
  for (const NamedPayload& payload : test::ArchivePayloads(1)) {
    EXPECT_LE(Implode(payload.bytes, archive).size(), StormImplode(payload.bytes, archive).size()) << payload.name;
  }
}

#endif

}  // namespace
}  // namespace vz::pkcmp
