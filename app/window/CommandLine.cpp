#include "app/window/CommandLine.h"

#include <algorithm>
#include <iterator>

#include "app/run/MemoryBudget.h"
#include "app/run/PathText.h"
#include "vuzuz/Dates.h"

namespace vz::app {

namespace {

// The decimal number in text[pos, pos + count); false unless all digits.
bool ReadDigits(const std::string& text, size_t pos, size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// The memory budget of /b:N, N a count of MiB in decimal digits (at most
// nine, so it cannot overflow); false when malformed. A value below the
// floor counts as the floor, one above the largest as the largest.
bool ParseMemoryBudget(const std::string& tail, int64_t& mib) {
  if (tail.size() < 2 || tail.size() > 10 || tail[0] != ':') return false;
  int64_t value = 0;
  for (size_t i = 1; i < tail.size(); ++i) {
    if (tail[i] < '0' || tail[i] > '9') return false;
    value = value * 10 + (tail[i] - '0');
  }
  mib = std::clamp(value, kMemoryBudgetFloorMiB, kMemoryBudgetMaxMiB);
  return true;
}

// "", ":y", ":t", ":+" set; ":n", ":f", ":-" clear; anything else leaves it.
void ApplyBoolean(const std::string& tail, bool& setting) {
  if (tail.empty() || tail == ":y" || tail == ":t" || tail == ":+") setting = true;
  else if (tail == ":n" || tail == ":f" || tail == ":-") setting = false;
}

// A value with all leading and trailing double quotes removed.
std::string WithoutQuotes(const std::string& value) {
  size_t begin = 0;
  size_t end = value.size();
  while (begin < end && value[begin] == '"') ++begin;
  while (end > begin && value[end - 1] == '"') --end;
  return value.substr(begin, end - begin);
}

// A directory value: unquoted, then the directory separator appended unless
// it is empty or already ends with one.
std::string NormalisePath(const std::string& value) { return WithDirSeparator(WithoutQuotes(value)); }

void ApplyArgument(const std::string& arg, WindowSettings& settings, const CommandLineHooks& hooks) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return;
  const std::string lowered = LowerAscii(arg.substr(1));
  // Path values keep their case where file names are case-sensitive.
  const std::string pathTail = (kCaseSensitiveFileNames ? arg.substr(1) : lowered).substr(1);
  const char letter = lowered[0];
  const std::string tail = lowered.substr(1);
  const bool hasColon = !tail.empty() && tail[0] == ':';
  TRunSettings& run = settings.run;
  switch (letter) {
    case 'a':
      ApplyBoolean(tail, run.create);
      break;
    case 'd':
      ApplyBoolean(tail, run.deleteData);
      break;
    case 's':
      ApplyBoolean(tail, run.selected);
      break;
    case 'i':
      ApplyBoolean(tail, run.import);
      if (tail == ":d") {
        run.import = true;
        run.importDaily = true;
        run.importIntraday = false;
      } else if (tail == ":i") {
        run.import = true;
        run.importDaily = false;
        run.importIntraday = true;
      }
      settings.deleteEnabled = run.import;
      break;
    case 'f':
    case 't': {
      double value = 0;
      if (hasColon && ParseSwitchDate(tail.substr(1), value)) (letter == 'f' ? run.from : run.to) = value;
      break;
    }
    case 'm':
      if (hasColon) run.msDir = NormalisePath(pathTail.substr(1));
      else if (hooks.defaultMsDir) run.msDir = hooks.defaultMsDir();
      break;
    case 'o':
      if (hasColon) {
        const std::string output = NormalisePath(pathTail.substr(1));
        if (output != run.output) {
          run.output = output;
          if (hooks.outputChanged) hooks.outputChanged();
        }
      }
      break;
    case 'b': {
      int64_t mib = 0;
      if (ParseMemoryBudget(tail, mib)) run.memoryBudgetMiB = mib;
      break;
    }
    case 'g':
      run.autoStart = true;
      break;
    case 'x':
      run.autoClose = true;
      break;
    case 'l':
      // /l:FILE the run log's file, /l: none, /l the default one.
      if (hasColon) settings.runLogFile = WithoutQuotes(pathTail.substr(1));
      else if (tail.empty()) settings.runLogFile.reset();
      break;
    default:
      break;
  }
}

}  // namespace

bool ParseSwitchDate(const std::string& text, double& value) {
  int year = 0;
  int month = 0;
  int day = 0;
  if (text.size() >= 8) {
    if (!ReadDigits(text, 0, 4, year) || !ReadDigits(text, 4, 2, month) || !ReadDigits(text, 6, 2, day)) return false;
  } else if (text.size() >= 6) {
    if (!ReadDigits(text, 0, 2, year) || !ReadDigits(text, 2, 2, month) || !ReadDigits(text, 4, 2, day)) return false;
    year += 2000;
  } else {
    return false;
  }
  return vz::TryEncodeDate(year, month, day, value);
}

std::string SwitchProblem(const std::string& arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return "not a switch (switches begin with / or -)";
  const std::string lowered = LowerAscii(arg.substr(1));
  const char letter = lowered[0];
  const std::string tail = lowered.substr(1);
  const bool hasColon = !tail.empty() && tail[0] == ':';
  static const char* const kBooleanValues[] = {"", ":y", ":t", ":+", ":n", ":f", ":-"};
  const bool booleanValue = std::find(std::begin(kBooleanValues), std::end(kBooleanValues), tail) != std::end(kBooleanValues);
  switch (letter) {
    case 'a':
    case 'd':
    case 's':
      return booleanValue ? "" : "the value must be y, t or + (on), or n, f or - (off)";
    case 'i':
      return booleanValue || tail == ":d" || tail == ":i" ? ""
                                                          : "the value must be y, t, + (on), n, f, - (off), d or i";
    case 'f':
    case 't': {
      if (!hasColon) return "a date follows a colon: /" + std::string(1, letter) + ":YYYYMMDD";
      const std::string date = tail.substr(1);
      double value = 0;
      const bool digits = date.find_first_not_of("0123456789") == std::string::npos;
      if (!digits || (date.size() != 8 && date.size() != 6)) return "the date must be YYYYMMDD or YYMMDD";
      return ParseSwitchDate(date, value) ? "" : "there is no such date";
    }
    case 'm':
      return tail.empty() || hasColon ? "" : "a directory follows a colon: /m:DIR (/m alone is the default directory)";
    case 'o':
      return hasColon ? "" : "a directory follows a colon: /o:DIR";
    case 'b': {
      int64_t mib = 0;
      return ParseMemoryBudget(tail, mib) ? "" : "a memory budget in MiB follows a colon: /b:MiB";
    }
    case 'l':
      return tail.empty() || hasColon ? "" : "a file follows a colon: /l:FILE (/l: alone keeps no log)";
    case 'g':
    case 'x':
      return "";
    default:
      return "unknown switch";
  }
}

void ParseCommandLine(const std::vector<std::string>& args, WindowSettings& settings, const CommandLineHooks& hooks) {
  TRunSettings& run = settings.run;
  run.autoStart = false;
  run.autoClose = false;
  run.importDaily = true;
  run.importIntraday = true;
  for (const auto& arg : args) ApplyArgument(arg, settings, hooks);
}

bool ClosesByItself(const std::vector<std::string>& args) {
  WindowSettings settings;
  ParseCommandLine(args, settings, CommandLineHooks{});
  return settings.run.autoClose;
}

}  // namespace vz::app
