#include "platform/ConsoleSignal.h"

#include <windows.h>

#include <atomic>
#include <csignal>

namespace vz::platform {

namespace {

std::atomic<bool> stopRequested{false};

BOOL WINAPI OnConsoleControl(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      stopRequested.store(true);
      return TRUE;
    default:
      return FALSE;
  }
}

extern "C" void OnStopSignal(int) {
  stopRequested.store(true);
  std::signal(SIGINT, OnStopSignal);  // the runtime resets the handler on delivery
}

}  // namespace

void InstallConsoleStopHandler() {
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  // raise(SIGINT) and runtimes that route the console through signals.
  std::signal(SIGINT, OnStopSignal);
}

bool ConsoleStopRequested() { return stopRequested.load(); }
void ClearConsoleStop() { stopRequested.store(false); }

}  // namespace vz::platform
