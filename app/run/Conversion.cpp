#include "app/run/Conversion.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>

#include "app/run/Analysis.h"
#include "app/run/AnalysisSource.h"
#include "app/run/Collection.h"
#include "app/run/ConversionWindows.h"
#include "app/run/DayText.h"
#include "app/run/Export.h"
#include "app/run/MemoryBudget.h"
#include "app/run/Selection.h"
#include "vuzuz/Dates.h"
#include "vuzuz/ShowError.h"

namespace vz::app {

struct TConversion::State {
  TRunSettings settings;
  IRunStatus& status;
  std::unique_ptr<IMsSource> source;
  SecurityTables tables;
  CollectedData data;
  RunNotes notes;
  ExportOptions exportOptions;
  std::string closeFailure;  // why the last closing of the directory could not finish
  // A range whose bars do not fit the memory budget goes in several
  // windows: the collection stage keeps the first, the export stage
  // exports it and collects and exports the others in turn.
  WindowPlan plan;
  SharedSymbolChoice choice;
  int64_t keptBars = 0;  // intraday bars kept over all windows
  int64_t keptDailyRows = 0;

  State(const TRunSettings& s, IRunStatus& st) : settings(s), status(st) {}
};

namespace {

// The status of one window of several: the securities read count over all
// windows, so the progress line runs once over the whole run.
class TWindowStatus final : public IRunStatus {
public:
  TWindowStatus(IRunStatus& status, size_t window, size_t windows)
      : status_(status), window_(static_cast<int64_t>(window)), windows_(static_cast<int64_t>(windows)) {}
  void SetStatus(const std::string& text) override { status_.SetStatus(text); }
  void SetStatusDetail(const std::string& text) override { status_.SetStatusDetail(text); }
  void SetProgress(RunCounter counter, int64_t done, int64_t total) override {
    if (counter == RunCounter::SecuritiesRead) status_.SetProgress(counter, window_ * total + done, windows_ * total);
    else status_.SetProgress(counter, done, total);
  }
  void ShowMessage(const std::string& text) override { status_.ShowMessage(text); }
  bool StopRequested() const override { return status_.StopRequested(); }
  void LogLine(const std::string& text) override { status_.LogLine(text); }
  bool MessagesWaitForUser() const override { return status_.MessagesWaitForUser(); }

private:
  IRunStatus& status_;
  int64_t window_;
  int64_t windows_;
};

// What the window planner needs of the chosen securities.
std::vector<SecurityEstimate> EstimateSecurities(const IMsSource& source, const SecurityTables& tables) {
  std::vector<SecurityEstimate> estimates;
  for (const DescrRow& row : tables.descr) {
    if (!(row.DateFrom <= row.DateTo)) continue;  // not read at all
    SecurityEstimate e;
    e.intraday = true;
    e.records = std::max<int64_t>(0, source.RecordCount(row.No));
    // Unreadable bounds (stored as 0 and 0) spread over the range.
    if (row.DateFrom > 0) {
      e.first = row.DateFrom;
      e.last = row.DateTo;
    }
    estimates.push_back(e);
  }
  for (const DescrDRow& row : tables.descrD) {
    SecurityEstimate e;
    e.records = std::max<int64_t>(0, source.RecordCount(row.No));
    const SecurityEntry entry = source.Security(row.No);
    double first = 0, last = 0;
    if (SecurityDateTime(entry.first, first) && SecurityDateTime(entry.last, last)) {
      e.first = first;
      e.last = last;
    }
    estimates.push_back(e);
  }
  return estimates;
}

// The export span of one window of several; progress counts the range.
ExportSpan WindowSpan(const TRunSettings& settings, const ConversionWindow& window) {
  const ExportSpan whole = WholeRangeSpan(settings);
  ExportSpan span;
  span.firstMonth = window.firstMonth;
  span.lastMonth = window.lastMonth;
  span.firstDay = window.firstDay;
  span.lastDay = window.lastDay;
  span.wholeRange = false;
  span.rangeFirstMonth = whole.firstMonth;
  span.rangeMonths = std::max(0, whole.lastMonth - whole.firstMonth + 1);
  span.rangeFirstDay = whole.firstDay;
  span.rangeDays = std::max<int64_t>(0, whole.lastDay - whole.firstDay + 1);
  return span;
}

// Runs a stage body; an error that escapes it (memory exhausted, a file
// system error) fails the stage with a message instead of leaving the
// worker thread.
template <class Body>
bool Guarded(Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    ShowError("Not enough memory for the conversion.");
  } catch (const std::exception& e) {
    ShowError(std::string("Conversion failed: ") + e.what());
  }
  return false;
}

}  // namespace

TConversion::TConversion(const TRunSettings& settings, IRunStatus& status)
    : state_(std::make_unique<State>(settings, status)) {}

TConversion::~TConversion() { CloseMsDirectory(); }

void TConversion::SetExportOptions(const ExportOptions& options) { state_->exportOptions = options; }

std::string TConversion::Notes() const { return state_->notes.Text(); }

bool TConversion::LeftOut() const { return state_->notes.LeftOut(); }

int64_t TConversion::KeptIntradayBars() const { return state_->keptBars; }

int64_t TConversion::KeptDailyRows() const { return state_->keptDailyRows; }

size_t TConversion::Windows() const { return state_->plan.windows.size(); }

