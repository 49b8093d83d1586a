#pragma once
// What the window's progress bar and its taskbar button show of a run: the
// stage being counted (securities read, months or days written) as a
// position out of kProgressRange, from the run's first count to its end
// (normal, stopped or failed). Each stage fills the bar from the start; the
// status panels say which stage it is.
#include <cstdint>

namespace vz::app {

inline constexpr int kProgressRange = 1000;

// `done` of `total` as a position out of kProgressRange, clamped to the
// bar. A stage with nothing to count is complete.
int ProgressPosition(int64_t done, int64_t total);

struct ProgressShown {
  bool visible = false;
  int position = 0;  // out of kProgressRange; 0 while hidden
  bool operator==(const ProgressShown&) const = default;
};

class TRunProgressBar {
public:
  // A count from the run; true when what the bar shows has changed, so that
  // a run counting thousands of securities redraws the bar (and talks to
  // the taskbar) only when a step of the bar is reached.
  bool Count(int64_t done, int64_t total);
  // The run has ended; true when the bar was showing and goes.
  bool End();
  const ProgressShown& Shown() const { return shown_; }

private:
  ProgressShown shown_;
};

}  // namespace vz::app
