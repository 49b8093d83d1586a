#pragma once
// The Linux program's archive inspection switches:
//   --unzip ARCHIVE DIR  extracts every entry of an .omz archive into DIR,
//                        refusing to replace files already there unless
//                        `force`;
//   --dump ARCHIVE       lists the entries and prints their decoded contents
//                        (daily records and ticks) as text.
// Both return the process exit code (0 success, 1 failure) and write
// errors, one line each, to err.
#include <ostream>
#include <string>

namespace vz::app {

int RunUnzipCommand(const std::string& archive, const std::string& dir, bool force, std::ostream& out,
                    std::ostream& err);

int RunDumpCommand(const std::string& archive, std::ostream& out, std::ostream& err);

}  // namespace vz::app
