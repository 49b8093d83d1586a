// The memory tables' sort and the selection list loader.
#include <gtest/gtest.h>

#include "app/run/Selection.h"
#include "app/run/Sort.h"
#include "support/ScratchDir.h"

namespace vz::app {
namespace {

std::vector<int32_t> NoOrder(const std::vector<DescrRow>& rows) {
  std::vector<int32_t> order;
  for (const DescrRow& r : rows) order.push_back(r.No);
  return order;
}

DescrRow Row(int32_t no, std::string symbol, std::string name = "N", int32_t interval = 1, double from = 0) {
  return DescrRow{no, std::move(symbol), std::move(name), interval, from, 0};
}

TEST(SortDataSet, OrdersSymbolsByBytesThenLaterColumnsByType) {
  std::vector<DescrRow> rows{
      Row(0, "ab"), Row(1, "B"), Row(2, "AB"),
      // Same symbol: Name case-insensitively, then Interval as a number,
      // then DateFrom.
      Row(3, "X", "beta"), Row(4, "X", "ALPHA", 10), Row(5, "X", "alpha", 9), Row(6, "X", "Alpha", 9, 2.0),
      Row(7, "X", "alpha", 9, 1.0)};
  ASSERT_TRUE(SortDataSet(rows, "symbol", 0, 1));
  // 5 (DateFrom 0) < 7 (1.0) < 6 (2.0); Interval 9 < 10; "alpha" < "beta".
  EXPECT_EQ(NoOrder(rows), (std::vector<int32_t>{2, 1, 5, 7, 6, 4, 3, 0}));

  ASSERT_TRUE(SortDataSet(rows, "Symbol", 0, -1));
  EXPECT_EQ(NoOrder(rows), (std::vector<int32_t>{0, 3, 4, 6, 7, 5, 1, 2}));
}

TEST(SortDataSet, LeavesEqualRowsInQuicksortOrder) {
  // Rows that compare equal are exchanged by the partition: four equal
  // rows end as 2, 3, 0, 1 and three as 2, 1, 0 (a stable sort keeps them).
  std::vector<DescrRow> four{Row(0, "S"), Row(1, "S"), Row(2, "S"), Row(3, "S")};
  SortDataSet(four, "Symbol", 0, 1);
  EXPECT_EQ(NoOrder(four), (std::vector<int32_t>{2, 3, 0, 1}));
  std::vector<DescrRow> three{Row(0, "S"), Row(1, "S"), Row(2, "S")};
  SortDataSet(three, "Symbol", 0, 1);
  EXPECT_EQ(NoOrder(three), (std::vector<int32_t>{2, 1, 0}));
}

TEST(SortDataSet, OddModeComparesKeyAsNumberAndEvenModesWalkBackward) {
  std::vector<DescrDRow> rows{{0, "10", "a"}, {1, "9", "a"}, {2, "x", "a"}};
  SortDataSet(rows, "Symbol", 1, 1);  // "x" is no number: 0
  EXPECT_EQ(rows[0].No, 2);
  EXPECT_EQ(rows[1].No, 1);
  EXPECT_EQ(rows[2].No, 0);
  // Mode 2 on Name walks back to Symbol (lower case) and No.
  std::vector<DescrDRow> back{{5, "b", "n"}, {4, "A", "n"}, {3, "a", "n"}};
  SortDataSet(back, "Name", 2, 1);
  EXPECT_EQ(back[0].No, 3);
  EXPECT_EQ(back[1].No, 4);
  EXPECT_EQ(back[2].No, 5);
  EXPECT_FALSE(SortDataSet(back, "NoSuchColumn", 0, 1));
  EXPECT_FALSE(SortDataSet(back, "Name", 4, 1));
}

TEST(SortDataSet, SortsLargeTablesOfEqualAndSortedKeys) {
  std::vector<DescrRow> rows;
  for (int i = 0; i < 20000; ++i) rows.push_back(Row(i, i % 2 ? "S" : std::to_string(100000 + i)));
  ASSERT_TRUE(SortDataSet(rows, "Symbol", 0, 1));
  for (size_t i = 1; i < rows.size(); ++i) ASSERT_LE(rows[i - 1].Symbol, rows[i].Symbol);
}

struct SelectionCase {
  const char* what;
  std::string file;
  std::vector<std::pair<std::string, std::optional<bool>>> rows;  // Symbol, Active
};

class LoadSelectionFileTest : public testing::TestWithParam<SelectionCase> {};

TEST_P(LoadSelectionFileTest, LoadsRecords) {
  const SelectionCase& c = GetParam();
  test::TScratchDir dir;
  test::WriteFileBytes(dir.Path() / "IMASTER", c.file);
  OptionsTable table{OptionsRow{}};  // emptied first
  std::string header = "unset";
  LoadSelectionFile(dir.File("IMASTER"), ';', table, header);
  EXPECT_EQ(header, "Header");
  ASSERT_EQ(table.size(), c.rows.size()) << c.what;
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].Symbol.value_or("<null>"), c.rows[i].first) << c.what << " row " << i;
    EXPECT_EQ(table[i].Active, c.rows[i].second) << c.what << " row " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadSelectionFileTest,
    testing::Values(
        SelectionCase{"two records", " Header \nSymbol;ABC\nActive;True\n\nSymbol;XYZ\r\nActive;F\n",
                      {{"ABC", true}, {"XYZ", false}}},
        SelectionCase{"empty value and unknown column leave columns unset",
                      "Header\nSymbol;ABC\nActive;\nColour;red\nActive;maybe\n", {{"ABC", std::nullopt}}},
        SelectionCase{"empty fields do not count, extra fields dropped, names in any case",
                      "Header\n\n\nsymbol;;abc;ignored\nACTIVE;tr\n", {{"abc", true}}},
        SelectionCase{"ten lines make two records",
                      "Header\nSymbol;A\nName;n\nPeriod;5\nActive;T\nLoadDate;37000,5\nReserved;r\n"
                      "PeriodStr;D1\nIsNew;f\nIsExpired;t\nSymbol;B\n",
                      {{"A", true}, {"B", std::nullopt}}},
        SelectionCase{"only a header", "Header\n", {}},
        SelectionCase{"long symbol is cut to 20", "Header\nSymbol;ABCDEFGHIJKLMNOPQRSTUVWXYZ\n",
                      {{"ABCDEFGHIJKLMNOPQRST", std::nullopt}}}));

