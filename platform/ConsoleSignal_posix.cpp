#include "platform/ConsoleSignal.h"

#include <signal.h>

#include <atomic>

namespace vz::platform {

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void OnStopSignal(int) { stopRequested.store(true); }

}  // namespace

void InstallConsoleStopHandler() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool ConsoleStopRequested() { return stopRequested.load(); }
void ClearConsoleStop() { stopRequested.store(false); }

}  // namespace vz::platform