bool TConversion::AnalyseSecurities() {
  return Guarded([&] {
    State& s = *state_;
    s.status.SetStatus("Analysing MetaStock directory...");
    CloseMsDirectory();
    bool raised = false;
    std::string why;
    s.source = OpenMsSource(s.settings.msDir, raised, why);
    if (!s.source) {
      // A refusal has no box of its own; the reason stays in the status bar.
      if (raised) s.status.ShowMessage("Can't open data files.");
      else if (!why.empty()) s.status.SetStatusDetail(why);
      return false;
    }
    s.tables = SecurityTables{};
    s.notes = RunNotes{};
    if (s.settings.selected) {
      std::string header;
      LoadSelectionFile(s.settings.msDir + "IMASTER", ';', s.tables.options, header);
    }
    return FillSecurityTables(*s.source, s.settings, s.status, s.tables, s.notes);
  });
}

bool TConversion::CollectPriceData() {
  return Guarded([&] {
    State& s = *state_;
    if (!s.source) return true;  // nothing open: nothing to read
    s.plan = PlanWindows(s.settings, EstimateSecurities(*s.source, s.tables), MemoryBudgetBytes(s.settings),
                         s.exportOptions.packThreads);
    if (s.plan.windows.size() > 1) {
      // The directory stays open for the windows to come.
      s.status.LogLine("The range's bars need about " + std::to_string(s.plan.estimatedBytes / kMiB) +
                       " MiB: converted in " + std::to_string(s.plan.windows.size()) +
                       " windows within the memory budget of " + std::to_string(MemoryBudgetBytes(s.settings) / kMiB) +
                       " MiB");
      s.choice = ChooseSharedSymbols(*s.source, s.settings, s.status, s.tables);
      if (s.choice.stopped) return true;
      TWindowStatus status(s.status, 0, s.plan.windows.size());
      CollectWindowBars(*s.source, s.settings, s.plan.windows[0].collect, s.choice, status, s.tables, s.data,
                        s.notes);
      s.keptBars = s.data.tickTotal / 4;
      s.keptDailyRows = s.data.DailyRowCount();
      return true;
    }
    CollectBars(*s.source, s.settings, s.status, s.tables, s.data, s.notes);
    s.keptBars = s.data.tickTotal / 4;
    s.keptDailyRows = s.data.DailyRowCount();
    CloseMsDirectory();  // after a stop as well: the run would close it next
    // A closing that could not finish leaves the directory marked open for
    // every program: the run ends failed, saying so.
    if (!s.closeFailure.empty()) {
      s.status.SetStatus("Can't close the MetaStock directory.");
      s.status.SetStatusDetail(s.closeFailure);
      return false;
    }
    return true;
  });
}

bool TConversion::ExportArchives() {
  return Guarded([&] {
    State& s = *state_;
    const bool done = s.plan.windows.size() > 1
                          ? ExportWindows()
                          : WriteArchives(s.settings, s.status, s.data, s.notes, s.exportOptions);
    if (!s.notes.Empty() && (!s.settings.autoClose || !s.status.MessagesWaitForUser()))
      s.status.ShowMessage(s.notes.Text());
    return done;
  });
}

bool TConversion::ExportWindows() {
  State& s = *state_;
  const std::vector<ConversionWindow>& windows = s.plan.windows;
  TArchiveExport exporter(s.settings, s.status, s.exportOptions);
  bool written = true;
  for (size_t w = 0; w < windows.size(); ++w) {
    TWindowStatus status(s.status, w, windows.size());
    s.status.LogLine("Window " + std::to_string(w + 1) + " of " + std::to_string(windows.size()) + ": " +
                     IsoDayText(windows[w].firstDay) + " to " + IsoDayText(windows[w].lastDay));
    if (w > 0) {
      if (s.status.StopRequested()) break;
      // Each window reads every security again; what the reading notes is
      // the same each time and named once.
      RunNotes notes;
      CollectWindowBars(*s.source, s.settings, windows[w].collect, s.choice, status, s.tables, s.data, notes);
      s.notes.MergeNew(notes);
      s.keptBars += s.data.tickTotal / 4;
      s.keptDailyRows += s.data.DailyRowCount();
    }
    if (w + 1 == windows.size()) {
      CloseMsDirectory();
      if (!s.closeFailure.empty()) {
        exporter.Finish(s.notes);
        s.status.SetStatus("Can't close the MetaStock directory.");
        s.status.SetStatusDetail(s.closeFailure);
        return false;
      }
    }
    if (s.status.StopRequested()) break;
    written = exporter.Write(s.data, WindowSpan(s.settings, windows[w]));
    s.data = CollectedData{};
    if (!written || s.status.StopRequested()) break;
  }
  s.data = CollectedData{};
  // The shared-symbol choice was made once, over the whole range.
  s.notes.sharedSymbol.insert(s.notes.sharedSymbol.end(), s.choice.notes.begin(), s.choice.notes.end());
  for (int64_t day : s.plan.daysOverBudget) s.notes.overBudgetDays.push_back(IsoDayText(day));
  return exporter.Finish(s.notes) && written;
}

void TConversion::CloseMsDirectory() {
  if (!state_->source) return;
  state_->source->Close();
  state_->closeFailure = state_->source->CloseFailure();
  state_->source.reset();
}

}  // namespace vz::app
