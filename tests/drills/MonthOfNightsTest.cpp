#ifndef _WIN32
// Sixty nights of the same scheduled command over a MetaStock directory that
// grows by one trading day each night, against a GlobalServer that
// misbehaves on some of them in every way it can, and a run killed or out of
// disk on others: at the end GlobalServer holds every day of the source once,
// and each night ended with the exit status its fault calls for.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <iostream>

#include "app/run/DayText.h"
#include "automation/SimServerStore.h"
#include "drills/DrillFixture.h"
#include "drills/NightRun.h"
#include "drills/NightSource.h"
#include "vuzuz/Dates.h"

namespace vz::drill {
namespace {

constexpr int kNights = 60;
constexpr int kEachFault = 3;  // nights on which each fault comes
constexpr std::uint32_t kSeed = 20261211;
constexpr double kNightTime = 22.5 / 24;  // the scheduled start, 22:30
// Every night has at least these file operations (in both folders, and in
// the output folder alone): the kills and the full disks drawn below them
// fall inside the run. The quiet nights check it.
constexpr int kFileOperationBound = 30;
constexpr int kOutputOperationBound = 8;
constexpr int kKilled = 128 + SIGKILL;

std::uint32_t SeedToUse() {
  // Another seed, for exploring: VZ_NIGHTS_SEED=123.
  if (const char* text = std::getenv("VZ_NIGHTS_SEED"); text && *text)
    return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
  return kSeed;
}

// What GlobalServer lacks of one source day, or holds more than once: ""
// when it holds the day once.
std::string DayProblem(const test::TSimServerStore& store, double day) {
  const std::int64_t number = DayNumber(day);
  std::string problem;
  auto add = [&problem](const std::string& text) { problem += (problem.empty() ? "" : ", ") + text; };
  for (const std::string& symbol : TNightSource::kIntradaySymbols) {
    const auto held = store.Intraday().find({symbol, number});
    if (held == store.Intraday().end()) add(symbol + " lacking");
    else if (held->second.imports != 1) add(symbol + " imported " + std::to_string(held->second.imports) + " times");
    else if (held->second.ticks != 4 * TNightSource::kBarsPerDay)
      add(symbol + " with " + std::to_string(held->second.ticks) + " ticks");
  }
  for (const std::string& symbol : TNightSource::kDailySymbols)
    if (!store.Daily().contains({symbol, number})) add(symbol + " daily row lacking");
  return problem;
}

TEST(MonthOfNights, GlobalServerEndsWithEveryDayOnceAndEachNightWithItsStatus) {
  const std::uint32_t seed = SeedToUse();
  const TNightSource source(kNights);
  const std::vector<TNightPlan> schedule =
      DrawNightSchedule(seed, kNights, kEachFault, {kFileOperationBound, kOutputOperationBound});
  TDrillFolder folder;
  const TNightPaths paths{folder.Path()};
  std::cout << "Month of nights, seed " << seed << " (VZ_NIGHTS_SEED chooses another)\n";

  for (int night = 1; night <= kNights; ++night) {
    const TNightPlan& plan = schedule[static_cast<size_t>(night - 1)];
    const double day = source.LastDayOf(night);
    ASSERT_EQ(source.Write(paths.Ms(), night), "");
    const int status = RunNight(paths, day + kNightTime, plan);
    const TNightReport report = ReadNightReport(paths);
    const std::optional<int> expected = ExpectedNightStatus(plan.fault);
    std::cout << "night " << (night < 10 ? " " : "") << night << "  " << app::IsoDayText(day) << "  status "
              << (status == kKilled ? std::string("killed") : std::to_string(status)) << "  "
              << NightFaultText(plan) << '\n';

    const std::string when = "night " + std::to_string(night) + " (" + NightFaultText(plan) + ")";
    if (expected) {
      EXPECT_EQ(status, *expected) << when;
    } else {
      EXPECT_EQ(status, kKilled) << when << ": the run was not killed";
    }
    if (plan.fault == NightFault::DiskFull) EXPECT_NE(report.failedOperation, "") << when << ": the disk never filled";
    if (plan.fault == NightFault::None) {
      EXPECT_GE(report.fileOperations, kFileOperationBound) << when;
      EXPECT_GE(report.outputOperations, kOutputOperationBound) << when;
    }
    EXPECT_EQ(report.present, status != kKilled) << when;
    for (const std::string& refusal : report.refusals) ADD_FAILURE() << when << ": " << refusal;
  }

  const test::TSimServerStore store(paths.Store());
  int lacking = 0;
  for (const double day : source.Days()) {
    const std::string problem = DayProblem(store, day);
    if (problem.empty()) continue;
    ++lacking;
    std::cout << "  " << app::IsoDayText(day) << ": " << problem << '\n';
  }
  std::cout << "Days of the source: " << source.Days().size() << ", days GlobalServer lacks or holds more than once: "
            << lacking << '\n';
  EXPECT_EQ(lacking, 0) << "seed " << seed;
}

}  // namespace
}  // namespace vz::drill
#endif
