// The console's progress: the counts of a long stage with the elapsed time,
// one line in place on a terminal, few plain lines when piped.
#include "app/console/ConsoleView.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vz::app {
namespace {

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A run over many securities and days, as the stages report it.
void ReportLongRun(TConsoleView& view) {
  view.ShowStatus("Analysing MetaStock directory...", "");
  constexpr int kSecurities = 500;
  for (int i = 0; i < kSecurities; ++i) {
    view.ShowProgress(RunCounter::SecuritiesRead, i, kSecurities);
    view.ShowStatus("Reading S" + std::to_string(i) + "...", "");
    view.ShowStatus("Creating daily data for S" + std::to_string(i) + "...", "");
    view.ShowStatus("Creating daily data for S" + std::to_string(i) + "...", "0/40");
  }
  view.ShowProgress(RunCounter::SecuritiesRead, kSecurities, kSecurities);
  view.ShowStatus("Exporting daily data...", "");
  view.ShowProgress(RunCounter::MonthsWritten, 0, 2);
  view.ShowStatus("Exporting daily data...", "11.26");
  view.ShowProgress(RunCounter::MonthsWritten, 1, 2);
  view.ShowStatus("Exporting daily data...", "12.26");
  view.ShowProgress(RunCounter::MonthsWritten, 2, 2);
  view.ShowStatus("Exporting intraday data...", "");
  for (int d = 0; d < 300; ++d) {
    view.ShowProgress(RunCounter::DaysWritten, d, 300);
    view.ShowStatus("Exporting intraday data...", "day " + std::to_string(d));
  }
}

TEST(ConsoleView, PipedProgressStaysFewLinesAndEndsWithTheFinalStatus) {
  std::ostringstream err;
  TConsoleView view(err, false);
  ReportLongRun(view);
  view.ShowStatus("Terminated.", "");  // stopped inside the day loop
  view.RunEnded(RunResult{RunEnd::Stopped});
  const std::string text = err.str();
  EXPECT_LE(CountOf(text, "\n"), 8u) << text;
  EXPECT_EQ(text.find('\r'), std::string::npos);
  // Each stage's first line carries its count and the elapsed time.
  EXPECT_NE(text.find("[0:00] Analysing MetaStock directory...\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[0:00] 0/500 securities read  Reading S0...\n"), std::string::npos) << text;
  EXPECT_NE(text.find("2/2 months written  Exporting intraday data..."), std::string::npos) << text;
  EXPECT_NE(text.find("0/300 days written  Exporting intraday data...  day 0\n"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1), "[0:00] 299/300 days written  Terminated.\n");
}

TEST(ConsoleView, TerminalProgressIsOneLineWithTheCount) {
  std::ostringstream err;
  TConsoleView view(err, true);
  ReportLongRun(view);
  view.RunEnded(RunResult{});  // draws what the redraw rate held back
  const std::string text = err.str();
  EXPECT_EQ(text.find('\n'), std::string::npos);
  // Each stage's first line is drawn; the many steps inside it are not all.
  EXPECT_LE(CountOf(text, "\r\x1b[K"), 12u) << text;
  EXPECT_NE(text.find("\r\x1b[K[0:00] 0/300 days written"), std::string::npos) << text;
  const std::string last = text.substr(text.rfind("\r\x1b[K") + 4);
  EXPECT_EQ(last, "[0:00] 299/300 days written  Exporting intraday data...  day 299");
  view.ShowLine("Export complete.");
  EXPECT_EQ(err.str().substr(text.size()), "\nExport complete.\n");
}

}  // namespace
}  // namespace vz::app
