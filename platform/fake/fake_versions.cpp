// The fake's version resources: given ones, or read from a PE image's bytes.

#include "platform/fake/fake_platform.h"

#include <algorithm>

#include "platform/model/version_resource.h"

namespace kestrel {

void FakePlatform::SetFileVersion(const std::wstring& path, const FixedFileInfo& info) {
  versions_[Key(path)] = BuildVersionInfoBlock(info);
}

bool FakePlatform::VersionBlock(const std::wstring& file, std::vector<std::uint8_t>& block) {
  auto bytes = files_.find(Key(file));
  if (bytes == files_.end()) {
    lastError_ = dirs_.count(Key(file)) ? win::kAccessDenied : win::kFileNotFound;
    return false;
  }
  auto given = versions_.find(Key(file));
  if (given != versions_.end()) {
    block = given->second;
    return true;
  }
  const std::string& image = bytes->second;
  std::uint32_t error = 0;
  if (!ReadVersionResource(std::span(reinterpret_cast<const std::uint8_t*>(image.data()), image.size()), block,
                           error)) {
    lastError_ = error;
    return false;
  }
  return true;
}

std::uint32_t FakePlatform::GetFileVersionInfoSizeW(const std::wstring& file) {
  Record(L"GetFileVersionInfoSizeW", {file});
  std::vector<std::uint8_t> block;
  if (!VersionBlock(file, block)) return 0;
  return static_cast<std::uint32_t>(block.size());
}

bool FakePlatform::GetFileVersionInfoW(const std::wstring& file, std::uint32_t size, std::vector<std::uint8_t>& block) {
  Record(L"GetFileVersionInfoW", {file, std::to_wstring(size)});
  std::vector<std::uint8_t> whole;
  if (!VersionBlock(file, whole)) return false;
  whole.resize(std::min<std::size_t>(whole.size(), size));
  block = std::move(whole);
  return true;
}

bool FakePlatform::VerQueryValueW(std::span<const std::uint8_t> block, const std::wstring& subBlock,
                                  FixedFileInfo& info) {
  Record(L"VerQueryValueW", {subBlock});
  return subBlock == L"\\" && ParseFixedFileInfo(block, info);
}

}  // namespace kestrel
