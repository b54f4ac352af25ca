#include "check/lint/config_file.h"

#include <algorithm>

#include "text/nocase.h"

namespace kestrel::check {

ConfigFile::ConfigFile(std::wstring path, std::string bytes, std::wstring text)
    : path_(std::move(path)), bytes_(std::move(bytes)), profile_(std::move(text)) {
  // "\r\n" is one line end, a lone "\r" or "\n" another, as editors count.
  const std::wstring_view t = profile_.text();
  lineStarts_.push_back(0);
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == L'\r' && i + 1 < t.size() && t[i + 1] == L'\n') ++i;
    if (t[i] == L'\r' || t[i] == L'\n') lineStarts_.push_back(i + 1);
  }
}

int ConfigFile::LineOf(std::wstring_view inProfile) const {
  const std::wstring_view t = profile_.text();
  const std::size_t offset = static_cast<std::size_t>(inProfile.data() - t.data());
  auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
  return static_cast<int>(it - lineStarts_.begin());
}

int ConfigFile::SectionLine(std::wstring_view name) const {
  const ProfileSection* section = profile_.FindSection(name);
  if (!section) return 0;
  // The section with no name has no header line: its first key stands for it.
  if (section->name.empty() && section == &profile_.sections().front())
    return section->keys.empty() ? 0 : LineOf(section->keys.front().name);
  return LineOf(section->name);
}

const ProfileKey* ConfigFile::FindKey(std::wstring_view section, std::wstring_view key) const {
  const ProfileSection* s = profile_.FindSection(section);
  if (!s) return nullptr;
  for (const ProfileKey& k : s->keys)
    if (EqualsNoCase(k.name, key)) return &k;
  return nullptr;
}

int ConfigFile::KeyLine(std::wstring_view section, std::wstring_view key) const {
  const ProfileKey* k = FindKey(section, key);
  return k ? LineOf(k->name) : 0;
}

std::wstring ConfigFile::String(std::wstring_view section, std::wstring_view key, std::uint32_t bufferChars) const {
  return ProfileGetString(&profile_, section, key, L"", bufferChars);
}

int ConfigFile::Int(std::wstring_view section, std::wstring_view key) const {
  return ProfileGetInt(&profile_, section, key, 0);
}

std::optional<ConfigFile> ReadConfigFile(Platform& os, const std::wstring& path, std::uint32_t& error) {
  error = 0;
  if (!os.PathFileExistsW(path)) return std::nullopt;
  std::string bytes;
  if (!os.ReadFileBytes(path, bytes)) {
    error = os.GetLastError();
    if (error == 0) error = win::kAccessDenied;
    return std::nullopt;
  }
  std::wstring text = DecodeTextFile(bytes, [&os](std::string_view b) { return os.AnsiToWide(b); });
  return ConfigFile(path, std::move(bytes), std::move(text));
}

}  // namespace kestrel::check
