#include "vuzuz/OmzError.h"

#include <ostream>

namespace vz::omz {

bool Reject(Failure& error, Error code, std::string text) {
  error.code = code;
  error.text = std::move(text);
  return false;
}

std::ostream& operator<<(std::ostream& out, const Failure& error) { return out << error.text; }

std::ostream& operator<<(std::ostream& out, Error code) {
  return out << "error code " << static_cast<int>(code);
}

}  // namespace vz::omz
