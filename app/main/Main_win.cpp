// vuzuz-archive-creator.exe: for now the same console conversion as on Linux
// (the Win32 window comes later and will drive the same window model).
#include <string>
#include <vector>

#include "app/main/ProgramOptions.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
  return vz::app::RunConsoleProgram(args, vz::app::ProgramOptions());
}
