#pragma once
// Stand-ins for the run's collaborators: stages, GlobalServer and the range
// dialog, all writing into one call log so tests can check the sequence.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/run/ConversionStages.h"
#include "app/run/RunStatus.h"
#include "automation/GlobalServer.h"

namespace vz::test {

class TCallLog {
public:
  void Add(const std::string& entry) {
    std::lock_guard lock(mutex_);
    entries_.push_back(entry);
  }
  std::vector<std::string> Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
  }

private:
  mutable std::mutex mutex_;
  std::vector<std::string> entries_;
};

// Stages that succeed unless told otherwise; `onStage` runs inside each
// stage (to request a stop, to throw, ...).
class TFakeStages final : public app::IConversionStages {
public:
  explicit TFakeStages(TCallLog& log) : log_(log) {}
  std::string failAt;  // "analyse", "collect" or "export"
  std::function<void(const std::string& stage)> onStage;

  bool AnalyseSecurities() override { return Stage("analyse"); }
  bool CollectPriceData() override { return Stage("collect"); }
  bool ExportArchives() override { return Stage("export"); }
  void CloseMsDirectory() override { log_.Add("close-ms"); }
  bool LeftOut() const override { return leftOut; }
  std::string Notes() const override { return notes; }
  bool leftOut = false;  // what the export reports after its stage
  std::string notes;     // the run's notes so far

private:
  bool Stage(const std::string& name) {
    log_.Add(name);
    if (onStage) onStage(name);
    return failAt != name;
  }
  TCallLog& log_;
};

class TFakeGlobalServer final : public automation::IGlobalServer {
public:
  explicit TFakeGlobalServer(TCallLog& log) : log_(log) {}
  bool running = true;
  bool onThisSystem = true;
  std::string checkProblem;  // what CheckImport answers
  std::vector<bool> deleteResults;  // consumed in order; true once used up
  std::vector<automation::ImportOutcome> importResults;  // consumed in order; Imported once used up
  std::vector<std::vector<std::string>> imported;

  bool FindMainWindow() override {
    log_.Add(running ? "find:yes" : "find:no");
    return running;
  }
  bool OnThisSystem() const override { return onThisSystem; }
  std::string CheckImport() override {
    log_.Add("check");
    return checkProblem;
  }
  automation::DeleteOutcome Delete(double from, double to) override {
    log_.Add("delete " + std::to_string(from) + " " + std::to_string(to));
    return Next(deleteResults, true) ? automation::DeleteOutcome::Deleted : automation::DeleteOutcome::Failed;
  }
  automation::ImportOutcome Import(const std::vector<std::string>& files) override {
    log_.Add("import " + std::to_string(files.size()));
    imported.push_back(files);
    return Next(importResults, automation::ImportOutcome::Imported);
  }

private:
  template <class Result>
  static Result Next(std::vector<Result>& results, Result whenUsedUp) {
    if (results.empty()) return whenUsedUp;
    const Result result = results.front();
    results.erase(results.begin());
    return result;
  }
  TCallLog& log_;
};

class TFakeRangeDialog final : public automation::IImportRangeDialog {
public:
  explicit TFakeRangeDialog(TCallLog& log) : log_(log) {}
  bool ok = true;
  double answerFrom = 0;
  double answerTo = 0;
  double shownFrom = -1;
  double shownTo = -1;
  bool Ask(double& from, double& to) override {
    log_.Add("dialog");
    shownFrom = from;
    shownTo = to;
    if (ok) {
      from = answerFrom;
      to = answerTo;
    }
    return ok;
  }

private:
  TCallLog& log_;
};

class TFakeRunStatus final : public app::IRunStatus {
public:
  explicit TFakeRunStatus(TCallLog& log) : log_(log) {}
  bool stop = false;
  std::vector<std::string> logLines;
  void SetStatus(const std::string& text) override { log_.Add("status " + text); }
  void LogLine(const std::string& text) override { logLines.push_back(text); }
  void SetStatusDetail(const std::string& text) override { log_.Add("detail " + text); }
  void ShowMessage(const std::string& text) override { log_.Add("message " + text); }
  bool StopRequested() const override { return stop; }

private:
  TCallLog& log_;
};

}  // namespace vz::test
