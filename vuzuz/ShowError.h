#pragma once
// ShowError: the modal error box of the program, behind a sink that each
// front end installs (the Windows program an error box, the Linux program a
// line on stderr, tests a recorder). Safe to call from any thread; the sink
// decides how to reach its own thread.
#include <functional>
#include <string>

namespace vz {

using ErrorSink = std::function<void(const std::string& text)>;

// Installs the sink and returns the one it replaces. With no sink installed
// the text goes to stderr.
ErrorSink SetErrorSink(ErrorSink sink);

void ShowError(const std::string& text);

}  // namespace vz
