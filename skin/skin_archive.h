#pragma once
// The skin archive res.dat: read whole into memory once, when the chooser
// window is created, and kept open with its ZIP reader until the process
// ends, because the chooser's image buttons load their faces from it later.

#include <string>

#include "skin/zip_reader.h"

namespace kestrel {

class Platform;

class SkinArchive {
 public:
  SkinArchive() = default;
  ~SkinArchive() { Close(); }
  SkinArchive(const SkinArchive&) = delete;
  SkinArchive& operator=(const SkinArchive&) = delete;

  /// Reads the file at `path` whole and opens the reader on its bytes.
  /// False when the file cannot be read or is not a readable archive; the
  /// bytes of a file that is not an archive stay held until Close.  An
  /// archive already open stays as it is and true is returned: the handle
  /// the buttons use is never swapped under them.
  bool Open(Platform& platform, const std::wstring& path, ZipOpenFailure* failure = nullptr);
  /// Closes the reader, if any, then frees the bytes.
  void Close();

  /// The open reader, or kNoArchive.
  ArchiveHandle handle() const { return handle_; }
  /// The archive's bytes as read (with a zero byte after them).
  const std::string& bytes() const { return bytes_; }

 private:
  ArchiveHandle handle_ = kNoArchive;
  std::string bytes_;
};

/// The process-wide skin archive, created empty on first use; its
/// destruction at process exit is CloseSkinArchive.
SkinArchive& TheSkinArchive();

/// Opens the process-wide skin archive from `path`.
bool OpenSkinArchive(Platform& platform, const std::wstring& path);

/// Closes the process-wide skin archive: the reader first, then its bytes.
void CloseSkinArchive();

}  // namespace kestrel
