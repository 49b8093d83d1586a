#include "app/record/ImportStateFile.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/FileSystem.h"
#include "vuzuz/OmzFile.h"

namespace vz::app {

namespace fs = std::filesystem;

namespace {

// A person's notes, not data: anything larger is not this file.
constexpr size_t kMaxFileSize = size_t{1} << 20;

fs::path StatePath(const std::string& outputDir) {
  return omz::PathIn(outputDir.empty() ? fs::path() : platform::PathFromUtf8(outputDir), kImportStateFileName);
}

void RemoveLeftoverTemporaries(const fs::path& folder) {
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code kind;
    if (!it->is_regular_file(kind) ||
        !omz::IsTemporaryNameFor(platform::Utf8FromPath(it->path().filename()), kImportStateFileName))
      continue;
    std::error_code gone;
    fs::remove(it->path(), gone);
  }
}

}  // namespace

ImportStateFile ReadImportStateFile(const std::string& outputDir) {
  ImportStateFile file;
  const fs::path path = StatePath(outputDir);
  file.path = platform::Utf8FromPath(path);
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return file;
  file.exists = true;
  if (ec) {
    file.problem = "cannot read " + file.path + ": " + ec.message();
    return file;
  }
  Bytes bytes;
  omz::Failure failure;
  if (!omz::ReadWholeFile(path, bytes, failure, kMaxFileSize)) {
    file.problem = failure.code == omz::Error::kTooLarge
                       ? file.path + " is larger than such a file can be (" + std::to_string(kMaxFileSize) +
                             " bytes)"
                       : failure.text;
    return file;
  }
  file.state = ParseImportState(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return file;
}

std::string WriteImportStateFile(const std::string& outputDir, const ImportState& state) {
  const fs::path path = StatePath(outputDir);
  RemoveLeftoverTemporaries(path.parent_path());
  if (state.Empty()) {
    std::error_code ec;
    fs::remove(path, ec);
    return ec ? "cannot remove " + platform::Utf8FromPath(path) + ": " + ec.message() : std::string();
  }
  const std::string text = FormatImportState(state);
  omz::Failure failure;
  if (!omz::WriteFileAtomically(path, AsBytes(text), failure))
    return failure.text;
  return {};
}

}  // namespace vz::app
