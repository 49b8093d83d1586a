#include "vuzuz/OmzFile.h"

#include <atomic>
#include <cerrno>
#include <cctype>
#include <chrono>
#include <fstream>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "platform/DurableFile.h"
#include "platform/FileFault.h"

namespace fs = std::filesystem;

namespace vz::omz {

std::string SystemReason(int errorNumber) {
  if (errorNumber == 0) return {};
  return ": " + std::generic_category().message(errorNumber);
}

fs::path PathIn(const fs::path& dir, const std::string& name) {
  return dir.empty() ? fs::path(name) : dir / name;
}

fs::path TemporaryPathFor(const fs::path& path) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000;
  fs::path tmp = path;
  tmp += "." + std::to_string(stamp) + "-" + std::to_string(counter++) + ".tmp";
  return tmp;
}

bool WriteFileAtomically(const fs::path& path, ByteView bytes, Failure& error) {
  const fs::path tmp = TemporaryPathFor(path);
  {
    if (const int injected = platform::InjectedFileFault(platform::FileOperation::Create, tmp.string()))
      return Reject(error, Error::kCannotWrite, "cannot create " + tmp.string() + SystemReason(injected));
    errno = 0;
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return Reject(error, Error::kCannotWrite, "cannot create " + tmp.string() + SystemReason(errno));
    // A drill's injected failure (platform/FileFault.h) fails the write as
    // the system's would, through the same path.
    if (const int injected = platform::InjectedFileFault(platform::FileOperation::Write, tmp.string())) {
      errno = injected;
      out.setstate(std::ios::badbit);
    } else {
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    out.flush();
    const int writeError = errno;
    out.close();
    if (out.fail()) {
      const int why = writeError ? writeError : errno;
      std::error_code ec;
      fs::remove(tmp, ec);
      return Reject(error, Error::kCannotWrite, "cannot write " + tmp.string() + SystemReason(why));
    }
  }
  return FlushToDisk(tmp, error) && MoveIntoPlace(tmp, path, error);
}

bool FlushToDisk(const fs::path& temp, Failure& error) {
  const std::error_code ec = platform::FlushFileToDisk(temp);
  if (!ec) return true;
  std::error_code ignored;
  fs::remove(temp, ignored);
  return Reject(error, Error::kCannotWrite, "cannot write " + temp.string() + " to the disk: " + ec.message());
}

bool MoveIntoPlace(const fs::path& temp, const fs::path& path, Failure& error) {
  const std::error_code ec = platform::RenameDurably(temp, path);
  if (!ec) return true;
  std::error_code ignored;
  fs::remove(temp, ignored);
  return Reject(error, Error::kCannotPutInPlace, "cannot put " + path.string() + " in place: " + ec.message());
}

bool ReadWholeFile(const fs::path& path, Bytes& bytes, Failure& error, size_t maxSize) {
  std::error_code kind;
  if (fs::is_directory(path, kind)) return Reject(error, Error::kCannotOpen, path.string() + " is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) return Reject(error, Error::kCannotOpen, "cannot open " + path.string());
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return Reject(error, Error::kCannotRead, "cannot read " + path.string());
  if (static_cast<uint64_t>(size) > maxSize) return Reject(error, Error::kTooLarge, path.string() + " is too large");
  in.seekg(0);
  bytes.resize(static_cast<size_t>(size));
  if (size > 0) in.read(reinterpret_cast<char*>(bytes.data()), size);
  if (!in || in.gcount() != size) return Reject(error, Error::kCannotRead, "cannot read " + path.string());
  return true;
}

namespace {

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (unsigned char c : text)
    if (!std::isdigit(c)) return false;
  return true;
}

// base + ".omz." + digits + "-" + digits + ".tmp", base a valid base name.
bool IsArchiveTemporaryName(const std::string& name) {
  const size_t middle = name.find(".omz.");
  if (middle == std::string::npos || !IsValidBaseName(name.substr(0, middle))) return false;
  return IsTemporaryNameFor(name, name.substr(0, middle) + ".omz");
}

// The name as ASCII text; empty when it holds anything else (no name of
// ours does), so that a name in another script never has to be converted.
std::string AsciiName(const fs::path& name) {
  std::string text;
  for (const auto c : name.native()) {
    const auto code = static_cast<std::make_unsigned_t<fs::path::value_type>>(c);
    if (code == 0 || code > 127) return {};
    text += static_cast<char>(code);
  }
  return text;
}

}  // namespace

bool IsTemporaryNameFor(const std::string& name, const std::string& finalName) {
  constexpr std::string_view kEnd = ".tmp";
  const std::string prefix = finalName + ".";
  if (!name.starts_with(prefix) || !name.ends_with(kEnd) || name.size() < prefix.size() + kEnd.size()) return false;
  const std::string_view numbers =
      std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - kEnd.size());
  const size_t dash = numbers.find('-');
  return dash != std::string_view::npos && AllDigits(numbers.substr(0, dash)) && AllDigits(numbers.substr(dash + 1));
}

size_t RemoveLeftoverArchiveTemporaries(const fs::path& folder) {
  size_t removed = 0;
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code kind;
    if (!it->is_regular_file(kind) || !IsArchiveTemporaryName(AsciiName(it->path().filename()))) continue;
    std::error_code gone;
    if (fs::remove(it->path(), gone)) ++removed;
  }
  return removed;
}

bool IsValidBaseName(const std::string& base) {
  if (base.empty() || base.size() > 8) return false;
  for (unsigned char c : base)
    if (!(std::isalnum(c) || c == '_' || c == '-')) return false;
  return true;
}

}  // namespace vz::omz
