#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/window/DateField.h"
#include "app/window/WindowTaskQueue.h"

namespace vz::app {
namespace {

using Push = TWindowTaskQueue::PushResult;

TEST(WindowTaskQueue, AsksForOneWakeUpUntilDrained) {
  TWindowTaskQueue queue;
  std::vector<int> ran;
  EXPECT_EQ(queue.Push([&] { ran.push_back(1); }), Push::Wake);
  EXPECT_EQ(queue.Push([&] { ran.push_back(2); }), Push::Queued);
  EXPECT_EQ(queue.Push([&] { ran.push_back(3); }), Push::Queued);
  EXPECT_EQ(queue.Drain(), 3u);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  // A task pushed while draining asks for its own wake-up.
  queue.Push([&] { EXPECT_EQ(queue.Push([&] { ran.push_back(5); }), Push::Wake); });
  EXPECT_EQ(queue.Drain(), 1u);
  EXPECT_EQ(queue.Drain(), 1u);
  EXPECT_EQ(ran.back(), 5);
}

TEST(WindowTaskQueue, FailedWakeUpIsAskedAgainByTheNextPush) {
  TWindowTaskQueue queue;
  int ran = 0;
  EXPECT_EQ(queue.Push([&] { ++ran; }), Push::Wake);
  queue.WakeFailed();
  EXPECT_EQ(queue.Push([&] { ++ran; }), Push::Wake);
  EXPECT_EQ(queue.Drain(), 2u);  // nothing was lost
  EXPECT_EQ(ran, 2);
}

TEST(WindowTaskQueue, ClosedQueueDropsTasksAndBreaksTheirPromises) {
  TWindowTaskQueue queue;
  auto answer = std::make_shared<std::promise<bool>>();
  std::future<bool> result = answer->get_future();
  queue.Push([answer = std::move(answer)] { answer->set_value(true); });
  queue.Close();
  EXPECT_THROW(result.get(), std::future_error);  // a waiter is let go
  EXPECT_EQ(queue.Push([] {}), Push::Dropped);
  EXPECT_EQ(queue.Drain(), 0u);
}

TEST(WindowTaskQueue, ThrowingTaskKeepsTheRestForTheNextDrain) {
  TWindowTaskQueue queue;
  std::vector<int> ran;
  queue.Push([&] { ran.push_back(1); });
  queue.Push([] { throw std::runtime_error("boom"); });
  queue.Push([&] { ran.push_back(3); });
  EXPECT_THROW(queue.Drain(), std::runtime_error);
  EXPECT_EQ(queue.Drain(), 1u);
  EXPECT_EQ(ran, (std::vector<int>{1, 3}));
}

TEST(WindowTaskQueue, ManyThreadsPushEveryTaskOnceWithOneWakeUpPerDrain) {
  TWindowTaskQueue queue;
  std::atomic<int> wakes{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) {
        if (queue.Push([] {}) == Push::Wake) ++wakes;
      }
    });
  }
  size_t ran = 0;
  int drains = 0;
  while (ran < 4000) {
    const size_t now = queue.Drain();
    ran += now;
    if (now > 0) ++drains;
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(ran, 4000u);
  EXPECT_LE(wakes.load(), drains + 1);
}

struct PatternCase {
  const char* shortDate;
  const char* longTime;
  DateOrder order;
  char dateSeparator;
  char timeSeparator;
};

TEST(DateField, ConventionsComeFromTheSystemPatterns) {
  const PatternCase cases[] = {
      {"M/d/yyyy", "h:mm:ss tt", DateOrder::MonthDayYear, '/', ':'},
      {"dd.MM.yyyy", "HH:mm:ss", DateOrder::DayMonthYear, '.', ':'},
      {"yyyy-MM-dd", "HH.mm.ss", DateOrder::YearMonthDay, '-', '.'},
      {"d/M/yy", "H:mm:ss", DateOrder::DayMonthYear, '/', ':'},
      {"'Day' dd/MM/yyyy", "HH:mm:ss", DateOrder::DayMonthYear, '/', ':'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shortDate);
    const DateTimeFormat f = DateTimeFormatFromPatterns(c.shortDate, c.longTime, "vorm.", "nachm.");
    EXPECT_EQ(f.order, c.order);
    EXPECT_EQ(f.dateSeparator, c.dateSeparator);
    EXPECT_EQ(f.timeSeparator, c.timeSeparator);
    EXPECT_EQ(f.pmDesignator, "nachm.");
  }
}

TEST(DateField, LeavingTheFieldReadsDateTimeDateTimeOrNothing) {
  const DateTimeFormat german = DateTimeFormatFromPatterns("dd.MM.yyyy", "HH:mm:ss", "", "");
  double march15 = 0;
  ASSERT_TRUE(TryEncodeDate(2024, 3, 15, march15));
  const double halfPastTen = (10 * 60 + 30) / 1440.0;
  struct Case {
    const char* text;
    bool valid;
    double value;
  } cases[] = {
      {"15.03.2024 10:30:00", true, march15 + halfPastTen},
      {"15.03.2024", true, march15},
      {"10:30", true, kDateFieldEmptyValue + halfPastTen},
      {"", true, kDateFieldEmptyValue},
      {"   ", true, kDateFieldEmptyValue},
      {"30.02.2024", false, kDateFieldEmptyValue},
      {"15.03.2024 25:00", false, kDateFieldEmptyValue},
      {"tomorrow", false, kDateFieldEmptyValue},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const DateFieldReading r = ReadDateFieldText(c.text, german);
    EXPECT_EQ(r.valid, c.valid);
    EXPECT_NEAR(r.value, c.value, 1e-9);
  }
  EXPECT_EQ(InvalidDateTimeMessage("tomorrow"), "\"tomorrow\" is not valid date/time.");
}

}  // namespace
}  // namespace vz::app
