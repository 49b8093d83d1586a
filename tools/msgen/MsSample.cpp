#include "tools/msgen/MsSample.h"

#include <cmath>
#include <system_error>

#include "tools/msgen/MsGenBars.h"

namespace vz::msgen {

namespace {

constexpr uint64_t kSampleSeed = 0x56555A555A5345ull;
constexpr uint64_t kLargeSeed = 0x4C41524745ull;

// Fictitious companies of the sample: symbol, name, start price.
struct SampleStock {
  const char* symbol;
  const char* name;
  double price;
};

constexpr SampleStock kStocks[] = {
    {"NWMN", "Northwind Mining", 23.4},      {"KRLT", "Karelit Industries", 61.2},
    {"BLFN", "Bluefin Shipping", 12.85},     {"OSPR", "Osprey Aerospace", 148.0},
    {"TMBR", "Timberline Paper", 8.42},      {"HLX", "Helix Biotherapeutics", 34.1},
    {"QNTA", "Quanta Grid Utilities", 71.5}, {"FRSTN", "Firstone Bank", 19.9},
    {"CRDL", "Cordillera Copper", 4.37},     {"VSTR", "Vestra Retail Group", 52.6},
    {"AMBR", "Amberley Foods", 27.3},        {"SLTN", "Saltana Chemicals", 88.0},
    {"PNCL", "Pinnacle Software", 212.4},    {"RVRS", "Riverside Homes", 15.75},
    {"GLCR", "Glacier Water", 41.0},         {"MRDN", "Meridian Telecom", 9.96},
    {"HRBR", "Harbour Logistics", 33.3},     {"ZNTH", "Zenith Semiconductor", 126.9},
    {"LMNS", "Lumens Lighting", 6.12},       {"ARGS", "Argos Insurance", 58.4},
    {"CPRS", "Cypress Timber", 22.2},        {"BRKW", "Brookwood Pharma", 77.7},
    {"STLW", "Steelworks United", 31.05},    {"ORCH", "Orchard Beverages", 44.8},
    {"NBLA", "Nebula Gaming", 18.6},         {"TRDN", "Trident Offshore", 11.3},
    {"CLVR", "Clover Agriculture", 36.9},    {"MSTL", "Mistral Wind Power", 14.4},
};

// Daily instruments with period-prefixed names, 5 fields.
constexpr SampleStock kDailyPrefixed[] = {
    {"EURUSD", "D1_EURUSD", 1.1325}, {"GBPUSD", "D1_GBPUSD", 1.3540},   {"XAUUSD", "D1_XAUUSD", 1785.0},
    {"ABC", "D1_ABC", 120.0},        {"NDX.IDX", "D1_NDX100", 16200.0},
};

// Intraday instruments: symbol, name, start price.
constexpr SampleStock kIntraday[] = {
    {"EURUSD", "M1_EURUSD", 1.0810},    {"GBPUSD", "M1_GBPUSD", 1.2675},   {"NWMN", "M1_NWMN", 31.2},
    {"ZNTH.XNAS.US", "M1_ZNTH", 180.4}, {"PNCL", "M1_PNCL", 260.0},        {"ESZ26.FUT.CME", "M1_ESZ26", 5920.0},
    {"EURUSD", "M5_EURUSD", 1.0810},    {"USDJPY", "M5_USDJPY", 149.62},   {"OSPR", "M5_OSPR", 171.3},
    {"HLX", "M5_HLX", 29.75},           {"QNTA.XNYS.US", "M5_QNTA", 80.1}, {"BRENT.FUT.ICE.X", "M5_BRENT_CRUDE", 74.4},
};

// Derives one seed per security from a directory seed and an index.
uint64_t SecuritySeed(uint64_t base, int index) {
  TSplitMix64 mix(base ^ (static_cast<uint64_t>(index) * 0x9E3779B97F4A7C15ull));
  return mix.Next();
}

MsGenWalk WalkFor(double price) {
  MsGenWalk walk;
  walk.startPrice = price;
  walk.tick = price < 10.0 ? 0.0001 : (price < 1000.0 ? 0.01 : 0.25);
  walk.dailyVolatility = price < 10.0 ? 0.006 : 0.016;
  return walk;
}

MsGenSecurity Listing(int fileNumber, const std::string& symbol, const std::string& name, char period, int interval,
                      uint8_t mask) {
  MsGenSecurity s;
  s.fileNumber = fileNumber;
  s.symbol = symbol;
  s.name = name;
  s.period = period;
  s.interval = interval;
  s.fieldMask = mask;
  return s;
}

MsGenSecurity Daily(int fileNumber, const std::string& symbol, const std::string& name, uint8_t mask, uint64_t seed,
                    double price, int32_t firstDate) {
  MsGenSecurity s = Listing(fileNumber, symbol, name, 'D', 0, mask);
  MsGenDailyParams params;
  params.firstDate = firstDate;
  params.lastDate = kSampleLastDate;
  params.walk = WalkFor(price);
  params.walk.baseVolume = price < 10.0 ? 90000.0 : 2500000.0 / std::max(price, 1.0) * 40.0;
  if (mask & kMaskOpenInterest) params.walk.baseOpenInterest = 25000.0;
  s.bars = GenerateDailyBars(seed, params);
  return s;
}

MsGenSecurity Intraday(int fileNumber, const std::string& symbol, const std::string& name, int interval, uint64_t seed,
                       double price, int32_t firstDate) {
  MsGenSecurity s = Listing(fileNumber, symbol, name, 'I', interval, kMaskDtohlcvi);
  MsGenIntradayParams params;
  params.firstDate = firstDate;
  params.lastDate = kSampleLastDate;
  params.intervalMinutes = interval;
  params.walk = WalkFor(price);
  params.walk.baseVolume = 400.0 * interval;
  params.walk.baseOpenInterest = 5000.0;
  s.dayStartSeconds = params.dayStartSeconds;
  s.dayEndSeconds = params.dayEndSeconds;
  s.bars = GenerateIntradayBars(seed, params);
  return s;
}

}  // namespace

MsGenDirectory SampleDirectory() {
  constexpr int32_t kDailyFirst = 20211201;
  constexpr int32_t kIntradayFirst = 20260901;
  MsGenDirectory d;
  int index = 0;
  int fileNumber = 1;
  // 28 stocks: most with 7 fields, every third with 5, every seventh with 6;
  // every fifth with a long exchange-qualified symbol.
  for (const SampleStock& stock : kStocks) {
    const uint8_t mask = index % 7 == 6 ? kMaskDohlcv : (index % 3 == 2 ? kMaskDhlcv : kMaskDohlcvi);
    std::string symbol = stock.symbol;
    if (index % 5 == 4) symbol += index % 2 ? ".XLON.GB" : ".XETR.DE";
    d.securities.push_back(
        Daily(fileNumber++, symbol, stock.name, mask, SecuritySeed(kSampleSeed, index), stock.price, kDailyFirst));
    ++index;
  }
  for (const SampleStock& s : kDailyPrefixed) {
    d.securities.push_back(
        Daily(fileNumber++, s.symbol, s.name, kMaskDhlcv, SecuritySeed(kSampleSeed, index), s.price, kDailyFirst));
    ++index;
  }
  // 11 intraday securities in MASTER/EMASTER, the last one in XMASTER.
  for (size_t i = 0; i < std::size(kIntraday); ++i) {
    const SampleStock& s = kIntraday[i];
    const int interval = s.name[1] == '1' ? 1 : 5;
    const int number = i + 1 == std::size(kIntraday) ? 260 : fileNumber++;
    d.securities.push_back(
        Intraday(number, s.symbol, s.name, interval, SecuritySeed(kSampleSeed, index), s.price, kIntradayFirst));
    ++index;
  }
  // Seven more daily securities: four listed only in XMASTER, with names
  // and symbols that MASTER could not hold in full.
  const SampleStock more[] = {
      {"SLVR.XTSE.CA", "D1_SLVR Silverline Resources", 7.85},
      {"KSTRL", "Kestrel Aviation Holdings plc", 96.2},
      {"BAYVW", "Bayview Property Trust", 13.4},
      {"AURORA.XASX.AU", "Aurora Minerals Exploration and Development", 2.48},
      {"SEQUOIA.NYSE.US", "Sequoia Timber and Land Management Corp", 64.0},
      {"VOLTA", "Volta Battery Systems", 28.9},
      {"HALCYON.XPAR.FR", "Halcyon Cosmetiques", 142.5},
  };
  for (size_t i = 0; i < std::size(more); ++i) {
    const bool xmaster = i >= 3;
    const int number = xmaster ? 256 + static_cast<int>(i - 3) : fileNumber++;
    d.securities.push_back(Daily(number, more[i].symbol, more[i].name, i % 2 ? kMaskDohlcvi : kMaskDhlcv,
                                 SecuritySeed(kSampleSeed, index), more[i].price, kDailyFirst));
    ++index;
  }
  return d;
}

bool WriteSampleDirectory(const std::filesystem::path& dir, std::string* error) {
  return WriteMetastockDirectory(SampleDirectory(), dir, error);
}

bool WriteLargeDirectory(const std::filesystem::path& dir, double size, std::string* error) {
  std::string unused;
  std::string& reason = error ? *error : unused;
  if (!(size > 0.0) || size > 20.0) {
    reason = "size must be above 0 and at most 20";
    return false;
  }
  const int intradayCount = std::max(1, static_cast<int>(std::lround(200 * size)));
  const int dailyCount = std::max(1, static_cast<int>(std::lround(2000 * size)));
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    reason = "cannot create directory " + dir.string() + ": " + ec.message();
    return false;
  }

