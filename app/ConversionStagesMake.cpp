// Production stages. The conversion library is built from its own files;
// while they are not part of the tree (VZ_HAVE_CONVERSION unset) every run
// fails its first stage with a message that says so.
#include "app/ConversionStages.h"

#ifdef VZ_HAVE_CONVERSION
#include "app/Conversion.h"
#endif

namespace vz::app {

namespace {

#ifdef VZ_HAVE_CONVERSION
class TConversionStages final : public IConversionStages {
public:
  TConversionStages(const TRunSettings& settings, IRunStatus& status) : conversion_(settings, status) {}
  bool AnalyseSecurities() override { return conversion_.AnalyseSecurities(); }
  bool CollectPriceData() override { return conversion_.CollectPriceData(); }
  bool ExportArchives() override { return conversion_.ExportArchives(); }
  void CloseMsDirectory() override { conversion_.CloseMsDirectory(); }

private:
  TConversion conversion_;
};
#else
class TMissingStages final : public IConversionStages {
public:
  explicit TMissingStages(IRunStatus& status) : status_(status) {}
  bool AnalyseSecurities() override {
    status_.ShowMessage("This build has no conversion stages.");
    return false;
  }
  bool CollectPriceData() override { return false; }
  bool ExportArchives() override { return false; }
  void CloseMsDirectory() override {}

private:
  IRunStatus& status_;
};
#endif

}  // namespace

std::unique_ptr<IConversionStages> MakeConversionStages(const TRunSettings& settings, IRunStatus& status) {
#ifdef VZ_HAVE_CONVERSION
  return std::make_unique<TConversionStages>(settings, status);
#else
  (void)settings;
  return std::make_unique<TMissingStages>(status);
#endif
}

double NextStartDate(const std::string& outputDir, double today) {
#ifdef VZ_HAVE_CONVERSION
  return FindNextStartDate(outputDir, today);
#else
  (void)outputDir;
  return today;
#endif
}

}  // namespace vz::app
