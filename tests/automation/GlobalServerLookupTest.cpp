#include <gtest/gtest.h>

#include <string>

#include "SimDesktop.h"
#include "automation/GlobalServerLookup.h"

namespace vz::automation {
namespace {

constexpr std::uint32_t kServer = 10;
constexpr std::uint32_t kOther = 20;

TEST(GlobalServerLookup, MatchesExactBytesOfGlobalServerWindowsFirstMatchWins) {
  test::TSimDesktop desktop;
  const std::string longText(120, 'x');
  const WindowHandle other = desktop.Create("other", "Button", "Finish", kOther);
  const WindowHandle top = desktop.Create("top", "#32770", "Wizard", kServer);
  const WindowHandle page = desktop.Create("page", "#32770", "", kServer, top);
  const WindowHandle deep = desktop.Create("deep", "Button", "Finish", kServer, page);
  const WindowHandle later = desktop.Create("later", "Button", "Finish", kServer, top);
  const WindowHandle longOne = desktop.Create("long", "Static", longText, kServer, top);
  const WindowHandle nameless = desktop.Create("nameless", "Static", "", kServer, top);

  struct Case {
    const char* name;
    EnumProc proc;
    std::string searchClass, searchText;
    WindowHandle inside, skip, expected;
  };
  const Case cases[] = {
      {"other process passed over", EnumByTextProc, "", "Finish", 0, 0, 0},
      {"top level by text", EnumByTextProc, "", "Wizard", 0, 0, top},
      {"descendants depth first", EnumByClassTextProc, "Button", "Finish", top, 0, deep},
      {"skipped window passed over", EnumByClassTextProc, "Button", "Finish", top, deep, later},
      {"case matters", EnumByTextProc, "", "finish", top, 0, 0},
      {"class alone", EnumByClassProc, "Static", "", top, 0, longOne},
      {"text read into 100 bytes", EnumByTextProc, "", longText.substr(0, 99), top, 0, longOne},
      {"the whole long text never reads", EnumByTextProc, "", longText, top, 0, 0},
      {"an empty text never matches", EnumByTextProc, "", "", top, 0, 0},
      {"an empty class never matches", EnumByClassProc, "", "", top, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LookupState state;
    state.SearchClass = c.searchClass;
    state.SearchText = c.searchText;
    state.ServerProcessId = kServer;
    state.SkipWindow = c.skip;
    EXPECT_EQ(FindWindowWith(desktop, state, c.proc, c.inside), c.expected);
  }
  (void)other;
  (void)nameless;
}

}  // namespace
}  // namespace vz::automation
