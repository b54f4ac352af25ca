// The fake's version resources: given ones, or read from a PE image's bytes.

#include "platform/fake/fake_platform.h"

#include "platform/model/version_resource.h"
#include "text/utf.h"

namespace kestrel {

void FakePlatform::SetFileVersion(const std::wstring& path, const FixedFileInfo& info) {
  versions_[Key(path)] = BuildVersionInfoBlock(info);
  ++fileWrites_;
}

bool FakePlatform::VersionState(const std::wstring& key, FileState& state) const {
  auto bytes = files_.find(key);
  if (bytes == files_.end()) return false;
  // No inodes or clock here: the count of writes stands for the time, so
  // a write of any file between the size and the data call reads again.
  state = FileState{0, 0, bytes->second.size(), static_cast<std::int64_t>(fileWrites_), 0};
  return true;
}

bool FakePlatform::VersionBlock(const std::wstring& key, std::vector<std::uint8_t>& block, FileState& state,
                                std::uint32_t& error) const {
  if (!VersionState(key, state)) {
    error = dirs_.count(key) ? win::kAccessDenied : win::kFileNotFound;
    return false;
  }
  if (auto given = versions_.find(key); given != versions_.end()) {
    block = given->second;
    return true;
  }
  const std::string& image = files_.at(key);
  return ReadVersionResource(std::span(reinterpret_cast<const std::uint8_t*>(image.data()), image.size()), block,
                             error);
}

std::uint32_t FakePlatform::GetFileVersionInfoSizeW(const std::wstring& file) {
  Record(L"GetFileVersionInfoSizeW", {file});
  std::wstring key = Key(file);
  std::uint32_t error = 0;
  std::uint32_t size = versionPair_.Size(
      WideToUtf8(key), [&](auto& block, auto& state, auto& err) { return VersionBlock(key, block, state, err); },
      error);
  if (size == 0) lastError_ = error;
  return size;
}

bool FakePlatform::GetFileVersionInfoW(const std::wstring& file, std::uint32_t size, std::vector<std::uint8_t>& block) {
  Record(L"GetFileVersionInfoW", {file, std::to_wstring(size)});
  std::wstring key = Key(file);
  FileState current;
  bool known = VersionState(key, current);
  std::uint32_t error = 0;
  bool ok = versionPair_.Data(
      WideToUtf8(key), known ? &current : nullptr, size,
      [&](auto& found, auto& state, auto& err) { return VersionBlock(key, found, state, err); }, block, error);
  if (!ok) lastError_ = error;
  return ok;
}

bool FakePlatform::VerQueryValueW(std::span<const std::uint8_t> block, const std::wstring& subBlock,
                                  FixedFileInfo& info) {
  Record(L"VerQueryValueW", {subBlock});
  return subBlock == L"\\" && ParseFixedFileInfo(block, info);
}

}  // namespace kestrel
