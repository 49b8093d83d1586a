// vuzuz-archive-creator for Linux: the conversion from the command line.
#include <string>
#include <vector>

#include "app/main/ProgramOptions.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
  return vz::app::RunConsoleProgram(args, vz::app::ProgramOptions());
}
