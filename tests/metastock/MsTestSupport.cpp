#include "MsTestSupport.h"

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/ScratchDir.h"

namespace vz::test {

msgen::MsGenSecurity DailySecurity(int fileNumber, const std::string& symbol, int bars, uint8_t mask) {
  msgen::MsGenSecurity s;
  s.fileNumber = fileNumber;
  s.symbol = symbol;
  s.name = symbol + " Holdings";
  s.period = 'D';
  s.fieldMask = mask;
  for (int i = 0; i < bars; ++i) {
    msgen::MsGenBar bar;
    bar.date = 20020218 + i;
    bar.open = 10.0f + static_cast<float>(i);
    bar.high = bar.open + 1.5f;
    bar.low = bar.open - 0.25f;
    bar.close = bar.open + 0.5f;
    bar.volume = 1000.0f * static_cast<float>(i + 1);
    bar.openInterest = (mask & msgen::kMaskOpenInterest) ? 7.0f : 0.0f;
    s.bars.push_back(bar);
  }
  return s;
}

msgen::MsGenSecurity IntradaySecurity(int fileNumber, const std::string& symbol, int bars) {
  msgen::MsGenSecurity s = DailySecurity(fileNumber, symbol, bars, msgen::kMaskDtohlcvi);
  s.period = 'I';
  s.interval = 1;
  s.dayStartSeconds = 9 * 3600 + 30 * 60;
  s.dayEndSeconds = 16 * 3600;
  for (int i = 0; i < bars; ++i) {
    s.bars[static_cast<size_t>(i)].date = 20020221;
    s.bars[static_cast<size_t>(i)].time = 93000 + 100 * i;
  }
  return s;
}

Bytes GeneratedFile(const msgen::MsGenDirectory& directory, const std::string& name) {
  for (const msgen::MsGenFile& f : msgen::BuildMetastockFiles(directory))
    if (platform::EqualsNoCase(f.name, name)) return f.bytes;
  ADD_FAILURE() << "no generated file " << name;
  return {};
}

Bytes ReadBytes(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  return Bytes(bytes.begin(), bytes.end());
}

MsDirectory* OpenAs(const std::string& dir, const std::string& user) {
  MsDirectory* opened = MsOpenDirectory(dir, 100, "Test program", user);
  EXPECT_NE(opened, nullptr) << MsLastError();
  return opened;
}

}  // namespace vz::test
