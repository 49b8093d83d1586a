#pragma once
// The run log: a plain-text file to which every run appends its record, one
// line per event, each line starting with the local date and time and the
// process id (two runs at once are told apart). Each line is one append, so
// the lines of two programs writing at once never mix. When the file has
// grown past its bound it is renamed (runs.log -> runs.1.log, replacing an
// older one) and a new one begun.
//
// A log that cannot be written never fails the run: the first failure is
// kept as the reason and nothing more is tried.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace vz::app {

inline constexpr std::uintmax_t kRunLogRotateBytes = 4u * 1024u * 1024u;

class TRunLog {
public:
  // `path` empty: the run keeps no log (Problem() is empty too). `now`
  // gives the local date-time for the lines.
  TRunLog(std::string path, std::function<double()> now, std::uintmax_t rotateBytes = kRunLogRotateBytes);
  TRunLog(const TRunLog&) = delete;
  TRunLog& operator=(const TRunLog&) = delete;

  // Appends one line per line of `text`; any thread.
  void Line(const std::string& text);

  const std::string& Path() const { return path_; }
  // True while lines reach the file.
  bool Writing() const;
  // Why the lines do not reach the file; "" while they do or when there is
  // no log by choice.
  std::string Problem() const;

private:
  void Append(const std::string& stamped);  // with mutex_ held
  void RotateIfFull();                      // with mutex_ held

  const std::string path_;
  const std::function<double()> now_;
  const std::uintmax_t rotateBytes_;
  mutable std::mutex mutex_;
  bool folderReady_ = false;
  std::string problem_;
};

// "2026-12-11 01:02:03": the stamp at the start of each line.
std::string RunLogStamp(double localDateTime);

}  // namespace vz::app
