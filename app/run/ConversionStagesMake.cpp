// The production stages and clocks of a run.
#include "app/run/Conversion.h"
#include "app/run/ConversionStages.h"
#include "vuzuz/Dates.h"

namespace vz::app {

namespace {

class TConversionStages final : public IConversionStages {
public:
  TConversionStages(const TRunSettings& settings, IRunStatus& status) : conversion_(settings, status) {}
  bool AnalyseSecurities() override { return conversion_.AnalyseSecurities(); }
  bool CollectPriceData() override { return conversion_.CollectPriceData(); }
  bool ExportArchives() override { return conversion_.ExportArchives(); }
  void CloseMsDirectory() override { conversion_.CloseMsDirectory(); }
  bool LeftOut() const override { return conversion_.LeftOut(); }
  std::string Notes() const override { return conversion_.Notes(); }

private:
  TConversion conversion_;
};

}  // namespace

std::unique_ptr<IConversionStages> MakeConversionStages(const TRunSettings& settings, IRunStatus& status) {
  return std::make_unique<TConversionStages>(settings, status);
}

double NextStartDate(const std::string& outputDir, double today) { return FindNextStartDate(outputDir, today); }

double DeleteWizardClock(double dateTime) { return UtcToLocal(PlusOneToUtc(dateTime)); }

}  // namespace vz::app
