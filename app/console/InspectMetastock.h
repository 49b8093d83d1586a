#pragma once
// Two inspection commands over a MetaStock directory. They only look: the
// directory is opened without registering, nothing in it is created,
// changed or deleted, and files are read under the sharing rules (a program
// holding a master file exclusively is waited for briefly).
//   --list DIR           one line per security, tab-separated: file number,
//                        symbol, name, period letter, interval, first and last
//                        date-time (YYYY-MM-DD HH:MM:SS), number of bars (-1
//                        when they cannot be read, with the reason on err);
//   --bars DIR SYMBOL    the security's bars in file order, comma-separated:
//                        date-time, open, high, low, close, volume, open
//                        interest, each price printed so it reads back to the
//                        same float. SYMBOL may instead be the security's data
//                        file name, F<n>.DAT or F<n>.MWD (n as --list prints
//                        it), to pick one of several securities that share a
//                        symbol; naming a shared symbol gives the first and
//                        says on err which data files share it.
// Both return the exit status: 0, or 1 with a message on err.
#include <ostream>
#include <string>

namespace vz {

int RunListCommand(const std::string& dir, std::ostream& out, std::ostream& err);
int RunBarsCommand(const std::string& dir, const std::string& symbol, std::ostream& out, std::ostream& err);

}  // namespace vz
