#include "automation/GlobalServerLookup.h"

#include "automation/GlobalServerWindows.h"

namespace vz::automation {

namespace {

enum class Match { Class, Text, ClassAndText };

int MatchProc(IDesktop& desktop, const LookupState& state, WindowHandle window, WindowHandle* found, Match match) {
  if (window == 0 || window == state.SkipWindow) return 1;
  if (match != Match::Text) {
    const std::string className = desktop.ClassName(window, gs::kLookupBufferSize);
    if (className.empty() || className != state.SearchClass) return 1;
  }
  if (match != Match::Class) {
    const std::string text = desktop.WindowText(window, gs::kLookupBufferSize);
    if (text.empty() || text != state.SearchText) return 1;
  }
  if (desktop.ProcessId(window) != state.ServerProcessId) return 1;
  *found = window;
  return 0;
}

}  // namespace

int EnumByClassProc(IDesktop& desktop, const LookupState& state, WindowHandle window, WindowHandle* found) {
  return MatchProc(desktop, state, window, found, Match::Class);
}

int EnumByTextProc(IDesktop& desktop, const LookupState& state, WindowHandle window, WindowHandle* found) {
  return MatchProc(desktop, state, window, found, Match::Text);
}

int EnumByClassTextProc(IDesktop& desktop, const LookupState& state, WindowHandle window, WindowHandle* found) {
  return MatchProc(desktop, state, window, found, Match::ClassAndText);
}

WindowHandle FindWindowWith(IDesktop& desktop, const LookupState& state, EnumProc proc, WindowHandle inside) {
  WindowHandle found = 0;
  const WindowVisitor visit = [&](WindowHandle window) { return proc(desktop, state, window, &found) != 0; };
  if (inside == 0)
    desktop.EnumTopLevel(visit);
  else
    desktop.EnumDescendants(inside, visit);
  return found;
}

}  // namespace vz::automation
