#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "automation/GlobalServerSteps.h"
#include "automation/GlobalServerWindows.h"
#include "automation/GlobalServerWizards.h"

namespace vz::automation {

namespace {

constexpr double kMsPerDay = 86400000.0;
// Day 0 of a date-time value.
constexpr std::chrono::sys_days kDayZero = std::chrono::sys_days(std::chrono::year(1899) / 12 / 30);

// The calendar date and the time of day of a date-time value, as the wizard's
// fields take them: the day is the integer part, the time its fraction to
// the millisecond, milliseconds dropped.
struct FieldValues {
  int month = 0;
  int day = 0;
  int year = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

bool SplitDateTime(double value, FieldValues& out) {
  // Years 1 to 9999, the range a date-time value can hold.
  if (!std::isfinite(value) || value < -693593.0 || value >= 2958466.0) return false;
  const double day = std::trunc(value);
  long long ms = std::llround(std::fabs(value - day) * kMsPerDay);
  if (ms >= static_cast<long long>(kMsPerDay)) ms = static_cast<long long>(kMsPerDay) - 1;
  const std::chrono::year_month_day date{kDayZero + std::chrono::days(static_cast<long long>(day))};
  out.year = static_cast<int>(date.year());
  out.month = static_cast<int>(static_cast<unsigned>(date.month()));
  out.day = static_cast<int>(static_cast<unsigned>(date.day()));
  const long long seconds = ms / 1000;
  out.hour = static_cast<int>(seconds / 3600);
  out.minute = static_cast<int>(seconds / 60 % 60);
  out.second = static_cast<int>(seconds % 60);
  return true;
}

std::string Digits(int value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, value);
  return text;
}

// Types one zero-padded group of digits, each key down and up posted, then
// a pause.
void TypeDigits(TWizardSteps& steps, WindowHandle field, const std::string& digits) {
  for (size_t i = 0; i < digits.size(); ++i) {
    const auto key = static_cast<MessageWParam>(static_cast<unsigned char>(digits[i]));
    const bool first = i == 0;
    steps.Post(field, gs::kWmKeyDown, key, first ? gs::kFirstDigitDown : gs::kLaterDigitDown);
    steps.Post(field, gs::kWmKeyUp, key, first ? gs::kFirstDigitUp : gs::kLaterDigitUp);
    steps.Sleep(gs::kStepPauseMs);
  }
}

void TypeRight(TWizardSteps& steps, WindowHandle field) {
  steps.Send(field, gs::kWmKeyDown, gs::kVkRight, gs::kRightDown);
  steps.Send(field, gs::kWmKeyUp, gs::kVkRight, gs::kRightUp);
  steps.Sleep(gs::kStepPauseMs);
}

// Three groups with a Right arrow between them.
void TypeGroups(TWizardSteps& steps, WindowHandle field, const std::string (&groups)[3]) {
  // Keys are posted to the field itself, so a refused focus (another
  // process's window may refuse it) changes nothing.
  steps.Desktop().SetFocus(field);
  TypeDigits(steps, field, groups[0]);
  TypeRight(steps, field);
  TypeDigits(steps, field, groups[1]);
  TypeRight(steps, field);
  TypeDigits(steps, field, groups[2]);
}

void TypeDate(TWizardSteps& steps, WindowHandle field, const FieldValues& value) {
  TypeGroups(steps, field, {Digits(value.month, 2), Digits(value.day, 2), Digits(value.year, 4)});
}

void TypeTime(TWizardSteps& steps, WindowHandle field, const FieldValues& value) {
  TypeGroups(steps, field, {Digits(value.hour, 2), Digits(value.minute, 2), Digits(value.second, 2)});
}

// Sets the main window's filter to its first entry, as if the user had
// picked it from the list.
bool ResetFilter(TWizardSteps& steps, WindowHandle mainWindow) {
  const WindowHandle label = steps.Inside(mainWindow, gs::kStaticClass, gs::kFilterLabel);
  if (label == 0) {
    steps.Log("Delete: no \"Filter:\" label");
    return false;
  }
  // A lookup inside no window would search the whole desktop.
  const WindowHandle parent = steps.Desktop().Parent(label);
  const WindowHandle combo = parent != 0 ? steps.InsideByClass(parent, gs::kComboBoxClass) : 0;
  if (combo == 0) {
    steps.Log("Delete: no filter list");
    return false;
  }
  steps.Send(combo, gs::kCbSetCurSel, 0, 0);
  const WindowHandle dropDown = steps.TopLevelByClass(gs::kComboListClass);
  steps.Send(combo, gs::kWmCommand, gs::kFilterSelChange, static_cast<MessageLParam>(dropDown));
  return true;
}

// The first four tab stops of the page: start date, end date, start time,
// end time. The tab order wraps round, so a page still filling in its
// fields would hand out one field twice and the range would be typed into
// the wrong ones: wait briefly until four different fields are there.
bool TakeFields(TWizardSteps& steps, WindowHandle page, WindowHandle (&fields)[4]) {
  const auto take = [&]() -> WindowHandle {
    WindowHandle previous = 0;
    for (WindowHandle& field : fields) {
      field = steps.Desktop().NextTabStop(page, previous);
      previous = field;
    }
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < i; ++j)
        if (fields[i] == 0 || fields[i] == fields[j]) return 0;
    return fields[0];
  };
  return steps.WaitPresent(gs::kControlPolls, take) != 0;
}

DeleteOutcome RunDeleteWizard(TWizardSteps& steps, WindowHandle mainWindow, const FieldValues& from,
                              const FieldValues& to) {
  constexpr DeleteOutcome kFailed = DeleteOutcome::Failed;
  steps.BringForward(mainWindow);
  if (!ResetFilter(steps, mainWindow)) return kFailed;
  steps.PostMenuPath(mainWindow, gs::kEditMenu, gs::kSelectAllItem);
  steps.Sleep(gs::kMenuPauseMs);
  steps.PostMenuPath(mainWindow, gs::kFileMenu, gs::kDeleteItem);
  steps.Log("Delete: menu keys sent");

  const WindowHandle wizard =
      steps.WaitFor(gs::kWizardPolls, [&] { return steps.TopLevelByText(gs::kDeleteWizardTitle); });
  if (wizard == 0) {
    steps.Log("Delete: the wizard did not open");
    return kFailed;
  }
  auto abandon = [&](const std::string& why) {
    steps.Log("Delete: " + why + "; closing the wizard");
    steps.Close(wizard);
    return kFailed;
  };
  const WindowHandle page =
      steps.WaitPresent(gs::kControlPolls, [&] { return steps.InsideByText(wizard, gs::kDeletePageText); });
  if (page == 0) return abandon("no wizard page");

  WindowHandle fields[4] = {};
  if (!TakeFields(steps, page, fields)) return abandon("fewer than four date and time fields");
  steps.Log("Delete: typing the range");
  TypeDate(steps, fields[0], from);
  TypeDate(steps, fields[1], to);
  TypeTime(steps, fields[2], from);
  TypeTime(steps, fields[3], to);

  const WindowHandle next = steps.Inside(wizard, gs::kButtonClass, gs::kNextButton, gs::kNextButtonRu);
  if (next == 0) return abandon("no Next button");
  steps.PostCommand(wizard, gs::kCmdNext, next);
  steps.Sleep(gs::kStepPauseMs);
  const WindowHandle finish = steps.Inside(wizard, gs::kButtonClass, gs::kFinishButton, gs::kFinishButtonRu);
  if (finish == 0) return abandon("no Finish button");
  steps.PostCommand(wizard, gs::kCmdFinish, finish);
  steps.Log("Delete: finished the wizard");
  if (!steps.WaitForProgress(gs::kDeletingTitle)) return abandon("the deletion never ended");

  // The progress window closed as it should: the deletion has run, whether
  // or not GlobalServer says so.
  const WindowHandle notice = steps.WaitFor(
      gs::kDeleteNoticePolls, [&] { return steps.TopLevelByText(gs::kNoticeTitle); }, "GlobalServer's notice");
  if (notice == 0) {
    steps.Log("Delete: GlobalServer never confirmed");
    return DeleteOutcome::Unconfirmed;
  }
  steps.Close(notice);
  steps.Log("Delete: done");
  return DeleteOutcome::Deleted;
}

}  // namespace

