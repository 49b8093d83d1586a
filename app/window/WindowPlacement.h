#pragma once
// The window's placement as the stored settings keep it: five string values
// beside the settings ("Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos",
// "NormPos"). Numbers are decimal; "MinMaxPos" holds the minimised and the
// maximised position as "x,y,x,y", "NormPos" the normal rectangle as
// "left,top,right,bottom", in screen pixels at the stored pixels per inch.
#include <string>

#include "platform/SettingsStore.h"

namespace vz::app {

struct WindowPlacement {
  int flags = 0;
  int showCmd = 0;
  int pixelsPerInch = 0;
  int minX = 0, minY = 0, maxX = 0, maxY = 0;
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Appends the five values in their stored order.
void AppendPlacementValues(const WindowPlacement& placement, platform::StoredValues& values);

// Reads the five values (names without regard to case); false when any is
// missing or malformed, or the rectangle is empty: the placement is then
// not applied.
bool ReadPlacementValues(const platform::StoredValues& values, WindowPlacement& placement);

}  // namespace vz::app
