// implode: compresses a byte stream into the implode format.
//
// The input is read into a window of dictionary + block bytes. Each block is
// parsed by dynamic programming over its positions: since the format's codes
// are fixed, the exact bit cost of every literal and copy is known, and the
// parse that reaches the end of the block with the fewest bits is taken.
// Matches come from hash chains over 3-byte prefixes plus a table of the
// latest position of each 2-byte prefix (copies of length 2 only reach 256
// bytes back). The window, the chains and the parse live in the caller's work
// buffer; the skip chains that speed up the search (below) live on implode's
// stack. The output is a pure function of the input bytes, whatever sizes the
// read callback hands them in.
//
// Skip chains. Records of one layout repeat the same short byte groups every
// few bytes (a tick's zero volume bytes, a run of 0xFF), so a 3-byte chain
// holds a candidate every few bytes, and once a match of 3 or 4 bytes is in
// hand nearly all of them fail to beat it. Beside the 3-byte chains the
// search keeps chains over 4-byte and 5-byte prefixes and each position's
// rank in its 3-byte chain: once a match of 3 (4) bytes is found, only
// candidates sharing 4 (5) bytes can be longer, so the search follows the
// longer chain and reads the number of 3-byte candidates it passed over from
// the ranks. It examines exactly the candidates that could win within the
// same budget, so the matches, and the output, are those of the plain
// 3-byte chain walk.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#include "vuzuz/pkcmp/Pkcmp.h"
#include "vuzuz/pkcmp/PkcmpTables.h"
#include "vuzuz/pkcmp/PkcmpWork.h"