std::string GlobalServerCheckDelete(IDesktop& desktop, const StepLog& log, const TStepBound* bound) {
  TWizardSteps steps(desktop, log, bound);
  const WindowHandle mainWindow = steps.FindMainWindow();
  if (mainWindow == 0) return "GlobalServer is not running";
  // The filter is only looked at: setting it, or selecting every symbol,
  // would change what GlobalServer shows.
  const WindowHandle label = steps.Inside(mainWindow, gs::kStaticClass, gs::kFilterLabel);
  const WindowHandle parent = label != 0 ? steps.Desktop().Parent(label) : 0;
  if (parent == 0 || steps.InsideByClass(parent, gs::kComboBoxClass) == 0)
    return "GlobalServer's main window has no filter list";
  steps.Log("Check: opening the delete wizard");
  steps.BringForward(mainWindow);
  steps.PostMenuPath(mainWindow, gs::kFileMenu, gs::kDeleteItem);
  const WindowHandle wizard = steps.WaitFor(
      gs::kWizardPolls, [&] { return steps.TopLevelByText(gs::kDeleteWizardTitle); }, "the delete wizard");
  if (wizard == 0) return "the delete wizard did not open from GlobalServer's menu";
  std::string why;
  const WindowHandle page =
      steps.WaitPresent(gs::kControlPolls, [&] { return steps.InsideByText(wizard, gs::kDeletePageText); });
  WindowHandle fields[4] = {};
  if (page == 0) why = "the delete wizard showed no first page";
  else if (!TakeFields(steps, page, fields))
    why = "the delete wizard's first page has fewer than four date and time fields";
  else if (steps.Inside(wizard, gs::kButtonClass, gs::kNextButton, gs::kNextButtonRu) == 0)
    why = "the delete wizard has no Next button";
  else if (steps.Inside(wizard, gs::kButtonClass, gs::kFinishButton, gs::kFinishButtonRu) == 0)
    why = "the delete wizard has no Finish button";
  // Cancelled before anything was typed or turned: nothing is deleted.
  steps.Close(wizard);
  const WindowHandle stays = steps.WaitForClose(
      gs::kWizardPolls, [&] { return steps.TopLevelByText(gs::kDeleteWizardTitle); }, "the delete wizard to close");
  if (!why.empty()) return why;
  if (stays != 0) return "the delete wizard did not close when cancelled";
  steps.Log("Check: the delete wizard answers");
  return {};
}

DeleteOutcome GlobalServerDelete(IDesktop& desktop, double from, double to, const StepLog& log,
                                 const TStepBound* bound) {
  TWizardSteps steps(desktop, log, bound);
  const WindowHandle mainWindow = steps.FindMainWindow();
  if (mainWindow == 0) {
    steps.Log("Delete: GlobalServer is not running");
    return DeleteOutcome::NotRunning;
  }
  steps.Log("Delete: GlobalServer found");
  FieldValues fromFields;
  FieldValues toFields;
  if (!SplitDateTime(from, fromFields) || !SplitDateTime(to, toFields)) {
    steps.Log("Delete: the range is not a date");
    return DeleteOutcome::Failed;
  }
  return RunDeleteWizard(steps, mainWindow, fromFields, toFields);
}

}  // namespace vz::automation