TEST(LoadSelectionFile, ReadsTypedColumnsAndRejectsBadValues) {
  test::TScratchDir dir;
  test::WriteFileBytes(dir.Path() / "IMASTER",
                       "H\nReserved;a;b\nLoadDate;37000,25\nPeriod;-7\nIsNew;fAl\n\n"
                       "LoadDate;37000.25\nPeriod;5x\nSymbol;Q\n");
  OptionsTable table;
  std::string header;
  LoadSelectionFile(dir.File("IMASTER"), ';', table, header);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].Reserved, "a");
  EXPECT_EQ(table[0].LoadDate, 37000.25);
  EXPECT_EQ(table[0].Period, -7);
  EXPECT_EQ(table[0].IsNew, false);
  EXPECT_FALSE(table[1].LoadDate.has_value());  // "." is not the decimal separator
  EXPECT_FALSE(table[1].Period.has_value());
}

TEST(LoadSelectionFile, MissingFileLeavesTableEmpty) {
  test::TScratchDir dir;
  OptionsTable table{OptionsRow{}};
  std::string header = "kept";
  LoadSelectionFile(dir.File("IMASTER"), ';', table, header);
  EXPECT_TRUE(table.empty());
  EXPECT_EQ(header, "kept");
}

TEST(SelectionPasses, FirstRowOfExactSymbolDecides) {
  OptionsTable table(3);
  table[0].Symbol = "abc";
  table[0].Active = true;
  table[1].Symbol = "ABC";
  table[1].Active = false;
  table[2].Symbol = "ABC";
  table[2].Active = true;
  EXPECT_TRUE(SelectionPasses(table, "abc"));
  EXPECT_FALSE(SelectionPasses(table, "ABC"));
  EXPECT_FALSE(SelectionPasses(table, "XYZ"));
}

}  // namespace
}  // namespace vz::app
