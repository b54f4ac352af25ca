#include "prereq/file_version.h"

#include <vector>

namespace kestrel {

bool QueryFileVersion(Platform& os, const std::wstring& path, std::uint32_t& high, std::uint32_t& low) {
  if (path.empty() || !os.PathFileExistsW(path)) return false;
  std::uint32_t size = os.GetFileVersionInfoSizeW(path);
  if (size == 0) return false;
  std::vector<std::uint8_t> block;
  if (!os.GetFileVersionInfoW(path, size, block)) return false;
  FixedFileInfo info;
  if (!os.VerQueryValueW(block, L"\\", info)) return false;
  high = info.fileVersionMS;
  low = info.fileVersionLS;
  return true;
}

}  // namespace kestrel
