#pragma once
// A Config.ini as the linter reads it: the raw bytes, the text decoded and
// parsed by the profile reader's own rules (so the linter finds the same
// sections and keys the launcher finds), and the line on which each name
// stands, counted the way an editor counts them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/model/profile_text.h"
#include "platform/platform.h"

namespace kestrel::check {

class ConfigFile {
 public:
  ConfigFile(std::wstring path, std::string bytes, std::wstring text);

  const std::wstring& path() const { return path_; }
  const std::string& bytes() const { return bytes_; }
  const ProfileText& profile() const { return profile_; }

  /// The 1-based line of a name or value viewed from profile().
  int LineOf(std::wstring_view inProfile) const;
  /// The line of the section the launcher reads under `name` (the first of
  /// that name), 0 when there is none.
  int SectionLine(std::wstring_view name) const;
  /// The line of `key` in the section the launcher reads, 0 when missing.
  int KeyLine(std::wstring_view section, std::wstring_view key) const;
  /// The key the launcher reads as `key` in `section`, or null.
  const ProfileKey* FindKey(std::wstring_view section, std::wstring_view key) const;

  /// What GetPrivateProfileStringW gives for the key with a buffer of
  /// `bufferChars` (260 for every text key of the launcher).
  std::wstring String(std::wstring_view section, std::wstring_view key, std::uint32_t bufferChars = 260) const;
  /// What GetPrivateProfileIntW gives, default 0.
  int Int(std::wstring_view section, std::wstring_view key) const;

 private:
  std::wstring path_;
  std::string bytes_;
  ProfileText profile_;
  std::vector<std::size_t> lineStarts_;  // offsets in profile_.text()
};

/// Reads the file at `path` through the platform and decodes it as the
/// profile reader does.  None when there is no file or it cannot be read;
/// `error` then holds the Windows error code (0: no file).
std::optional<ConfigFile> ReadConfigFile(Platform& os, const std::wstring& path, std::uint32_t& error);

}  // namespace kestrel::check
