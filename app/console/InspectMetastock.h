#pragma once
// Two inspection commands over a MetaStock directory, opened as a registered
// program like a conversion run does:
//   --list DIR           one line per security, tab-separated: file number,
//                        symbol, name, period letter, interval, first and last
//                        date-time (YYYY-MM-DD HH:MM:SS), number of bars;
//   --bars DIR SYMBOL    the security's bars in file order, comma-separated:
//                        date-time, open, high, low, close, volume, open
//                        interest, each price printed so it reads back to the
//                        same float.
// Both return the exit status: 0, or 1 with a message on err.
#include <ostream>
#include <string>

namespace vz {

int RunListCommand(const std::string& dir, std::ostream& out, std::ostream& err);
int RunBarsCommand(const std::string& dir, const std::string& symbol, std::ostream& out, std::ostream& err);

}  // namespace vz
