#pragma once
// Small builders shared by the MetaStock tests.
#include <string>
#include <vector>

#include "metastock/MsDirectory.h"
#include "metastock/MsMasters.h"
#include "metastock/MsPriceData.h"
#include "tools/msgen/MsGen.h"

namespace vz::test {

// A security description with `bars` daily bars from 2002-02-18 on.
msgen::MsGenSecurity DailySecurity(int fileNumber, const std::string& symbol, int bars = 3,
                                   uint8_t mask = msgen::kMaskDohlcvi);
// An intraday security with `bars` 1-minute bars on 2002-02-21 from 09:30.
msgen::MsGenSecurity IntradaySecurity(int fileNumber, const std::string& symbol, int bars = 3);

// The whole contents of one generated file, by name (upper case).
Bytes GeneratedFile(const msgen::MsGenDirectory& directory, const std::string& name);

// Whole file as bytes (empty when missing).
Bytes ReadBytes(const std::string& path);

// Opens as a test program; fails the calling test when it returns nullptr.
MsDirectory* OpenAs(const std::string& dir, const std::string& user);

// Runs `check` once with the price decoder's SSE2 conversions and once
// with its AVX2 ones where this processor has AVX2 (`avx2` tells which),
// and leaves AVX2 allowed again.
template <class Check>
void WithEachPriceDecoder(Check check) {
  for (const bool avx2 : {false, true}) {
    if (MsAllowAvx2PriceDecoding(avx2) == avx2) check(avx2);
  }
  MsAllowAvx2PriceDecoding(true);
}

}  // namespace vz::test
