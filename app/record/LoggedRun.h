#pragma once
// The parts of a run that report to its record: the three stages, timed,
// with the run's notes after the last, and GlobalServer, whose delete and
// import outcomes are written. Each wraps the real part and passes every
// call on unchanged.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/run/ConversionStages.h"
#include "app/record/RunRecorder.h"
#include "automation/GlobalServer.h"

namespace vz::app {

class TLoggedStages final : public IConversionStages {
public:
  TLoggedStages(IConversionStages& inner, const IRunStatus& status, TRunRecorder& recorder)
      : inner_(inner), status_(status), recorder_(recorder) {}
  bool AnalyseSecurities() override;
  bool CollectPriceData() override;
  bool ExportArchives() override;
  void CloseMsDirectory() override { inner_.CloseMsDirectory(); }
  bool LeftOut() const override { return inner_.LeftOut(); }
  std::string Notes() const override { return inner_.Notes(); }

private:
  template <class Call>
  bool Stage(const char* name, bool last, Call call);

  IConversionStages& inner_;
  const IRunStatus& status_;
  TRunRecorder& recorder_;
};

class TLoggedGlobalServer final : public automation::IGlobalServer {
public:
  TLoggedGlobalServer(automation::IGlobalServer& inner, TRunRecorder& recorder) : inner_(inner), recorder_(recorder) {}
  bool FindMainWindow() override { return inner_.FindMainWindow(); }
  bool OnThisSystem() const override { return inner_.OnThisSystem(); }
  void BeginStep(automation::StepLog note, std::int64_t boundMs) override { inner_.BeginStep(std::move(note), boundMs); }
  std::string CheckImport() override;
  std::string CheckDelete() override;
  automation::DeleteOutcome Delete(double from, double to) override;
  automation::ImportOutcome Import(const std::vector<std::string>& files) override;

private:
  automation::IGlobalServer& inner_;
  TRunRecorder& recorder_;
};

}  // namespace vz::app
