#include <gtest/gtest.h>

#include <chrono>

#include "vuzuz/Dates.h"
#include "vuzuz/ShowError.h"

namespace vz {
namespace {

double At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  double v = 0;
  EXPECT_TRUE(TryEncodeDateTime(DateTimeParts{y, mo, d, h, mi, s, ms}, v));
  return v;
}

double Time(int h, int mi, int s = 0, int ms = 0) {
  double v = 0;
  EXPECT_TRUE(TryEncodeTime(h, mi, s, ms, v));
  return v;
}

TEST(ParsePeriod, AcceptedTexts) {
  struct Case { const char* text; int32_t seconds; };
  const Case cases[] = {
      {"", 0},          {"D1", 86400},     {"d2", 172800},     {"h2", 7200},
      {"H1", 3600},     {"M15", 900},      {"m1", 60},         {"N3", kPeriodMonths},
      {"n0", kPeriodMonths}, {"y1", kPeriodYears}, {"Y-7", kPeriodYears}, {"90", 90},
      {"5", 5},         {"-5", -5},        {"+7", 7},          {"D-1", -86400},
      {"D24855", 2147472000}, {"M35791394", 2147483640}, {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
  };
  for (const Case& c : cases) {
    TErrorRecorder errors;
    int32_t out = 12345;
    EXPECT_TRUE(ParsePeriod(c.text, out)) << c.text;
    EXPECT_EQ(out, c.seconds) << c.text;
    EXPECT_TRUE(errors.Messages().empty()) << c.text;
  }
}

// Rejected texts show one message naming the text and leave the result
// alone. Units whose seconds leave 32 bits are rejected, not wrapped.
TEST(ParsePeriod, RejectedTextsShowTheMessage) {
  for (const char* text : {"D", "Dx", "X5", "N", "Yx", "1.5", " 5", "5 ", "D 1", "--5", "2147483648",
                           "99999999999999999999", "D24856", "H596524", "M35791395", "x"}) {
    TErrorRecorder errors;
    int32_t out = 12345;
    EXPECT_FALSE(ParsePeriod(text, out)) << text;
    EXPECT_EQ(out, 12345) << text;
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{"Invalid period: '" + std::string(text) + "'."});
  }
}

TEST(ParseDateTimeText, AcceptedTextsInMonthDayYearFormat) {
  struct Case { const char* text; double value; };
  const Case cases[] = {
      {"", 25569.0},
      {"4/10/2001", At(2001, 4, 10)},
      {"4/10/2001 10:01", At(2001, 4, 10, 10, 1)},
      {"04/10/2001 10:01:30", At(2001, 4, 10, 10, 1, 30)},
      {"  4/10/2001   23:59:59.250  ", At(2001, 4, 10, 23, 59, 59, 250)},
      {"4/10/01", At(2001, 4, 10)},
      {"12/31/49", At(2049, 12, 31)},
      {"1/1/50", At(1950, 1, 1)},
      {"2001/4/10 7:05 PM", At(2001, 4, 10, 19, 5)},
      {"2/29/2000 12:00 am", At(2000, 2, 29)},
      {"10:01", Time(10, 1)},
      {"12:30 PM", Time(12, 30)},
      {"1:05:07 pm", Time(13, 5, 7)},
      {"5", Time(5, 0)},
      {"11 AM", Time(11, 0)},
  };
  for (const Case& c : cases) {
    TErrorRecorder errors;
    EXPECT_EQ(ParseDateTimeText(c.text), c.value) << c.text;
    EXPECT_TRUE(errors.Messages().empty()) << c.text;
  }
}

TEST(ParseDateTimeText, RejectedTextsShowTheMessageAndGiveZero) {
  for (const char* text : {"abc", "13/1/2001", "2/29/2001", "4/31/2001", "4/10/2001 24:00", "24:00",
                           "10:60", "0 PM", "13 PM", "4/10/2001 x", "4/10/", "4//2001", "4/10/2001 10:",
                           "1234567890/1/1", "4/10/2001 10:01:30.1234", "4-10-2001", " ", "0/0/0"}) {
    TErrorRecorder errors;
    EXPECT_EQ(ParseDateTimeText(text), 0.0) << text;
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{"'" + std::string(text) + "' is not valid date/time."});
  }
}

TEST(ParseDateTimeText, FollowsTheInstalledFormat) {
  DateTimeFormat german;
  german.order = DateOrder::DayMonthYear;
  german.dateSeparator = '.';
  const DateTimeFormat saved = CurrentDateTimeFormat();
  SetDateTimeFormat(german);
  TErrorRecorder errors;
  EXPECT_EQ(ParseDateTimeText("10.4.2001 10:01"), At(2001, 4, 10, 10, 1));
  EXPECT_EQ(FormatDateTimeText(At(2001, 4, 10, 10, 1)), "10.4.2001 10:01:00");
  EXPECT_EQ(ParseDateTimeText("4/10/2001"), 0.0);
  SetDateTimeFormat(saved);
  EXPECT_EQ(errors.Messages().size(), 1u);
}

TEST(ParseDateTimeText, TwoPartDateTakesTheCurrentYear) {
  const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
  const int year = static_cast<int>(std::chrono::year_month_day{today}.year());
  double v = 0;
  ASSERT_TRUE(TryParseDateTimeText("4/10 9:30", CurrentDateTimeFormat(), v));
  EXPECT_EQ(v, At(year, 4, 10, 9, 30));
}

TEST(ParseDateTimeText, YearsBelow100ReadBackFromTheirTextForm) {
  const double v = At(5, 3, 1, 12, 0);
  EXPECT_EQ(FormatDateTimeText(v), "3/1/0005 12:00:00");
  EXPECT_EQ(ParseDateTimeText(FormatDateTimeText(v)), v);
}

}  // namespace
}  // namespace vz
