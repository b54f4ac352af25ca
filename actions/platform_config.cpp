#include "actions/platform_config.h"

#include "actions/game_directory.h"
#include "core/fitted_path.h"
#include "core/log.h"
#include "text/nocase.h"
#include "text/path_buffer.h"
#include "text/wide_format.h"

namespace kestrel {

namespace {

constexpr std::uint32_t kSectionChars = 1024;
constexpr int kLastPlatformSection = 198;

/// "key=value": the key before the first "=", the value up to a second
/// "=" (what follows it is lost); no "=" gives an empty value.
void SplitLine(std::wstring_view line, std::wstring& key, std::wstring& value) {
  std::size_t eq = line.find(L'=');
  key = std::wstring(line.substr(0, eq));
  value.clear();
  if (eq == std::wstring_view::npos) return;
  std::wstring_view rest = line.substr(eq + 1);
  value = std::wstring(rest.substr(0, rest.find(L'=')));
}

/// "[12345]" at the start, its first "]" the seventh character.
bool IsGameReference(const std::wstring& value) {
  return !value.empty() && value[0] == L'[' && value.find(L']') == 6;
}

}  // namespace

std::vector<PlatformEntry> ReadPlatformEntries(Platform& os, const std::wstring& config) {
  std::vector<PlatformEntry> entries;
  for (int n = 1; n <= kLastPlatformSection; ++n) {
    std::wstring buffer;
    os.GetPrivateProfileSectionW(FormatWide(L"platform_Game%d", {n}), buffer, kSectionChars, config);
    if (buffer.empty() || buffer[0] == L'\0') break;  // the sections are numbered without gaps
    std::wstring section;
    std::size_t pos = 0;
    while (pos < buffer.size() && buffer[pos] != L'\0') {
      std::size_t end = buffer.find(L'\0', pos);
      if (end == std::wstring::npos) end = buffer.size();
      std::wstring key, value;
      SplitLine(std::wstring_view(buffer).substr(pos, end - pos), key, value);
      pos = end + 1;
      if (EqualsNoCase(key, L"AppName")) {
        section = value;
        continue;
      }
      // Names and values live in 260-character buffers: one that does not
      // fit is not written at all rather than written cut.
      if (key.size() >= kMaxPath || value.size() >= kMaxPath || section.size() >= kMaxPath) {
        LogMessage(os, L"MSG: set_platform passed over a line too long, section=%s, key=%s",
                   {FitBuffer(section), FitBuffer(key)});
        continue;
      }
      entries.push_back(PlatformEntry{section, key, value});
    }
  }
  return entries;
}

bool WritePlatformEntries(Platform& os, const std::wstring& target, const std::vector<PlatformEntry>& entries) {
  for (const PlatformEntry& entry : entries) {
    std::wstring value = entry.value;
    if (IsGameReference(value)) {
      std::wstring directory;
      ResolveGameDirectory(os, value.substr(1, 5), directory);
      if (directory.empty()) continue;
      std::wstring rest = value.size() > 8 ? value.substr(8) : std::wstring();
      if (directory.size() + rest.size() >= kMaxPath) continue;  // would not fit its buffer
      value = directory + rest;
    }
    // A write that fails (a full disk, a read-only file) is named; the
    // file keeps what it had, and the launch goes on.
    if (!os.WritePrivateProfileStringW(entry.section, entry.key, value, target))
      LogMessage(os, L"MSG: set_platform write failed, file=%s, section=%s, key=%s, code=%d",
                 {target, entry.section, entry.key, LastErrorCode(os)});
  }
  return true;
}

bool SetPlatform(Platform& os, const LaunchContext& context) {
  std::wstring config = ConfigPath(context);
  if (!os.PathFileExistsW(config)) return false;
  std::wstring file = os.GetPrivateProfileStringW(L"set_platform", L"PlatformConfigFile", L"", kMaxPath, config);
  if (file.empty()) return false;
  file = ToUpperNoCase(file);

  std::wstring target;
  if (std::size_t at = file.find(L"[GAMEDIR]"); at != std::wstring::npos) {
    target = context.baseDir + file.substr(at + 9);
  } else if (std::size_t at = file.find(L"[APPDATA]"); at != std::wstring::npos) {
    std::wstring appData = os.SHGetSpecialFolderPathW(win::kCsidlAppData);
    // Without its folder the file would be written beside the system's own.
    if (appData.empty()) {
      LogMessage(os, L"MSG: set_platform passed over, no application-data folder for file=%s", {file});
      return true;
    }
    target = appData + file.substr(at + 9);
  } else {
    LogMessage(os, L"MSG: set_platform passed over, file=%s names neither [GAMEDIR] nor [APPDATA]", {file});
    return true;
  }
  if (!PathFits(os, L"set_platform", target)) return true;

  std::vector<PlatformEntry> entries = ReadPlatformEntries(os, config);
  if (!entries.empty()) WritePlatformEntries(os, target, entries);
  return true;
}

}  // namespace kestrel
