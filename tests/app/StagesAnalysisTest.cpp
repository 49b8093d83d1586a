// The security analysis over an in-memory security list.
#include <gtest/gtest.h>

#include "app/run/Analysis.h"
#include "StagesFakes.h"

namespace vz::app {
namespace {

using test::MakeSecurity;
using test::MakeTm;

struct Analysed {
  SecurityTables tables;
  RunNotes notes;
  test::TRecordingStatus status;
};

void Analyse(const test::TFakeSource& source, Analysed& out, const TRunSettings& settings = {}) {
  EXPECT_TRUE(FillSecurityTables(source, settings, out.status, out.tables, out.notes));
}

TEST(TryParsePeriod, ReadsUnitsAndRejectsOthers) {
  struct Case {
    const char* text;
    bool ok;
    int32_t seconds;
  };
  const Case cases[] = {{"", true, 0},      {"D1", true, 86400}, {"h2", true, 7200},  {"M15", true, 900},
                        {"N3", true, -60},  {"y1", true, -120},  {"90", true, 90},    {"D", false, 0},
                        {"Dx", false, 0},   {"X5", false, 0},    {"BKG", false, 0},   {"D99999999", false, 0},
                        {"-5", true, -5}};
  for (const Case& c : cases) {
    int32_t s = 12345;
    EXPECT_EQ(vz::TryParsePeriod(c.text, s), c.ok) << c.text;
    EXPECT_EQ(s, c.ok ? c.seconds : 12345) << c.text;
  }
}

TEST(FillSecurityTables, TakesIntradayNamesAndIntervals) {
  test::TFakeSource source;
  source.securities = {
      {MakeSecurity('I', "EURUSD", "M5_EURUSD", 1)},
      {MakeSecurity('I', "PLAIN", "PLAIN", 3)},
      {MakeSecurity('I', "LONG", "ABCDEFGHIJKLMNOPQRSTU_M5", 2)},
      {MakeSecurity('I', "ODD", "BKG_u.L", 7)},
  };
  Analysed a;
  Analyse(source, a);
  ASSERT_EQ(a.tables.descr.size(), 4u);
  // Sorted by symbol: EURUSD, LONG, ODD, PLAIN.
  const auto& d = a.tables.descr;
  EXPECT_EQ(d[0].Name, "EURUSD");
  EXPECT_EQ(d[0].Interval, 5);
  EXPECT_EQ(d[1].Name, "ABCDEFGHIJKLMNOPQRST");  // "_" beyond the 20th character
  EXPECT_EQ(d[1].Interval, 2);
  EXPECT_EQ(d[2].Name, "BKG_u.L");  // no period prefix: kept whole, stored interval
  EXPECT_EQ(d[2].Interval, 7);
  EXPECT_EQ(d[3].Name, "PLAIN");
  EXPECT_EQ(d[3].Interval, 3);
  EXPECT_EQ(d[3].No, 1);
  EXPECT_EQ(d[0].DateFrom, test::DateValue(2001, 1, 2));
  EXPECT_EQ(a.notes.invalidPeriod, (std::vector<std::string>{"ODD"}));
}

TEST(FillSecurityTables, TakesDailyPrefixesAndSkipsOthers) {
  test::TFakeSource source;
  source.securities = {
      {MakeSecurity('D', "A1", "D1_ACME")}, {MakeSecurity('D', "A2", "ACME")},
      {MakeSecurity('D', "A3", "H1_ACME")}, {MakeSecurity('D', "BKG.L", "BKG_u.L")},
      {MakeSecurity('D', "CSE.L", "CSE_x")}, {MakeSecurity('W', "W1", "WEEKLY")},
  };
  source.securities.push_back({MakeSecurity('D', "DEL", "DELETED")});
  source.securities.back().entry.inUse = false;
  source.securities.push_back({MakeSecurity('D', "HID", "HIDDEN")});
  source.securities.back().entry.hidden = true;
  Analysed a;
  Analyse(source, a);
  std::vector<std::pair<std::string, std::string>> got;
  for (const DescrDRow& r : a.tables.descrD) got.emplace_back(r.Symbol, r.Name);
  EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{
                     {"A1", "ACME"}, {"A2", "ACME"}, {"BKG.L", "BKG_u.L"}, {"CSE.L", "CSE_x"}}));
  // Both unreadable period texts named in one note, no message box.
  EXPECT_EQ(a.notes.invalidPeriod, (std::vector<std::string>{"BKG.L", "CSE.L"}));
  EXPECT_TRUE(a.status.messages.empty());
}