  // Each security's data file is written as soon as its bars exist; the
  // masters only need the first and last bar, so the rest is dropped.
  MsGenDirectory d;
  for (int i = 0; i < intradayCount + dailyCount; ++i) {
    const uint64_t seed = SecuritySeed(kLargeSeed, i);
    const double price = 5.0 + static_cast<double>(TSplitMix64(seed).NextBelow(20000)) / 100.0;
    const int fileNumber = i + 1;
    const std::string number = std::to_string(fileNumber);
    MsGenSecurity s = i < intradayCount
                          ? Intraday(fileNumber, "LI" + number, "M1_LI" + number, 1, seed, price, 20260901)
                          : Daily(fileNumber, "LD" + number, "D1_LD" + number, kMaskDohlcvi, seed, price, 20161201);
    if (!WriteMsGenFile(dir, BuildDataFile(d, s), &reason)) return false;
    if (s.bars.size() > 2) s.bars.erase(s.bars.begin() + 1, s.bars.end() - 1);
    d.securities.push_back(std::move(s));
  }
  if (reason = CheckDirectory(d); !reason.empty()) return false;
  for (const MsGenFile& file : BuildMasterFiles(d))
    if (!WriteMsGenFile(dir, file, &reason)) return false;
  return true;
}

namespace {

// Writes the securities `make(i)` gives, each data file as soon as its bars
// exist, then the masters.
template <class Make>
bool WriteOneByOne(const std::filesystem::path& dir, int count, Make make, std::string& reason) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    reason = "cannot create directory " + dir.string() + ": " + ec.message();
    return false;
  }
  MsGenDirectory d;
  for (int i = 0; i < count; ++i) {
    MsGenSecurity s = make(i);
    if (!WriteMsGenFile(dir, BuildDataFile(d, s), &reason)) return false;
    if (s.bars.size() > 2) s.bars.erase(s.bars.begin() + 1, s.bars.end() - 1);
    d.securities.push_back(std::move(s));
  }
  if (reason = CheckDirectory(d); !reason.empty()) return false;
  for (const MsGenFile& file : BuildMasterFiles(d))
    if (!WriteMsGenFile(dir, file, &reason)) return false;
  return true;
}

}  // namespace

