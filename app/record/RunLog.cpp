#include "app/record/RunLog.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/record/RunLogPath.h"
#include "platform/AppendFile.h"
#include "platform/FileSystem.h"
#include "vuzuz/Dates.h"

namespace vz::app {

namespace fs = std::filesystem;

namespace {

// Notepad on older Windows shows a file of bare line feeds as one line.
#ifdef _WIN32
constexpr char kLineEnd[] = "\r\n";
#else
constexpr char kLineEnd[] = "\n";
#endif

// Control characters (a carriage return, a tab from a file name) would
// break the one-event-per-line layout.
std::string OneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  return out;
}

}  // namespace

std::string RunLogStamp(double localDateTime) {
  // Rounded to the second first, so 12:00:59.9995 does not print as :60.
  const double seconds = std::round(localDateTime * 86400.0);
  const double day = std::floor(seconds / 86400.0);
  const int second = static_cast<int>(seconds - day * 86400.0);
  const DateTimeParts p = DecodeDateTime(day);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, second / 3600,
                second / 60 % 60, second % 60);
  return text;
}

TRunLog::TRunLog(std::string path, std::function<double()> now, std::uintmax_t rotateBytes)
    : path_(std::move(path)), now_(std::move(now)), rotateBytes_(rotateBytes) {}

bool TRunLog::Writing() const {
  std::lock_guard lock(mutex_);
  return !path_.empty() && problem_.empty();
}

std::string TRunLog::Problem() const {
  std::lock_guard lock(mutex_);
  return problem_;
}

void TRunLog::Line(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (path_.empty() || !problem_.empty()) return;
  const std::string prefix =
      RunLogStamp(now_ ? now_() : 0) + " [" + std::to_string(platform::CurrentProcessId()) + "] ";
  size_t start = 0;
  while (problem_.empty()) {
    const size_t end = text.find('\n', start);
    Append(prefix + OneLine(text.substr(start, end == std::string::npos ? std::string::npos : end - start)) +
           kLineEnd);
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

void TRunLog::Append(const std::string& stamped) {
  if (!folderReady_) {
    const fs::path folder = platform::PathFromUtf8(path_).parent_path();
    std::error_code ec;
    if (!folder.empty() && !fs::is_directory(folder, ec)) {
      fs::create_directories(folder, ec);
      if (ec) {
        problem_ = "cannot create the folder " + platform::Utf8FromPath(folder) + ": " + ec.message();
        return;
      }
    }
    folderReady_ = true;
  }
  RotateIfFull();
  if (const std::string why = platform::AppendToFile(path_, stamped); !why.empty())
    problem_ = "cannot write " + path_ + ": " + why;
}

void TRunLog::RotateIfFull() {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(platform::PathFromUtf8(path_), ec);
  if (ec || size <= rotateBytes_) return;
  // A rename that fails (another run rotated it first, a file held open)
  // leaves the log growing a little longer: the next line tries again.
  platform::MoveFileOver(path_, RotatedRunLogPath(path_));
}

}  // namespace vz::app
