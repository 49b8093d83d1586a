#include <gtest/gtest.h>

#include <vector>

#include "dates/ZoneRecords.h"
#include "platform/TimeZoneRule.h"

namespace vz::platform {
namespace {

using test::Absolute;
using test::Record;
using test::Rule;

// 2024-01-15 12:00 and 2024-07-15 12:00 UTC.
constexpr int64_t kJanuary2024 = 1705320000;
constexpr int64_t kJuly2024 = 1721044800;

TEST(TimeZoneQueryFromRule, RecordsOfRealZones) {
  struct Case {
    const char* rule;
    TimeZoneRecord record;
    uint32_t codeInJanuary;
    uint32_t codeInJuly;
  };
  const Case cases[] = {
      {"CET-1CEST,M3.5.0,M10.5.0/3", Record(-60, Rule(3, 5, 0, 2), Rule(10, 5, 0, 3), -60),
       kTimeZoneIdStandard, kTimeZoneIdDaylight},
      {"EST5EDT,M3.2.0,M11.1.0", Record(300, Rule(3, 2, 0, 2), Rule(11, 1, 0, 2), -60),
       kTimeZoneIdStandard, kTimeZoneIdDaylight},
      // No rules given: the United States ones.
      {"EST5EDT", Record(300, Rule(3, 2, 0, 2), Rule(11, 1, 0, 2), -60), kTimeZoneIdStandard,
       kTimeZoneIdDaylight},
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", Record(-600, Rule(10, 1, 0, 2), Rule(4, 1, 0, 3), -60),
       kTimeZoneIdDaylight, kTimeZoneIdStandard},
      // Winter time written as negative daylight saving: the same clock as
      // standard winter time with summer time ahead of it.
      {"IST-1GMT0,M10.5.0,M3.5.0/1", Record(0, Rule(3, 5, 0, 1), Rule(10, 5, 0, 2), -60),
       kTimeZoneIdStandard, kTimeZoneIdDaylight},
      // Times past midnight or before it move the weekday.
      {"IST-2IDT,M3.4.4/26,M10.5.0", Record(-120, Rule(3, 4, 5, 2), Rule(10, 5, 0, 2), -60),
       kTimeZoneIdStandard, kTimeZoneIdDaylight},
      {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", Record(120, Rule(3, 5, 6, 23), Rule(10, 5, 0, 0), -60),
       kTimeZoneIdStandard, kTimeZoneIdDaylight},
      {"<+0530>-5:30", Record(-330), kTimeZoneIdUnknown, kTimeZoneIdUnknown},
      {"JST-9", Record(-540), kTimeZoneIdUnknown, kTimeZoneIdUnknown},
      {"UTC0", Record(0), kTimeZoneIdUnknown, kTimeZoneIdUnknown},
      // Julian days become dates of the year asked: day 60 of 2024 (no
      // February 29 counted) is March 1, zero-based day 300 is October 27.
      {"XST3XDT,J60/1:30,300", Record(180, Absolute(2024, 3, 1, 5, 1, 30), Absolute(2024, 10, 27, 0, 2), -60),
       kTimeZoneIdStandard, kTimeZoneIdDaylight},
  };
  for (const Case& c : cases) {
    const std::optional<TzRule> rule = ParseTzRule(c.rule);
    ASSERT_TRUE(rule) << c.rule;
    const TimeZoneQuery january = TimeZoneQueryFromRule(*rule, kJanuary2024);
    EXPECT_EQ(january.record, c.record) << c.rule;
    EXPECT_EQ(january.resultCode, c.codeInJanuary) << c.rule;
    EXPECT_EQ(TimeZoneQueryFromRule(*rule, kJuly2024).resultCode, c.codeInJuly) << c.rule;
  }
}

TEST(TimeZoneQueryFromRule, ResultCodeChangesAtTheTransitionInstant) {
  const std::optional<TzRule> rule = ParseTzRule("CET-1CEST,M3.5.0,M10.5.0/3");
  ASSERT_TRUE(rule);
  // 2024-03-31 01:00 UTC (02:00 CET) and 2024-10-27 01:00 UTC (03:00 CEST).
  constexpr int64_t kStart = 1711846800;
  constexpr int64_t kEnd = 1729990800;
  EXPECT_EQ(TimeZoneQueryFromRule(*rule, kStart - 1).resultCode, kTimeZoneIdStandard);
  EXPECT_EQ(TimeZoneQueryFromRule(*rule, kStart).resultCode, kTimeZoneIdDaylight);
  EXPECT_EQ(TimeZoneQueryFromRule(*rule, kEnd - 1).resultCode, kTimeZoneIdDaylight);
  EXPECT_EQ(TimeZoneQueryFromRule(*rule, kEnd).resultCode, kTimeZoneIdStandard);
}

TEST(ParseTzRule, RejectsMalformedRules) {
  for (const char* text : {"", "CE-1", "CET", "CET-", "CET-25", "CET-1:60", "CET-1CEST,M13.1.0,M10.5.0",
                           "CET-1CEST,M3.6.0,M10.5.0", "CET-1CEST,M3.5.7,M10.5.0", "CET-1CEST,M3.5.0",
                           "CET-1CEST,M3.5.0,M10.5.0/168", "CET-1CEST,M3.5.0,M10.5.0,", "CET-1CEST,J0,J365",
                           "CET-1CEST,366,1", "<>1", "<ABC1", "<A B>1", "CET-1x", "CET-1CEST-2x",
                           "CET-1CEST,M3.5.0,M10.5", "CET-1CEST,M3.5.0/,M10.5.0", "CET1234-1"}) {
    EXPECT_FALSE(ParseTzRule(text)) << text;
  }
}

// A small TZif file: version 1 block, version 2+ block, footer.
std::vector<uint8_t> Tzif(char version, uint32_t timecnt, uint32_t typecnt, uint32_t charcnt,
                          const std::string& footer) {
  std::vector<uint8_t> out;
  auto header = [&](uint32_t t, uint32_t ty, uint32_t ch) {
    const uint8_t magic[] = {'T', 'Z', 'i', 'f', static_cast<uint8_t>(version)};
    out.insert(out.end(), magic, magic + 5);
    out.insert(out.end(), 15, 0);
    for (uint32_t v : {0u, 0u, 0u, t, ty, ch}) {
      for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
    }
  };
  header(timecnt, typecnt, charcnt);
  out.insert(out.end(), timecnt * 5 + typecnt * 6 + charcnt, 0x11);
  header(timecnt, typecnt, charcnt);
  out.insert(out.end(), timecnt * 9 + typecnt * 6 + charcnt, 0x22);
  out.push_back('\n');
  out.insert(out.end(), footer.begin(), footer.end());
  out.push_back('\n');
  return out;
}

TEST(ExtractTzifFooter, ReadsTheFooterAfterBothBlocks) {
  const std::vector<uint8_t> file = Tzif('2', 3, 2, 8, "CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(ExtractTzifFooter(file), "CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(ExtractTzifFooter(Tzif('4', 0, 1, 4, "JST-9")), "JST-9");
  // Every truncation is refused without reading past the end.
  for (size_t n = 0; n < file.size(); ++n) {
    EXPECT_FALSE(ExtractTzifFooter(std::span(file.data(), n))) << n;
  }
}

TEST(ExtractTzifFooter, RefusesFilesWithoutAUsableFooter) {
  std::vector<uint8_t> badMagic = Tzif('2', 1, 1, 4, "UTC0");
  badMagic[0] = 'X';
  std::vector<uint8_t> badSecondMagic = Tzif('2', 1, 1, 4, "UTC0");
  badSecondMagic[44 + 5 + 6 + 4] = 'X';
  std::vector<uint8_t> hugeCount = Tzif('2', 1, 1, 4, "UTC0");
  hugeCount[32] = 0xFF;  // timecnt of the first header
  std::vector<uint8_t> control = Tzif('3', 0, 1, 4, "UTC0");
  control[control.size() - 3] = 0x01;
  const std::vector<std::vector<uint8_t>> files = {
      Tzif('\0', 1, 1, 4, "UTC0"), Tzif('2', 1, 1, 4, ""), badMagic, badSecondMagic, hugeCount, control};
  for (size_t i = 0; i < files.size(); ++i) EXPECT_FALSE(ExtractTzifFooter(files[i])) << i;
}

}  // namespace
}  // namespace vz::platform
