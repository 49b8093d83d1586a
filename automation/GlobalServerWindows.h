#pragma once
// What the drivers rely on in GlobalServer's windows, in one place: window
// classes, captions, control texts, command ids, the message words they send
// and how long they wait. Nothing else lives here; the GlobalServer stand-in
// used by the Wine round trip builds its windows from the same names.
#include <cstddef>
#include <cstdint>

#include "automation/Desktop.h"

namespace vz::automation::gs {

// Win32 message numbers and words (winuser.h values; this header is shared
// with code that does not see the system headers).
inline constexpr std::uint32_t kWmActivate = 0x0006;
inline constexpr std::uint32_t kWmSetText = 0x000C;
inline constexpr std::uint32_t kWmGetText = 0x000D;
inline constexpr std::uint32_t kWmClose = 0x0010;
inline constexpr std::uint32_t kEmSetModify = 0x00B9;
inline constexpr std::uint32_t kBmSetCheck = 0x00F1;
inline constexpr std::uint32_t kCbSetCurSel = 0x014E;
inline constexpr std::uint32_t kWmKeyDown = 0x0100;
inline constexpr std::uint32_t kWmKeyUp = 0x0101;
inline constexpr std::uint32_t kWmSysKeyDown = 0x0104;
inline constexpr std::uint32_t kWmSysKeyUp = 0x0105;
inline constexpr std::uint32_t kWmCommand = 0x0111;
inline constexpr std::uint32_t kWmSysCommand = 0x0112;

// The messages the drivers send, by name, for the records of what was sent.
struct DriverMessage {
  std::uint32_t message;
  const char* name;
};
inline constexpr DriverMessage kDriverMessages[] = {
    {kWmActivate, "WM_ACTIVATE"},     {kWmSetText, "WM_SETTEXT"},     {kWmGetText, "WM_GETTEXT"},
    {kWmClose, "WM_CLOSE"},           {kEmSetModify, "EM_SETMODIFY"}, {kBmSetCheck, "BM_SETCHECK"},
    {kCbSetCurSel, "CB_SETCURSEL"},   {kWmKeyDown, "WM_KEYDOWN"},     {kWmKeyUp, "WM_KEYUP"},
    {kWmSysKeyDown, "WM_SYSKEYDOWN"}, {kWmSysKeyUp, "WM_SYSKEYUP"},   {kWmCommand, "WM_COMMAND"},
    {kWmSysCommand, "WM_SYSCOMMAND"},
};
// nullptr for a message the drivers never send.
constexpr const char* DriverMessageName(std::uint32_t message) {
  for (const auto& known : kDriverMessages)
    if (known.message == message) return known.name;
  return nullptr;
}

inline constexpr MessageWParam kScRestore = 0xF120;
inline constexpr MessageWParam kScMinimize = 0xF020;
inline constexpr MessageWParam kWaActive = 1;
inline constexpr MessageWParam kIdOk = 1;
inline constexpr MessageWParam kBstUnchecked = 0;
inline constexpr MessageWParam kVkAlt = 0x12;
inline constexpr MessageWParam kVkRight = 0x27;

// Window classes.
inline constexpr char kMainWindowClass[] = "VuzuzResearchGlobalServer";
inline constexpr char kButtonClass[] = "Button";
inline constexpr char kEditClass[] = "Edit";
inline constexpr char kStaticClass[] = "Static";
inline constexpr char kComboBoxClass[] = "ComboBox";
inline constexpr char kComboListClass[] = "ComboLBox";

// Window texts, UTF-8 (the desktop reads and writes them as UTF-16, so the
// comparison holds whatever the system's ANSI code page). A caption with a
// second form has it next to it: the Russian caption.
inline constexpr char kImportWizardTitle[] = "Import Data";
inline constexpr char kImportPageText[] = "Import Data";
inline constexpr char kBrowseButton[] = "&Browse...";
inline constexpr char kFileDialogTitle[] = "Open";
inline constexpr char kFileDialogTitleRu[] = "Открытие файла";
inline constexpr char kOpenButton[] = "&Open";
inline constexpr char kOpenButtonRu[] = "&Открыть";
inline constexpr char kNextButton[] = "&Next >";
inline constexpr char kNextButtonRu[] = "Далее >";
inline constexpr char kFinishButton[] = "Finish";
inline constexpr char kFinishButtonRu[] = "Готово";
inline constexpr char kReadingSymbolsTitle[] = "Reading available symbols";
inline constexpr char kShowGroup[] = "Show:";
inline constexpr char kPortfolioRadio[] = "Symbols matching those in Portfolio";
inline constexpr char kPortfolioSelectedRadio[] = "Symbols matching those selected in Portfolio";
inline constexpr char kAllSymbolsRadio[] = "All Symbols";
inline constexpr char kImportingTitle[] = "Importing Server 4.0 Format";
inline constexpr char kNoticeTitle[] = "GlobalServer";
inline constexpr char kFilterLabel[] = "Filter:";
inline constexpr char kDeleteWizardTitle[] = "Delete Data";
inline constexpr char kDeletePageText[] = "Export Data";  // the delete wizard's page bears this text
inline constexpr char kDeletingTitle[] = "Deleting data";

// Command ids.
inline constexpr MessageWParam kCmdNext = 12324;
inline constexpr MessageWParam kCmdFinish = 12325;
inline constexpr MessageWParam kCmdBrowse = 5109;
inline constexpr MessageWParam kCmdAllSymbols = 5355;
// The filter combo's selection-change notification: control 1000,
// notification 1 (CBN_SELCHANGE) in the high word.
inline constexpr MessageWParam kFilterComboId = 1000;
inline constexpr MessageWParam kFilterSelChange = 0x000103E8;

// Keystrokes: each a message, a key and the exact lParam word (repeat count
// 1, scan code, state bits).
struct Keystroke {
  std::uint32_t message;
  MessageWParam key;
  MessageLParam lParam;
};

// Alt+<letter> then <letter2>: GlobalServer's keyboard menu paths. The words
// are the same whatever the letters (but see the import path's 'V').
inline constexpr MessageLParam kAltDown = 0x20380001;
inline constexpr MessageLParam kMenuLetterSysDown = 0x20210001;
inline constexpr MessageLParam kMenuLetterSysUp = static_cast<MessageLParam>(0xF0210001u);
inline constexpr MessageLParam kAltUp = static_cast<MessageLParam>(0xD0380001u);
inline constexpr MessageLParam kItemLetterDown = 0x10170001;
inline constexpr MessageLParam kItemLetterUp = static_cast<MessageLParam>(0xD0170001u);
// The import path's last letter has words of its own.
inline constexpr MessageLParam kImportVuzuzDown = 0x102F0001;
inline constexpr MessageLParam kImportVuzuzUp = static_cast<MessageLParam>(0xD02F0001u);

// Keys typed into the delete wizard's date and time fields.
inline constexpr MessageLParam kFirstDigitDown = 0x00020001;
inline constexpr MessageLParam kFirstDigitUp = static_cast<MessageLParam>(0xC0020001u);
inline constexpr MessageLParam kLaterDigitDown = 0x00030001;
inline constexpr MessageLParam kLaterDigitUp = static_cast<MessageLParam>(0xC0030001u);
inline constexpr MessageLParam kRightDown = 0x094D0001;
inline constexpr MessageLParam kRightUp = static_cast<MessageLParam>(0xC94D0001u);

// Menu letters.
inline constexpr char kFileMenu = 'F';
inline constexpr char kEditMenu = 'E';
inline constexpr char kImportItem = 'I';
inline constexpr char kImportVuzuzItem = 'V';
inline constexpr char kSelectAllItem = 'A';
inline constexpr char kDeleteItem = 'D';

// Lookups read class names and texts into buffers of this many characters.
inline constexpr std::size_t kLookupBufferSize = 100;
// The file name field is read back into this small buffer.
inline constexpr std::size_t kReadBackBufferSize = 10;

// Waiting: one poll sleeps this long, then looks.
inline constexpr int kPollMs = 100;
inline constexpr int kWizardPolls = 50;
inline constexpr int kSymbolChoicePolls = 50;
inline constexpr int kFileDialogPolls = 500;
inline constexpr int kProgressShowPolls = 10;
inline constexpr int kProgressClosePolls = 10000;
// The closing notice comes at once after a job that ended well; one that
// does not come within this wait will not come, and the job is taken as
// done, unconfirmed (the import's progress window has already been waited
// for in full).
inline constexpr int kImportNoticePolls = 500;
inline constexpr int kDeleteNoticePolls = 500;
// A page, button or field looked up right after its window appeared may not
// exist yet on a loaded machine: it is looked for this many polls more.
inline constexpr int kControlPolls = 50;
// The file name is typed again until it reads back, at most this often.
inline constexpr int kReadBackTries = 50;

// Pauses.
inline constexpr int kFirstFilePauseMs = 5000;
inline constexpr int kSecondOpenPauseMs = 500;
inline constexpr int kMenuPauseMs = 1000;
inline constexpr int kStepPauseMs = 100;

}  // namespace vz::automation::gs
