#include "automation/GlobalServer.h"

namespace vz::automation {

namespace {

class TAbsentGlobalServer final : public IGlobalServer {
public:
  bool FindMainWindow() override { return false; }
  bool OnThisSystem() const override { return false; }
  std::string CheckImport() override { return "GlobalServer is not running"; }
  std::string CheckDelete() override { return "GlobalServer is not running"; }
  DeleteOutcome Delete(double, double) override { return DeleteOutcome::NotRunning; }
  ImportOutcome Import(const std::vector<std::string>&) override { return ImportOutcome::NotRunning; }
};

}  // namespace

std::unique_ptr<IGlobalServer> MakeAbsentGlobalServer(StepLog) { return std::make_unique<TAbsentGlobalServer>(); }

}  // namespace vz::automation
