#pragma once
// TOMZCompressor packs a GlobalServer file set into an .omz archive and
// extracts archives again: the file-set front over the one entry writer and
// reader (OmzArchive.h), with the codec's work areas inside the object so
// that packing allocates no compression memory.
//
// Files live in the compressor's folder (empty: the current directory). A new
// archive is built under a temporary name in that folder and renamed over
// base + ".omz" only when every entry was read and written in full, so an
// existing archive is never replaced by a broken one. LastError() tells why
// an operation gave false.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "bytes/ByteFields.h"
#include "vuzuz/OmzError.h"
#include "vuzuz/pkcmp/Pkcmp.h"

namespace vz::omz {

class TOMZCompressor {
public:
  explicit TOMZCompressor(std::filesystem::path folder = {});
  ~TOMZCompressor();  // an archive still open is discarded
  TOMZCompressor(const TOMZCompressor&) = delete;
  TOMZCompressor& operator=(const TOMZCompressor&) = delete;

  // Packs the set named base (descriptor, then .DLY, .DAT, .IDX if present)
  // into base + ".omz" and deletes the set's files. The flag is unused.
  bool OMZCreate(const std::string& base, bool flag);
  // Starts a new archive base + ".omz" (under a temporary name until closed).
  bool OMZCreateEmpty(const std::string& base);
  // Appends one entry for the file at path (relative to the folder); the
  // entry is named by the file name less one trailing ".". An empty file
  // adds nothing and gives true.
  bool OMZAdd(const std::string& path);
  // Finishes the archive: puts it in place when every OMZAdd succeeded,
  // otherwise discards it and gives false.
  bool OMZClose();
  // Extracts every entry of the archive at path into the folder. Entries
  // before a broken one stay extracted.
  bool OMZUnzip(const std::string& path);

  const Failure& LastError() const { return error_; }

private:
  bool Fail(Error code, const std::string& text);
  bool ExtractEntry(const std::string& name, ByteView packed);
  void DeleteSet(const std::string& base);
  void DiscardArchive();

  char implodeWork_[pkcmp::kImplodeWorkSize];
  char explodeWork_[pkcmp::kExplodeWorkSize];
  std::ofstream archive_;

  std::filesystem::path folder_;
  std::filesystem::path archivePath_;  // final name of the archive being built
  std::filesystem::path archiveTemp_;  // where it is written meanwhile
  bool archiveOpen_ = false;
  bool archiveGood_ = false;  // every entry so far complete
  Failure error_;
};

}  // namespace vz::omz