namespace vz::pkcmp {
namespace {

using namespace detail;

constexpr unsigned kHash3Bits = 12;
constexpr unsigned kHash2Bits = 11;
constexpr unsigned kOutCapacity = 1024;
// Bytes after the window's data that word-wide loads may touch.
constexpr unsigned kWindowSlack = 16;
// Chain candidates tried per position (daily records need a deep search:
// their useful matches are short and far), fewer once a match of kGoodLength
// is in hand; and the match length at which the parse stops weighing
// alternatives and takes the match.
constexpr unsigned kMaxChain = 128;
constexpr unsigned kGoodLength = 8;
constexpr unsigned kGoodChain = 6;
constexpr unsigned kNiceLength = 64;
// Inside a match at least this long the next position takes the match's
// continuation instead of searching again.
constexpr unsigned kCarryLength = 8;
constexpr uint16_t kUnreached = 0xFFFF;
// Prefix lengths of the skip chains, and their hash size.
constexpr unsigned kSkipLevels = 2;
constexpr unsigned kSkipBytes[kSkipLevels] = {4, 5};
constexpr unsigned kSkipHashBits = 13;
static_assert(kSkipLevels == 2 && kSkipBytes[0] >= 3 && kSkipBytes[1] <= 7);

// Stream bits and bit count of each literal, binary and ASCII mode.
struct LiteralCodes {
  std::array<uint16_t, 256> bits;
  std::array<uint8_t, 256> cost;
};

constexpr LiteralCodes BuildLiteralCodes(bool ascii) {
  LiteralCodes codes{};
  for (unsigned b = 0; b < 256; ++b) {
    codes.bits[b] = static_cast<uint16_t>(ascii ? kLiteralCode.bits[b] << 1 : b << 1);
    codes.cost[b] = static_cast<uint8_t>(ascii ? 1 + kLiteralCode.length[b] : 9);
  }
  return codes;
}

inline constexpr LiteralCodes kLiteralCodes[2] = {BuildLiteralCodes(false), BuildLiteralCodes(true)};

struct Match {
  unsigned length;
  unsigned distance;
};

struct SkipChains;

// Everything but the window, chains and parse arrays, which share the arena.
struct ImplodeFields {
  PkReadFn read_;
  PkWriteFn write_;
  void* param_;
  uint64_t bitBuf_;
  unsigned bitCount_;
  unsigned outLen_;
  unsigned dictBits_;
  unsigned dictSize_;
  unsigned blockSize_;
  unsigned windowSize_;  // dictionary + block
  unsigned fill_;        // bytes of input in the window
  unsigned pos_;         // first byte not yet encoded
  bool eof_;
  bool ascii_;
  bool aborted_;  // the write callback refused output
  uint8_t* window_;
  uint16_t* prev_;   // chain link per window position (position + 1; 0 ends)
  uint16_t* head3_;  // latest position + 1 per 3-byte hash
  uint16_t* head2_;  // latest position + 1 per 2-byte hash
  uint16_t* cost_;   // parse: bits to reach each offset of the block
  uint16_t* stepLength_;
  uint16_t* stepDistance_;
  const LiteralCodes* literals_;
  SkipChains* skip_;
  uint8_t out_[kOutCapacity + 8];
};

constexpr size_t kArenaBytes =
    (kImplodeWorkSize - sizeof(ImplodeFields) - 2 * alignof(ImplodeFields)) & ~size_t{7};

// Arena bytes besides the per-byte arrays: hash heads, slack, alignment.
constexpr size_t kArenaFixed =
    (sizeof(uint16_t) << kHash3Bits) + (sizeof(uint16_t) << kHash2Bits) + 3 * sizeof(uint16_t) + kWindowSlack + 16;

// Input bytes parsed as one block. The parse never looks across a block end,
// so the output depends on these sizes: they are what once filled the work
// buffer and stay fixed.
constexpr unsigned BlockSizeFor(unsigned dictSize) { return dictSize == 1024 ? 2107 : dictSize == 2048 ? 1766 : 1083; }

// Per block byte the arena holds a window byte, a chain link, a cost and a
// step (9 bytes); per dictionary byte a window byte and a chain link (3).
constexpr bool ArenaHolds(unsigned dictSize) {
  return kArenaFixed + 3 * size_t{dictSize} + 9 * size_t{BlockSizeFor(dictSize)} <= kArenaBytes;
}
static_assert(ArenaHolds(1024) && ArenaHolds(2048) && ArenaHolds(4096));

// Positions are 16-bit (stored + 1), and a block's cheapest parse, at most
// 14 bits a byte, must stay below the 16-bit "unreached" cost.
static_assert(4096 + BlockSizeFor(4096) < 0xFFFF && 1024 + BlockSizeFor(1024) < 0xFFFF);
static_assert(14 * (BlockSizeFor(1024) + 1) < kUnreached);

constexpr unsigned kMaxWindow = std::max({1024 + BlockSizeFor(1024), 2048 + BlockSizeFor(2048), 4096 + BlockSizeFor(4096)});

// The skip chains and ranks of every window position. Links are position + 1
// (0 ends a chain) and move with the window like the 3-byte chains. Ranks
// count modulo 2^16, only their differences within one chain are read, and
// they are indexed like links, so that a chain's end reads the spare entry 0.
struct SkipChains {
  uint16_t rank[kMaxWindow + 1];
  uint16_t prev[kSkipLevels][kMaxWindow];
  uint16_t head[kSkipLevels][size_t{1} << kSkipHashBits];
  unsigned next;  // first position not yet in the skip chains
};

class TImploder : private ImplodeFields {
public:
  TImploder(PkReadFn readFn, PkWriteFn writeFn, void* context, unsigned type, unsigned bits, SkipChains* skip) {
    read_ = readFn;
    write_ = writeFn;
    param_ = context;
    bitBuf_ = 0;
    bitCount_ = 0;
    outLen_ = 0;
    dictBits_ = bits;
    dictSize_ = 64u << bits;
    ascii_ = type == kPkAscii;
    fill_ = 0;
    pos_ = 0;
    eof_ = false;
    aborted_ = false;
    literals_ = &kLiteralCodes[ascii_ ? 1 : 0];
    skip_ = skip;
    skip_->next = 0;
    std::memset(skip_->head, 0, sizeof skip_->head);
    skip_->rank[0] = 0;
    LayOutArena();
  }

