#include "automation/Desktop.h"
#include "automation/GlobalServer.h"
#include "automation/GlobalServerWindows.h"
#include "automation/GlobalServerWizards.h"

namespace vz::automation {

namespace {

class TDesktopGlobalServer final : public IGlobalServer {
public:
  TDesktopGlobalServer(std::unique_ptr<IDesktop> desktop, StepLog log)
      : desktop_(std::move(desktop)), log_(std::move(log)) {}

  bool FindMainWindow() override { return desktop_->FindWindowByClass(gs::kMainWindowClass) != 0; }
  void BeginStep(StepLog note, std::int64_t boundMs) override {
    bound_ = TStepBound(desktop_->NowMs() + boundMs, std::move(note));
  }
  std::string CheckImport() override { return GlobalServerCheckImport(*desktop_, log_, &bound_); }
  std::string CheckDelete() override { return GlobalServerCheckDelete(*desktop_, log_, &bound_); }
  DeleteOutcome Delete(double from, double to) override {
    return GlobalServerDelete(*desktop_, from, to, log_, &bound_);
  }
  ImportOutcome Import(const std::vector<std::string>& files) override {
    return GlobalServerImport(*desktop_, files, log_, &bound_);
  }

private:
  std::unique_ptr<IDesktop> desktop_;
  StepLog log_;
  TStepBound bound_;
};

}  // namespace

std::unique_ptr<IGlobalServer> MakeDesktopGlobalServer(std::unique_ptr<IDesktop> desktop, StepLog log) {
  return std::make_unique<TDesktopGlobalServer>(std::move(desktop), std::move(log));
}

}  // namespace vz::automation