TEST(FillSecurityTables, SelectionListDecidesBySymbol) {
  test::TFakeSource source;
  source.securities = {{MakeSecurity('D', "ON", "On")},
                       {MakeSecurity('D', "OFF", "Off")},
                       {MakeSecurity('I', "IN", "In")},
                       {MakeSecurity('D', "NOTLISTED", "x")}};
  Analysed a;
  // OFF is listed twice: the first row decides.
  const std::pair<const char*, bool> listed[] = {{"ON", true}, {"OFF", false}, {"OFF", true}, {"IN", true}};
  for (const auto& [symbol, active] : listed) {
    OptionsRow row;
    row.Symbol = symbol;
    row.Active = active;
    a.tables.options.push_back(row);
  }
  TRunSettings settings;
  settings.selected = true;
  Analyse(source, a, settings);
  ASSERT_EQ(a.tables.descrD.size(), 1u);
  EXPECT_EQ(a.tables.descrD[0].Symbol, "ON");
  ASSERT_EQ(a.tables.descr.size(), 1u);
  EXPECT_EQ(a.tables.descr[0].Symbol, "IN");
}

TEST(FillSecurityTables, OneBadSecurityDoesNotStopTheOthers) {
  test::TFakeSource source;
  source.securities = {{MakeSecurity('I', "SEC60", "a")},
                       {MakeSecurity('I', "ZERO", "b")},
                       {MakeSecurity('I', "", "NoSymbol")},
                       {MakeSecurity('D', "", "")},
                       {MakeSecurity('I', "OK", "c")}};
  source.securities[0].entry.last = MakeTm(2001, 3, 4, 10, 5, 60);  // seconds as real EMASTERs hold them
  source.securities[1].entry.first = std::tm{};                     // date 0
  Analysed a;
  Analyse(source, a);
  ASSERT_EQ(a.tables.descr.size(), 4u);
  const auto& d = a.tables.descr;
  EXPECT_EQ(d[0].Symbol, "NoSymbol");  // converted under its name
  EXPECT_EQ(d[1].Symbol, "OK");
  EXPECT_EQ(d[2].Symbol, "SEC60");
  EXPECT_EQ(d[2].DateTo, test::DateValue(2001, 3, 4, 10, 5));  // seconds dropped
  EXPECT_EQ(d[3].Symbol, "ZERO");
  EXPECT_LE(d[3].DateFrom, d[3].DateTo);  // bars still read
  EXPECT_EQ(a.notes.badFirstLast, (std::vector<std::string>{"ZERO"}));
  EXPECT_EQ(a.notes.emptySymbol, (std::vector<std::string>{"NoSymbol"}));
  EXPECT_EQ(a.notes.skippedNoName, (std::vector<std::string>{"#3"}));
  const std::string text = a.notes.Text();
  EXPECT_NE(text.find("ZERO"), std::string::npos);
  EXPECT_NE(text.find("NoSymbol"), std::string::npos);
}

TEST(FillSecurityTables, StopsAtOnceOnStopRequest) {
  test::TFakeSource source;
  for (int i = 0; i < 5; ++i) source.securities.push_back({MakeSecurity('D', "S" + std::to_string(4 - i), "n")});
  Analysed a;
  a.status.stopAfter = 3;  // asked before each security: stop before the third
  Analyse(source, a);
  ASSERT_EQ(a.tables.descrD.size(), 2u);
  EXPECT_EQ(a.tables.descrD[0].Symbol, "S4");  // left unsorted
}

}  // namespace
}  // namespace vz::app
