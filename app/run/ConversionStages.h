#pragma once
// The three stages of a run behind an interface, so the run's sequence can be
// driven by stand-ins; the production stages are TConversion's.
#include <functional>
#include <memory>
#include <string>

#include "app/run/RunSettings.h"
#include "app/run/RunStatus.h"

namespace vz::app {

class IConversionStages {
public:
  virtual ~IConversionStages() = default;
  virtual bool AnalyseSecurities() = 0;
  virtual bool CollectPriceData() = 0;
  virtual bool ExportArchives() = 0;
  virtual void CloseMsDirectory() = 0;
  // After the export: whether it completed with something left out.
  virtual bool LeftOut() const { return false; }
  // The run's notes so far (left out, reordered, same symbol...), one per
  // line; empty when there is nothing to say.
  virtual std::string Notes() const { return {}; }
};

using StagesFactory = std::function<std::unique_ptr<IConversionStages>(const TRunSettings&, IRunStatus&)>;

// The stages of the conversion library for one run.
std::unique_ptr<IConversionStages> MakeConversionStages(const TRunSettings& settings, IRunStatus& status);

// The From date that follows the archives in an output directory.
double NextStartDate(const std::string& outputDir, double today);

// The delete wizard's clock: GlobalServer's local time of a date-time on the
// data's UTC+1 clock.
double DeleteWizardClock(double dateTime);

}  // namespace vz::app
