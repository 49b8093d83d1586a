#include "app/run/Conversion.h"

#include <exception>
#include <new>

#include "app/run/Analysis.h"
#include "app/run/AnalysisSource.h"
#include "app/run/Collection.h"
#include "app/run/Export.h"
#include "app/run/Selection.h"
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

  State(const TRunSettings& s, IRunStatus& st) : settings(s), status(st) {}
};

namespace {

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

int64_t TConversion::KeptIntradayBars() const { return state_->data.tickTotal / 4; }

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
    CollectBars(*s.source, s.settings, s.status, s.tables, s.data, s.notes);
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
    const bool done = WriteArchives(s.settings, s.status, s.data, s.notes, s.exportOptions);
    if (!s.notes.Empty() && (!s.settings.autoClose || !s.status.MessagesWaitForUser()))
      s.status.ShowMessage(s.notes.Text());
    return done;
  });
}

void TConversion::CloseMsDirectory() {
  if (!state_->source) return;
  state_->source->Close();
  state_->closeFailure = state_->source->CloseFailure();
  state_->source.reset();
}

}  // namespace vz::app
