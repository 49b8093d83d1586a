#include "app/window/RunProgressBar.h"

namespace vz::app {

int ProgressPosition(int64_t done, int64_t total) {
  if (total <= 0 || done >= total) return kProgressRange;
  if (done <= 0) return 0;
  // Divided first where the product would not fit: counts are far below
  // that in practice, but they come from the data.
  constexpr int64_t kLimit = INT64_MAX / kProgressRange;
  const int64_t position = done <= kLimit ? done * kProgressRange / total : done / (total / kProgressRange);
  // Short of the end until the stage is done.
  return static_cast<int>(position < kProgressRange ? position : kProgressRange - 1);
}

bool TRunProgressBar::Count(int64_t done, int64_t total) {
  const ProgressShown next{true, ProgressPosition(done, total)};
  if (next == shown_) return false;
  shown_ = next;
  return true;
}

bool TRunProgressBar::End() {
  if (!shown_.visible) return false;
  shown_ = ProgressShown{};
  return true;
}

}  // namespace vz::app
