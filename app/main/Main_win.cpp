// vuzuz-archive-creator.exe: the main window; --help, --version, --sample
// and the inspection switches run the console program on the console the
// exe was started from.
#include <windows.h>

#include "app/main/ProgramOptions.h"
#include "app/win/WinProgram_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return vz::app::RunWindowsProgram(vz::app::ProgramOptions); }
