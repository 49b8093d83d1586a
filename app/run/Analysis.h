#pragma once
// The security analysis: which securities of the open directory the run
// converts, under which name and interval, and in which order.
#include <cstdint>
#include <string>
#include <vector>

#include "app/run/AnalysisSource.h"
#include "app/run/RunSettings.h"
#include "app/run/RunStatus.h"
#include "app/run/Tables.h"

namespace vz::app {

// Securities the run could not take as they are, gathered over one run and
// reported once at its end of analysis, each list naming the securities.
struct RunNotes {
  std::vector<std::string> invalidPeriod;   // period text before "_" unreadable: name kept whole
  std::vector<std::string> badFirstLast;    // first/last date-time unreadable: bars read anyway
  std::vector<std::string> emptySymbol;     // converted under their name
  std::vector<std::string> skippedNoName;   // neither symbol nor name: left out
  std::vector<std::string> skippedSets;     // file sets whose values the files cannot hold
  std::vector<std::string> skippedRecords;  // master records the directory's list leaves out
  std::vector<std::string> unreadable;      // data could not be read: left out
  std::vector<std::string> leftOutData;     // bars or securities a file could not hold: left out of that set
  std::vector<std::string> reordered;       // bars out of time order: sorted, repeats dropped
  std::vector<std::string> sharedSymbol;    // another security of the same symbol was converted
  std::vector<std::string> overBudgetDays;  // days converted alone, beyond the memory budget

  bool Empty() const {
    return invalidPeriod.empty() && badFirstLast.empty() && emptySymbol.empty() && skippedNoName.empty() &&
           skippedSets.empty() && skippedRecords.empty() && unreadable.empty() && leftOutData.empty() &&
           reordered.empty() && sharedSymbol.empty() && overBudgetDays.empty();
  }
  // True when some security's data, or part of it, did not reach the
  // archives (the export completed with something left out).
  bool LeftOut() const {
    return !skippedNoName.empty() || !skippedSets.empty() || !skippedRecords.empty() || !unreadable.empty() ||
           !leftOutData.empty();
  }
  // One text listing every note, for a single message.
  std::string Text() const;
  // Adds the names `other` gives that these notes do not have yet, each
  // list in its order: a run read in several windows names each security
  // once.
  void MergeNew(const RunNotes& other);
};

struct SecurityTables {
  std::vector<DescrRow> descr;    // TblDescr
  std::vector<DescrDRow> descrD;  // TblDescrD
  OptionsTable options;           // TblOptions
};


// The date-time of a master-file time stamp; false when it names no valid
// date-time. Seconds beyond 59 (seen in real files) are dropped.
bool SecurityDateTime(const std::tm& tm, double& value);

// Fills and sorts the two securities tables from the source's list
// (stopping at once, unsorted, on a stop request). Always true.
bool FillSecurityTables(const IMsSource& source, const TRunSettings& settings, const IRunStatus& status,
                        SecurityTables& tables, RunNotes& notes);

}  // namespace vz::app