  unsigned Run(unsigned type) {
    Put(type, 8);
    Put(dictBits_, 8);
    for (;;) {
      Refill();
      if (pos_ >= fill_) break;
      // Without the end of the input in sight, stop two bytes short so that
      // every encoded position has the three bytes its hash needs.
      unsigned end = eof_ ? fill_ : fill_ - 2;
      end = std::min(end, pos_ + blockSize_);
      for (unsigned start = pos_; start < end;) start = ParseSegment(start, end);
      if (aborted_) return kPkAbort;
      pos_ = end;
      if (pos_ > dictSize_) Slide(pos_ - dictSize_);
    }
    const LengthToken& endMark = kLengthTokens[kEndLength];
    Put(endMark.bits, endMark.count);
    while (bitCount_ > 0) {
      out_[outLen_++] = static_cast<uint8_t>(bitBuf_);
      bitBuf_ >>= 8;
      bitCount_ = bitCount_ > 8 ? bitCount_ - 8 : 0;
    }
    FlushOut();
    return aborted_ ? kPkAbort : kPkOk;
  }

private:
  void LayOutArena() {
    blockSize_ = BlockSizeFor(dictSize_);
    windowSize_ = dictSize_ + blockSize_;
    uint8_t* p = arena_;
    auto take16 = [&p](size_t count) {
      auto* array = reinterpret_cast<uint16_t*>(p);
      p += count * sizeof(uint16_t);
      return array;
    };
    prev_ = take16(windowSize_);
    head3_ = take16(size_t{1} << kHash3Bits);
    head2_ = take16(size_t{1} << kHash2Bits);
    cost_ = take16(blockSize_ + 1);
    stepLength_ = take16(blockSize_ + 1);
    stepDistance_ = take16(blockSize_ + 1);
    window_ = p;
    std::memset(head3_, 0, sizeof(uint16_t) << kHash3Bits);
    std::memset(head2_, 0, sizeof(uint16_t) << kHash2Bits);
  }

  // Reads until the window is full or the input ends.
  void Refill() {
    while (!eof_ && fill_ < windowSize_) {
      unsigned size = windowSize_ - fill_;
      const unsigned got = read_(reinterpret_cast<char*>(window_ + fill_), &size, param_);
      if (got == 0) {
        eof_ = true;
      } else {
        fill_ += std::min(got, windowSize_ - fill_);
      }
    }
    std::memset(window_ + fill_, 0, kWindowSlack);
  }

  // Drops the first `shift` window bytes; positions move down with them and
  // links to dropped positions end their chains.
  void Slide(unsigned shift) {
    std::memmove(window_, window_ + shift, fill_ - shift);
    std::memmove(prev_, prev_ + shift, (pos_ - shift) * sizeof(uint16_t));
    std::memmove(skip_->rank + 1, skip_->rank + 1 + shift, (pos_ - shift) * sizeof(uint16_t));
    for (uint16_t* links : skip_->prev) std::memmove(links, links + shift, (skip_->next - shift) * sizeof(uint16_t));
    fill_ -= shift;
    pos_ -= shift;
    skip_->next -= shift;
    // Links to dropped positions become 0 (written so that it vectorizes).
    auto rebase = [base = static_cast<uint16_t>(shift)](uint16_t* links, size_t count) {
      for (size_t k = 0; k < count; ++k) links[k] = static_cast<uint16_t>(std::max(links[k], base) - base);
    };
    rebase(prev_, pos_);
    rebase(head3_, size_t{1} << kHash3Bits);
    rebase(head2_, size_t{1} << kHash2Bits);
    for (unsigned level = 0; level < kSkipLevels; ++level) {
      rebase(skip_->prev[level], skip_->next);
      rebase(skip_->head[level], size_t{1} << kSkipHashBits);
    }
  }

  static unsigned Hash3(const uint8_t* p) { return ((Load32(p) & 0xFFFFFF) * 2654435761u) >> (32 - kHash3Bits); }
  static unsigned Hash2(const uint8_t* p) {
    return ((unsigned{p[0]} | unsigned{p[1]} << 8) * 2654435761u) >> (32 - kHash2Bits);
  }