bool WriteIntradayDirectory(const std::filesystem::path& dir, int securities, int intervalMinutes, int32_t firstDate,
                            int32_t lastDate, std::string* error) {
  std::string unused;
  std::string& reason = error ? *error : unused;
  if (securities < 1 || securities > 65535) {
    reason = "1 to 65535 securities";
    return false;
  }
  return WriteOneByOne(
      dir, securities,
      [&](int i) {
        const uint64_t seed = SecuritySeed(kLargeSeed + 1, i);
        const double price = 5.0 + static_cast<double>(TSplitMix64(seed).NextBelow(20000)) / 100.0;
        const std::string number = std::to_string(i + 1);
        MsGenSecurity s = Listing(i + 1, "WI" + number, "WI" + number, 'I', intervalMinutes, kMaskDtohlcvi);
        MsGenIntradayParams params;
        params.firstDate = firstDate;
        params.lastDate = lastDate;
        params.intervalMinutes = intervalMinutes;
        params.walk = WalkFor(price);
        params.walk.baseVolume = 400.0 * intervalMinutes;
        params.walk.baseOpenInterest = 5000.0;
        s.dayStartSeconds = params.dayStartSeconds;
        s.dayEndSeconds = params.dayEndSeconds;
        s.bars = GenerateIntradayBars(seed, params);
        return s;
      },
      reason);
}

bool WriteDailyDirectory(const std::filesystem::path& dir, int securities, int32_t firstDate, std::string* error) {
  std::string unused;
  std::string& reason = error ? *error : unused;
  if (securities < 1 || securities > 65535) {
    reason = "1 to 65535 securities";
    return false;
  }
  return WriteOneByOne(
      dir, securities,
      [&](int i) {
        const uint64_t seed = SecuritySeed(kLargeSeed + 2, i);
        const double price = 5.0 + static_cast<double>(TSplitMix64(seed).NextBelow(20000)) / 100.0;
        const std::string number = std::to_string(i + 1);
        return Daily(i + 1, "WD" + number, "WD" + number, kMaskDohlcvi, seed, price, firstDate);
      },
      reason);
}

}  // namespace vz::msgen
