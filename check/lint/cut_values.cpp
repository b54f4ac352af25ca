// Values the launcher does not read whole: a text key is read into 260
// characters, so a longer value is cut to 259 (a cut path names another
// file); a "platform_Game%d" section is read whole into 1,024 characters,
// and of each of its lines the value ends at a second "=", and a line whose
// key, value or section name does not fit 260 characters is passed over.

#include "check/lint/known_keys.h"
#include "check/lint/lint_rules.h"
#include "text/nocase.h"
#include "text/path_buffer.h"
#include "text/utf.h"

namespace kestrel::check {

namespace {

constexpr std::uint32_t kPlatformSectionChars = 1024;

std::string U8(std::wstring_view text) { return WideToUtf8(text); }

/// The value as a reader with room for all of it gives it back: one pair
/// of surrounding quotes removed.
std::wstring Whole(std::wstring_view value) {
  return CopyProfileValue(value, static_cast<std::uint32_t>(value.size()) + 2);
}

/// True when the text goes on after `value` with a zero character, where
/// the reader stopped.
bool EndsAtAZero(const ConfigFile& config, std::wstring_view value) {
  const std::wstring_view text = config.profile().text();
  const std::size_t end = static_cast<std::size_t>(value.data() - text.data()) + value.size();
  return end < text.size() && text[end] == L'\0';
}

void CheckTextKeys(const LintInput& in, const ProfileSection& section, const KnownSection& known) {
  for (const ProfileKey& key : section.keys) {
    const KnownKey* k = FindKnownKey(known, key.name);
    if (!k || !key.value) continue;
    if (in.config.FindKey(section.name, key.name) != &key) continue;  // a repeat, never read
    if (EndsAtAZero(in.config, *key.value)) {
      in.Add(Severity::kError, "value-cut", in.config.LineOf(key.name),
             "the value of " + U8(key.name) + " holds a zero character: the launcher reads only \"" + U8(*key.value) +
                 "\", the text before it");
      continue;
    }
    if (k->kind != KeyKind::kText) continue;
    const std::wstring whole = Whole(*key.value);
    const std::wstring read = CopyProfileValue(*key.value, kMaxPath);
    if (read.size() >= whole.size()) continue;
    in.Add(Severity::kError, "value-cut", in.config.LineOf(key.name),
           "the value of " + U8(key.name) + " is " + std::to_string(whole.size()) +
               " characters long; the launcher reads only the first " + std::to_string(read.size()) + ", ending \"" +
               U8(read.substr(read.size() > 20 ? read.size() - 20 : 0)) + "\"");
  }
}

void CheckPlatformSection(const LintInput& in, const ProfileSection& section) {
  std::size_t filled = 0;  // characters of the section's buffer taken so far
  bool reportedCut = false;
  std::size_t appNameLength = 0;
  for (const ProfileKey& key : section.keys) {
    if (!key.name.empty() && key.name[0] == L';') continue;  // left out of the section's lines
    const int line = in.config.LineOf(key.name);
    filled += key.name.size() + 1 + (key.value ? key.value->size() + 1 : 0);
    if (!reportedCut && filled > kPlatformSectionChars - 2) {
      reportedCut = true;
      in.Add(Severity::kError, "value-cut", line,
             std::string("[").append(U8(section.name)) + "] is longer than the " +
                 std::to_string(kPlatformSectionChars) +
                 " characters the launcher reads of it: this line is cut and the lines after it are lost");
    }
    const std::wstring_view value = key.value ? *key.value : std::wstring_view();
    const std::wstring_view written = value.substr(0, value.find(L'='));
    if (written.size() < value.size())
      in.Add(Severity::kError, "value-cut", line,
             "the value of " + U8(key.name) + " holds a second \"=\": the launcher takes only \"" + U8(written) + "\"");
    if (EqualsNoCase(key.name, L"AppName")) {
      appNameLength = written.size();
      if (appNameLength >= kMaxPath)
        in.Add(Severity::kError, "value-cut", line,
               "AppName is " + std::to_string(appNameLength) +
                   " characters long; the lines after it, up to the next AppName, are passed over (259 at most)");
      continue;
    }
    if ((key.name.size() >= kMaxPath || written.size() >= kMaxPath) && appNameLength < kMaxPath)
      in.Add(Severity::kError, "value-cut", line,
             "the line of " + U8(key.name.substr(0, 40)) +
                 " is passed over: its key or value is longer than 259 characters");
  }
}

}  // namespace

void CheckCutValues(const LintInput& in) {
  const ProfileText& profile = in.config.profile();
  for (const ProfileSection& section : profile.sections()) {
    if (profile.FindSection(section.name) != &section) continue;
    if (const KnownSection* known = FindKnownSection(section.name))
      CheckTextKeys(in, section, *known);
    else if (MatchesPattern(L"platform_Game%d", section.name))
      CheckPlatformSection(in, section);
  }
}

}  // namespace kestrel::check