  static constexpr uint64_t SkipMask(unsigned level) { return (uint64_t{1} << (8 * kSkipBytes[level])) - 1; }
  static unsigned SkipHash(uint64_t prefix) {
    return static_cast<unsigned>((prefix * 0x9E3779B97F4A7C15ull) >> (64 - kSkipHashBits));
  }

  static unsigned MatchLength(const uint8_t* a, const uint8_t* b, unsigned maxLen) {
    for (unsigned len = 0; len < maxLen; len += 8) {
      const uint64_t diff = Load64(a + len) ^ Load64(b + len);
      if (diff != 0) return std::min(len + (static_cast<unsigned>(std::countr_zero(diff)) >> 3), maxLen);
    }
    return maxLen;
  }

  // Links position i into both hash tables; returns the previous heads.
  void Insert(unsigned i, unsigned& old2, unsigned& old3) {
    old2 = old3 = 0;
    const uint8_t* cur = window_ + i;
    if (i + 1 < fill_) {
      const unsigned h2 = Hash2(cur);
      old2 = head2_[h2];
      head2_[h2] = static_cast<uint16_t>(i + 1);
    }
    if (i + 2 < fill_) {
      const unsigned h3 = Hash3(cur);
      old3 = head3_[h3];
      prev_[i] = static_cast<uint16_t>(old3);
      head3_[h3] = static_cast<uint16_t>(i + 1);
      skip_->rank[i + 1] = static_cast<uint16_t>(skip_->rank[old3] + 1);
    }
    // A position joins the skip chains once its longest prefix is in the
    // window; until then it cannot be the start of a match that long.
    for (unsigned& p = skip_->next; p <= i && p + kSkipBytes[kSkipLevels - 1] <= fill_; ++p) {
      const uint64_t bytes = Load64(window_ + p);
      for (unsigned level = 0; level < kSkipLevels; ++level) {
        uint16_t& head = skip_->head[level][SkipHash(bytes & SkipMask(level))];
        skip_->prev[level][p] = head;
        head = static_cast<uint16_t>(p + 1);
      }
    }
  }

  // Collects matches at position i with strictly growing lengths (and so
  // growing distances), each the nearest of its length; links i in.
  unsigned FindMatches(unsigned i, unsigned maxLen, Match* found) {
    unsigned old2, old3;
    Insert(i, old2, old3);
    unsigned count = 0;
    unsigned best = 1;
    const uint8_t* cur = window_ + i;
    if (maxLen < 2) return 0;
    if (old2 != 0) {
      const unsigned cand = old2 - 1;
      const unsigned distance = i - cand;
      if (distance <= kMaxDistLen2 && window_[cand] == cur[0] && window_[cand + 1] == cur[1]) {
        found[count++] = {2, distance};
        best = 2;
      }
    }
    if (maxLen < 3) return count;
    // Candidates are numbered by their place in the 3-byte chain (1 for the
    // nearest); the search examines those up to `last`.
    unsigned last = kMaxChain;
    unsigned link = old3;
    for (unsigned index = 1; link != 0 && index <= last; ++index) {
      const unsigned cand = link - 1;
      const unsigned distance = i - cand;
      if (distance > dictSize_) break;
      const uint8_t* cp = window_ + cand;
      if (cp[best] == cur[best]) {
        const unsigned len = MatchLength(cp, cur, maxLen);
        if (len > best) {
          if (len >= 3 || distance <= kMaxDistLen2) found[count++] = {len, distance};
          best = len;
          if (len >= maxLen || len >= kNiceLength) break;
          ShortenSearch(len, index, last);
          if (best >= kSkipBytes[0] - 1) return SearchSkipChains(i, maxLen, cand, best, last, found, count);
        }
      }
      link = prev_[cand];
    }
    return count;
  }

  // Once a match of kGoodLength is found at chain place `index`, a few more
  // candidates are examined, unless the budget is about to end anyway.
  static void ShortenSearch(unsigned len, unsigned index, unsigned& last) {
    if (len >= kGoodLength && last - index + 1 > kGoodChain) last = index + kGoodChain - 1;
  }

