#pragma once
// A run's record in the run log (any thread): its first line, its settings, each stage's
// outcome and time, its notes and messages, the Smart import steps, the
// final status and the exit status. The status texts a stage shows while it
// works (a security, a day) are kept only to name where a failed stage
// stopped; outside the stages (Smart import) each one is a line.
//
// The first line starts with kRunLogStartMark and the last with
// kRunLogEndMark, for finding runs in the file with a text search.
#include <mutex>
#include <string>
#include <vector>

#include "app/record/RunLog.h"

namespace vz::app {

inline constexpr char kRunLogStartMark[] = "==== run started";
inline constexpr char kRunLogEndMark[] = "==== run ended";

class TRunRecorder {
public:
  explicit TRunRecorder(TRunLog& log) : log_(log) {}

  // The first lines: the marker with the version, then the settings'
  // description (one line each).
  void Started(const std::string& version, const std::string& settingsText);
  // The status panels.
  void Step(const std::string& text);
  void Detail(const std::string& text);
  // A line for the log alone.
  void Line(const std::string& text) { log_.Line(text); }
  // A message shown to the user (or printed). Inside a stage it is held
  // until the stage ends, so that the run's note, which the stages show as
  // a message too, is written once, as notes.
  void Message(const std::string& text);
  // An error box the run showed (ShowError): written at once.
  void Error(const std::string& text);

  void StageBegin(const std::string& name);
  // `notes`: the run's notes, one per line, given after the last stage the
  // run goes through (the export, or one that failed or saw a stop).
  void StageEnd(const std::string& name, bool done, bool stopRequested, double seconds, const std::string& notes);

  // The last lines: the final status (for a failed run the step where it
  // stopped) and the exit status with the end marker.
  void Ended(const std::string& finalStatus, int exitStatus);

  // The status panel 0 text last shown, and its detail.
  std::string LastStep() const;
  std::string LastDetail() const;

  // Once per run, when the log could not be written: the sentence that
  // says so and why; "" otherwise and after it was taken.
  std::string TakeNoLogNotice();

private:
  TRunLog& log_;
  mutable std::mutex mutex_;  // the stages' pack threads may report too
  bool inStage_ = false;
  std::vector<std::string> heldMessages_;
  std::string lastStep_;
  std::string lastDetail_;
  bool noticeTaken_ = false;
};

}  // namespace vz::app
