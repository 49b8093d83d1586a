#include "app/run/AnalysisSource.h"

#include <algorithm>
#include <cstring>

#include "metastock/MsDirectory.h"
#include "platform/UserName.h"

namespace vz::app {

namespace {

constexpr int32_t kMsVersion = 100;
constexpr char kAppName[] = "Vuzuz archive creator";

// A fixed character field as text: up to its first zero, never beyond it.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

class TMsDirectorySource final : public IMsSource {
public:
  explicit TMsDirectorySource(MsDirectory* dir) : dir_(dir) {}
  ~TMsDirectorySource() override { Close(); }

  int SecurityCount() const override {
    return dir_ ? static_cast<int>(std::min<size_t>(dir_->securities.size(), INT32_MAX)) : 0;
  }

  SecurityEntry Security(int q) const override {
    const MsSecurity& r = dir_->securities.at(static_cast<size_t>(q));
    SecurityEntry e;
    e.inUse = r.inUse != 0;
    e.hidden = r.hidden != 0;
    e.period = r.period;
    e.interval = r.interval;
    e.first = r.first;
    e.last = r.last;
    e.symbol = FieldText(r.symbol);
    e.name = FieldText(r.name);
    return e;
  }

  void ReadBars(int q, std::vector<BarEntry>& bars) override {
    bars.clear();
    if (!dir_ || q < 0 || static_cast<size_t>(q) >= dir_->securities.size()) return;
    if (MsReadBars(*dir_, dir_->securities[static_cast<size_t>(q)], bars) < 0) bars.clear();
  }

  void Close() override {
    if (!dir_) return;
    skipped_ = dir_->skippedRecords;
    if (MsCloseDirectory(dir_) != 1) closeFailure_ = MsLastError();
    dir_ = nullptr;
  }

  std::string CloseFailure() const override { return closeFailure_; }
  std::vector<std::string> SkippedRecords() const override { return dir_ ? dir_->skippedRecords : skipped_; }

private:
  MsDirectory* dir_;
  std::string closeFailure_;
  std::vector<std::string> skipped_;
};

}  // namespace

std::unique_ptr<IMsSource> OpenMsSource(const std::string& dir, bool& raised, std::string& why) {
  raised = false;
  why.clear();
  MsDirectory* opened = nullptr;
  try {
    opened = MsOpenDirectory(dir, kMsVersion, kAppName, platform::RegisteredOwner());
  } catch (...) {
    raised = true;  // "Can't open data files."
    return nullptr;
  }
  if (!opened) {
    why = MsLastError();
    return nullptr;
  }
  return std::make_unique<TMsDirectorySource>(opened);
}

}  // namespace vz::app