  // Goes on with the candidates beyond `after` that share one byte more than
  // the best match so far, following the longest skip chain that holds all
  // of them; the 3-byte chain places come from the ranks.
  unsigned SearchSkipChains(unsigned i, unsigned maxLen, unsigned after, unsigned best, unsigned last, Match* found,
                            unsigned count) {
    const uint8_t* cur = window_ + i;
    const uint64_t bytes = Load64(cur);
    const uint16_t rank = skip_->rank[i + 1];
    for (;;) {
      const unsigned level = best + 1 >= kSkipBytes[1] ? 1 : 0;
      const uint64_t prefix = bytes & SkipMask(level);
      const uint16_t* links = skip_->prev[level];
      // Positions from `after` on were examined already (or are i itself).
      // Position i heads its own chains once it is in them. What lies
      // between it and `after` shares only the hash; the hash is wide so
      // that this walk stays short on tick data's many prefixes.
      unsigned link = skip_->next > i ? links[i] : skip_->head[level][SkipHash(prefix)];
      while (link > after) link = links[link - 1];
      unsigned climbed = 0;
      for (; link != 0; link = links[link - 1]) {
        const unsigned cand = link - 1;
        const unsigned distance = i - cand;
        if (distance > dictSize_) return count;
        const uint8_t* cp = window_ + cand;
        if ((Load64(cp) & SkipMask(level)) != prefix) continue;  // another prefix, same hash
        const unsigned index = static_cast<uint16_t>(rank - skip_->rank[link]);
        if (index > last) return count;
        if (cp[best] != cur[best]) continue;
        const unsigned len = MatchLength(cp, cur, maxLen);
        if (len <= best) continue;
        found[count++] = {len, distance};
        best = len;
        if (len >= maxLen || len >= kNiceLength) return count;
        ShortenSearch(len, index, last);
        if (level == 0 && best + 1 >= kSkipBytes[1]) {
          climbed = cand;
          break;
        }
      }
      if (link == 0) return count;
      after = climbed;
    }
  }

  unsigned DistanceBits(unsigned distance, unsigned lowBits) const {
    return kDistanceCode.length[(distance - 1) >> lowBits] + lowBits;
  }

  void Reach(unsigned at, unsigned bits, unsigned length, unsigned distance) {
    if (bits < cost_[at]) {
      cost_[at] = static_cast<uint16_t>(bits);
      stepLength_[at] = static_cast<uint16_t>(length);
      stepDistance_[at] = static_cast<uint16_t>(distance);
    }
  }

  // Offers every copy the matches allow from offset k of the segment: each
  // length with the nearest (cheapest) distance that reaches it.
  void Relax(unsigned k, unsigned base, const Match* found, unsigned count) {
    const unsigned next0 = found[0].length == 2 ? 1 : 0;
    unsigned shortest = found[0].distance;  // nearest match of any length
    if (next0 < count) shortest = std::min(shortest, found[next0].distance);
    unsigned next = next0;
    if (shortest <= kMaxDistLen2)
      Reach(k + 2, base + kLengthTokens[2].count + DistanceBits(shortest, 2), 2, shortest);
    unsigned from = 3;
    for (; next < count; ++next) {
      const unsigned distance = found[next].distance;
      const unsigned copyBase = base + DistanceBits(distance, dictBits_);
      for (unsigned len = from; len <= found[next].length; ++len)
        Reach(k + len, copyBase + kLengthTokens[len].count, len, distance);
      from = found[next].length + 1;
    }
  }

