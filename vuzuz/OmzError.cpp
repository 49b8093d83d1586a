#include "vuzuz/OmzError.h"

#include <ostream>

namespace vz::omz {

bool Reject(Error& error, Fault code, std::string text) {
  error.code = code;
  error.text = std::move(text);
  return false;
}

std::ostream& operator<<(std::ostream& out, const Error& error) { return out << error.text; }

std::ostream& operator<<(std::ostream& out, Fault code) {
  return out << "fault " << static_cast<int>(code);
}

}  // namespace vz::omz
