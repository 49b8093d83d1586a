// The system desktop speaks UTF-16 to the windows: texts given and read as
// UTF-8 arrive whole, whatever the system's ANSI code page. A path under a
// Cyrillic folder with spaces was typed into GlobalServer's file dialog as
// Latin-1 letters when the ANSI calls were used.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "automation/GlobalServerWindows.h"
#include "platform/Desktop.h"

namespace vz::platform {
namespace {

namespace gs = automation::gs;

TEST(SystemDesktop, TextsCrossAsUtf16Whole) {
  const std::wstring caption = L"\u041e\u0442\u043a\u0440\u044b\u0442\u0438\u0435 \u0444\u0430\u0439\u043b\u0430";
  HWND dialog = CreateWindowExW(0, L"STATIC", caption.c_str(), WS_POPUP, 0, 0, 300, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(dialog, nullptr);
  HWND field = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 280, 24, dialog, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(field, nullptr);
  auto desktop = MakeSystemDesktop();
  const auto handle = [](HWND w) { return reinterpret_cast<automation::WindowHandle>(w); };

  // The Russian caption, as the drivers spell it, matches the window's text.
  EXPECT_EQ(desktop->WindowText(handle(dialog), gs::kLookupBufferSize), gs::kFileDialogTitleRu);
  EXPECT_EQ(desktop->ClassName(handle(field), gs::kLookupBufferSize), "Edit");

  const std::string path = "Z:\\tmp\\\xD0\x92\xD1\x8B\xD1\x85\xD0\xBE\xD0\xB4 \xD0\xB0\xD1\x80\xD1\x85\xD0\xB8\xD0\xB2\xD1\x8B"
                           "\\out dir\\d2611";  // Z:\tmp\Выход архивы\out dir\d2611
  desktop->SendSetText(handle(field), path);
  wchar_t typed[200] = {};
  GetWindowTextW(field, typed, 200);
  EXPECT_EQ(std::wstring(typed),
            L"Z:\\tmp\\\u0412\u044b\u0445\u043e\u0434 \u0430\u0440\u0445\u0438\u0432\u044b\\out dir\\d2611");
  EXPECT_EQ(desktop->SendGetText(handle(field), 200), path);
  // The drivers' small read-back buffer counts characters: ten of them.
  EXPECT_EQ(desktop->SendGetText(handle(field), gs::kReadBackBufferSize), "Z:\\tmp\\\xD0\x92\xD1\x8B");
  DestroyWindow(dialog);
}

}  // namespace
}  // namespace vz::platform