  // Parses window[start, end) until the end or a match long enough to take
  // outright; emits the parse and returns where the next segment starts.
  unsigned ParseSegment(unsigned start, unsigned end) {
    const unsigned n = end - start;
    cost_[0] = 0;
    stepLength_[0] = 0;
    std::fill(cost_ + 1, cost_ + n + 1, kUnreached);
    Match found[kMaxChain + 2];
    Match carried{0, 0};
    for (unsigned k = 0; k < n; ++k) {
      const unsigned i = start + k;
      const unsigned base = cost_[k];
      Reach(k + 1, base + literals_->cost[window_[i]], 1, 0);
      unsigned count;
      if (carried.length > kCarryLength) {
        --carried.length;
        found[0] = carried;
        count = 1;
        unsigned old2, old3;
        Insert(i, old2, old3);
      } else {
        count = FindMatches(i, std::min(kMaxMatch, end - i), found);
        if (count == 0) {
          carried.length = 0;
          continue;
        }
        carried = found[count - 1];
      }
      const Match& longest = found[count - 1];
      if (longest.length >= kNiceLength) {
        EmitParse(start, k);
        EmitCopy(longest.length, longest.distance);
        for (unsigned j = i + 1; j < i + longest.length; ++j) {
          unsigned old2, old3;
          Insert(j, old2, old3);
        }
        return i + longest.length;
      }
      Relax(k, base, found, count);
    }
    EmitParse(start, n);
    return end;
  }

  // Follows the cheapest path back from offset n, turning the arrival steps
  // into forward steps in place, then emits it.
  void EmitParse(unsigned start, unsigned n) {
    unsigned j = n;
    unsigned length = stepLength_[j];
    unsigned distance = stepDistance_[j];
    while (j > 0) {
      const unsigned from = j - length;
      const unsigned nextLength = stepLength_[from];
      const unsigned nextDistance = stepDistance_[from];
      stepLength_[from] = static_cast<uint16_t>(length);
      stepDistance_[from] = static_cast<uint16_t>(distance);
      j = from;
      length = nextLength;
      distance = nextDistance;
    }
    for (unsigned k = 0; k < n; k += stepLength_[k]) {
      if (stepLength_[k] == 1) {
        const uint8_t literal = window_[start + k];
        Put(literals_->bits[literal], literals_->cost[literal]);
      } else {
        EmitCopy(stepLength_[k], stepDistance_[k]);
      }
    }
  }

  void EmitCopy(unsigned length, unsigned distance) {
    const LengthToken& token = kLengthTokens[length];
    const unsigned lowBits = length == 2 ? 2 : dictBits_;
    const unsigned code = (distance - 1) >> lowBits;
    const uint32_t distanceBits =
        kDistanceCode.bits[code] | (((distance - 1) & ((1u << lowBits) - 1)) << kDistanceCode.length[code]);
    Put(token.bits | (distanceBits << token.count), token.count + kDistanceCode.length[code] + lowBits);
  }

  void Put(uint32_t bits, unsigned count) {
    bitBuf_ |= uint64_t{bits} << bitCount_;
    bitCount_ += count;
    if (bitCount_ >= 32) {
      const auto word = static_cast<uint32_t>(bitBuf_);
      std::memcpy(out_ + outLen_, &word, 4);
      outLen_ += 4;
      bitBuf_ >>= 32;
      bitCount_ -= 32;
      if (outLen_ >= kOutCapacity) FlushOut();
    }
  }

  // A refused write stops the run at the end of the block; nothing more is
  // handed to the callback after it.
  void FlushOut() {
    if (outLen_ == 0 || aborted_) {
      outLen_ = 0;
      return;
    }
    unsigned size = outLen_;
    write_(reinterpret_cast<char*>(out_), &size, param_);
    if (size < outLen_) aborted_ = true;
    outLen_ = 0;
  }

  alignas(8) uint8_t arena_[kArenaBytes];
};

static_assert(WorkBytesFor<TImploder>() <= kImplodeWorkSize, "implode state must fit the work buffer");

}  // namespace

unsigned int implode(PkReadFn read_buf, PkWriteFn write_buf, char* work_buf, void* param_, unsigned int* type,
                     unsigned int* dict_size) {
  unsigned bits = 0;
  switch (*dict_size) {
    case 1024: bits = 4; break;
    case 2048: bits = 5; break;
    case 4096: bits = 6; break;
    default: return kPkInvalidDictSize;
  }
  if (*type != kPkBinary && *type != kPkAscii) return kPkInvalidMode;
  SkipChains skip;
  TImploder* imploder = PlaceState<TImploder>(work_buf, read_buf, write_buf, param_, *type, bits, &skip);
  return imploder->Run(*type);
}

}  // namespace vz::pkcmp
