#include "app/run/AnalysisSource.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "metastock/MsDirectory.h"
#include "platform/UserName.h"

namespace vz::app {

namespace {

constexpr int32_t kMsVersion = 100;
constexpr char kAppName[] = "Vuzuz archive creator";

// A fixed character field as text: up to its first zero, never beyond it.
// A UTF-8 path text as a path: on Windows a plain text would be read in
// the system's code page, and a folder named in another script would look
// missing.
std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// The last part of a path.
std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

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
    e.fileNumber = r.fileNumber;
    return e;
  }

  bool ReadBars(int q, std::vector<BarEntry>& bars, std::string& why) override {
    bars.clear();
    if (!dir_ || q < 0 || static_cast<size_t>(q) >= dir_->securities.size()) {
      why = "no such security";
      return false;
    }
    MsSecurity& security = dir_->securities[static_cast<size_t>(q)];
    const std::string path = MsDataFileName(*dir_, security.fileNumber);
    // Only a regular file is read: a pipe or a device would block the run,
    // a folder or a link loop cannot hold prices. The read makes an empty
    // file where none exists; a missing file still means the security's
    // prices are not there.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(PathFromUtf8(path), ec);
    const bool existed = status.type() != std::filesystem::file_type::not_found;
    if (existed && (ec || !std::filesystem::is_regular_file(status))) {
      why = FileNameOf(path) + (ec ? " cannot be read: " + ec.message() : " is not a regular file");
      return false;
    }
    if (MsReadBars(*dir_, security, bars) < 0) {
      bars.clear();
      why = FileNameOf(path) + " cannot be read";
      return false;
    }
    if (!existed) {
      bars.clear();
      why = FileNameOf(path) + " is missing";
      return false;
    }
    return true;
  }

  int64_t RecordCount(int q) const override {
    if (!dir_ || q < 0 || static_cast<size_t>(q) >= dir_->securities.size()) return -1;
    const MsSecurity& security = dir_->securities[static_cast<size_t>(q)];
    if (security.fieldCount <= 0) return -1;
    std::error_code ec;
    const uintmax_t bytes = std::filesystem::file_size(PathFromUtf8(MsDataFileName(*dir_, security.fileNumber)), ec);
    if (ec) return -1;
    // The first record is the file's header.
    const int64_t records = static_cast<int64_t>(bytes / (static_cast<uintmax_t>(security.fieldCount) * 4));
    return std::max<int64_t>(0, records - 1);
  }

  void Close() override {
    if (!dir_) return;
    skipped_ = MsDescribeSkipped(dir_->skippedRecords);
    if (MsCloseDirectory(dir_) != 1) closeFailure_ = MsLastError();
    dir_ = nullptr;
  }

  std::string CloseFailure() const override { return closeFailure_; }
  std::vector<std::string> SkippedRecords() const override {
    return dir_ ? MsDescribeSkipped(dir_->skippedRecords) : skipped_;
  }

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

std::unique_ptr<IMsSource> OpenMsSourceToRead(const std::string& dir, std::string& why) {
  why.clear();
  MsDirectory* opened = MsOpenDirectoryToRead(dir);
  if (!opened) {
    why = MsLastError();
    return nullptr;
  }
  return std::make_unique<TMsDirectorySource>(opened);
}

}  // namespace vz::app
