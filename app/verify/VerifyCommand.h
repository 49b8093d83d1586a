#pragma once
// --verify OUTDIR [/m:MSDIR] [/s] [/f:DATE] [/t:DATE]: proves an output
// folder right before its archives are imported. Every .omz archive under
// OUTDIR (the daily archives and the month folders) is checked on its own;
// with /m: each is also compared, row by row and bar by bar, with what a
// run over the MetaStock directory would write for it, and archives the
// source gives but the folder lacks are named. /f: and /t: are read as the
// run reads them; without them the range is the span the archives cover.
// Nothing in either folder is written.
//
// Prints one line per archive and a summary on `out`; returns 0 when every
// archive is sound and agrees with the source, kExitVerifyFailed when any
// is damaged, differs or is missing, 1 for a usage error or a folder that
// cannot be read (the message on `err`).
#include <ostream>
#include <string>
#include <vector>

namespace vz::app {

// `args` holds the arguments after --verify.
int RunVerifyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vz::app
