#include "app/record/RunRecorder.h"

#include <cstdio>

namespace vz::app {

namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds < 0 ? 0.0 : seconds);
  return text;
}

void EachLine(const std::string& text, const std::string& prefix, TRunLog& log) {
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty()) log.Line(prefix + line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

}  // namespace

void TRunRecorder::Started(const std::string& version, const std::string& settingsText) {
  log_.Line(std::string(kRunLogStartMark) + " (vuzuz-archive-creator " + version + ")");
  EachLine(settingsText, "", log_);
}

void TRunRecorder::Step(const std::string& text) {
  std::lock_guard lock(mutex_);
  lastStep_ = text;
  lastDetail_.clear();
  if (!inStage_ && !text.empty()) log_.Line(text);
}

void TRunRecorder::Detail(const std::string& text) {
  std::lock_guard lock(mutex_);
  lastDetail_ = text;
  if (!inStage_ && !text.empty()) log_.Line(text);
}

void TRunRecorder::Message(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (inStage_) heldMessages_.push_back(text);
  else EachLine(text, "Message: ", log_);
}

void TRunRecorder::Error(const std::string& text) { EachLine(text, "Error: ", log_); }

void TRunRecorder::StageBegin(const std::string& name) {
  std::lock_guard lock(mutex_);
  inStage_ = true;
  log_.Line(name + ": started");
}

void TRunRecorder::StageEnd(const std::string& name, bool done, bool stopRequested, double seconds,
                            const std::string& notes) {
  std::lock_guard lock(mutex_);
  inStage_ = false;
  EachLine(notes, "Note: ", log_);
  for (const std::string& message : heldMessages_)
    if (message != notes) EachLine(message, "Message: ", log_);
  heldMessages_.clear();
  if (!done) {
    std::string where = lastStep_;
    if (!lastDetail_.empty()) where += (where.empty() ? "" : " ") + std::string("(") + lastDetail_ + ")";
    log_.Line(name + ": failed after " + Seconds(seconds) + (where.empty() ? "" : " at: " + where));
  } else if (stopRequested) {
    log_.Line(name + ": stopped after " + Seconds(seconds));
  } else {
    log_.Line(name + ": done in " + Seconds(seconds));
  }
}

std::string TRunRecorder::LastStep() const {
  std::lock_guard lock(mutex_);
  return lastStep_;
}

std::string TRunRecorder::LastDetail() const {
  std::lock_guard lock(mutex_);
  return lastDetail_;
}

void TRunRecorder::Ended(const std::string& finalStatus, int exitStatus) {
  log_.Line("Final status: " + finalStatus);
  log_.Line(std::string(kRunLogEndMark) + ", exit status " + std::to_string(exitStatus));
}

std::string TRunRecorder::TakeNoLogNotice() {
  std::lock_guard lock(mutex_);
  if (noticeTaken_) return {};
  const std::string why = log_.Problem();
  if (why.empty()) return {};
  noticeTaken_ = true;
  return "This run keeps no run log: " + why + ".";
}

}  // namespace vz::app
