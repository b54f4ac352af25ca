// Numbered sections and keys: the prerequisite sections "1" to "29", the
// "platform_Game%d" sections and the version buttons' "btn%d..." keys.  The
// launcher reads the sections from 1 up and stops at the first that is not
// an entry, so everything after a gap is never read; it reads the buttons'
// keys from 1 to "btnCount", so keys beyond it are never read and numbers
// within it without keys give empty buttons.

#include <algorithm>
#include <climits>
#include <optional>

#include "check/lint/lint_rules.h"
#include "prereq/prerequisite_installer.h"
#include "chooser/chooser_config.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel::check {

namespace {

constexpr int kLastPlatformSection = 198;

std::string U8(std::wstring_view text) { return WideToUtf8(text); }

/// The number written by `digits`, as "%d" would write it: none when it is
/// not all digits or has a leading zero (no "%d" writes that name).
std::optional<int> PrintedNumber(std::wstring_view digits) {
  if (digits.empty() || (digits.size() > 1 && digits[0] == L'0')) return std::nullopt;
  long long n = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return std::nullopt;
    n = std::min<long long>(n * 10 + (c - L'0'), INT_MAX);
  }
  return static_cast<int>(n);
}

bool AllDigits(std::wstring_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

/// `name` without `prefix` (compared without regard to case), or none.
std::optional<std::wstring_view> AfterPrefix(std::wstring_view name, std::wstring_view prefix) {
  if (name.size() < prefix.size() || !EqualsNoCase(name.substr(0, prefix.size()), prefix)) return std::nullopt;
  return name.substr(prefix.size());
}

/// A numbered list of sections "<prefix><n>" read from 1 up: where it
/// ended, and why.
struct SectionList {
  std::wstring prefix;
  std::string what;        ///< "prerequisite", "platform"
  int lastRead = 0;        ///< the last section read as an entry
  int stoppedAt = 0;       ///< the number that ended the list; 0: it ran to its limit
  std::string reason;      ///< why the list ended there
  bool reportEnd = false;  ///< the section that ended the list is itself an entry the operator meant
};

/// Reports the sections of `list` the launcher never reaches: the one that
/// ended the list when it is there, and the first unread one after it,
/// with how many more there are.
void ReportUnread(const LintInput& in, const SectionList& list) {
  const ProfileText& profile = in.config.profile();
  std::vector<const ProfileSection*> unread;
  for (const ProfileSection& section : profile.sections()) {
    auto tail = AfterPrefix(section.name, list.prefix);
    if (!tail || !AllDigits(*tail)) continue;
    if (profile.FindSection(section.name) != &section) continue;  // a repeated section: another rule's
    std::optional<int> n = PrintedNumber(*tail);
    if (n && *n <= list.lastRead) continue;
    if (n && *n == list.stoppedAt) {
      if (!list.reportEnd) continue;
      in.Add(Severity::kError, "section-gap", in.config.LineOf(section.name),
             "section [" + U8(section.name) + "] ends the " + list.what + " list: " + list.reason +
                 ", so it and every later section are never read");
      continue;
    }
    unread.push_back(&section);
  }
  if (unread.empty()) return;
  const ProfileSection& first = *unread.front();
  std::string message = "section [" + U8(first.name) + "] is never read: ";
  if (!PrintedNumber(*AfterPrefix(first.name, list.prefix)))
    message += "its number has a leading zero, and the launcher asks for [" + U8(list.prefix) + "1], [" +
               U8(list.prefix) + "2], ...";
  else if (list.stoppedAt == 0)
    message += "the launcher reads no " + list.what + " section after [" + U8(list.prefix) +
               std::to_string(list.lastRead) + "]";
  else
    message += "the " + list.what + " list ends at [" + U8(list.prefix) + std::to_string(list.stoppedAt) + "] (" +
               list.reason + ")";
  if (unread.size() > 1)
    message += "; " + std::to_string(unread.size() - 1) + " more sections after it are not read either";
  in.Add(Severity::kError, "section-gap", in.config.LineOf(first.name), message);
}

void CheckPrerequisiteSections(const LintInput& in) {
  SectionList list;
  list.what = "prerequisite";
  list.reportEnd = true;
  for (int n = 1; n <= kLastPrerequisiteSection; ++n) {
    const std::wstring name = std::to_wstring(n);
    const int type = in.config.Int(name, L"checkType");
    if (type >= 1 && type <= 3) {
      list.lastRead = n;
      continue;
    }
    list.stoppedAt = n;
    if (!in.config.profile().FindSection(name))
      list.reason = "there is no section [" + U8(name) + "]";
    else if (!in.config.FindKey(name, L"checkType"))
      list.reason = std::string("[").append(U8(name)) + "] has no checkType";
    else
      list.reason = "its checkType is " + std::to_string(type) + ", not 1, 2 or 3";
    break;
  }
  ReportUnread(in, list);
}

/// True when GetPrivateProfileSectionW gives nothing for the section:
/// missing, or only lines whose names start with ";".
bool SectionReadsEmpty(const ProfileSection* section) {
  if (!section) return true;
  return std::all_of(section->keys.begin(), section->keys.end(),
                     [](const ProfileKey& k) { return !k.name.empty() && k.name[0] == L';'; });
}

void CheckPlatformSections(const LintInput& in) {
  SectionList list;
  list.prefix = L"platform_Game";
  list.what = "platform";
  for (int n = 1; n <= kLastPlatformSection; ++n) {
    const std::wstring name = L"platform_Game" + std::to_wstring(n);
    const ProfileSection* section = in.config.profile().FindSection(name);
    if (!SectionReadsEmpty(section)) {
      list.lastRead = n;
      continue;
    }
    list.stoppedAt = n;
    list.reason = section ? std::string("[").append(U8(name)) + "] is empty" : "there is no section [" + U8(name) + "]";
    break;
  }
  ReportUnread(in, list);
  if (list.lastRead > 0 && in.config.String(L"set_platform", L"PlatformConfigFile").empty())
    in.Add(Severity::kWarning, "section-gap", in.config.SectionLine(L"platform_Game1"),
           "the platform_Game sections are never read: [set_platform] has no PlatformConfigFile naming the file "
           "they go to");
}

constexpr const wchar_t* kButtonKeySuffixes[] = {L"Caption", L"Exe", L"Param", L"Ver", L"CloseDlg"};

/// The button number of a "btn<n><suffix>" key as written (leading zeros
/// and all), or none when the key is not one.
std::optional<std::wstring_view> ButtonDigits(std::wstring_view key) {
  auto rest = AfterPrefix(key, L"btn");
  if (!rest) return std::nullopt;
  std::size_t digits = 0;
  while (digits < rest->size() && (*rest)[digits] >= L'0' && (*rest)[digits] <= L'9') ++digits;
  if (digits == 0) return std::nullopt;
  for (const wchar_t* suffix : kButtonKeySuffixes)
    if (EqualsNoCase(rest->substr(digits), suffix)) return rest->substr(0, digits);
  return std::nullopt;
}

void CheckButtonKeys(const LintInput& in) {
  const ProfileSection* section = in.config.profile().FindSection(L"dlg_config");
  if (!section) return;
  const int count = std::min(in.config.Int(L"dlg_config", L"btnCount"), kMostVersionEntries);
  std::vector<bool> hasKeys(static_cast<std::size_t>(std::max(count, 0)) + 1, false);
  std::vector<std::wstring> reported;  // button numbers as written, one finding each
  for (const ProfileKey& key : section->keys) {
    auto digits = ButtonDigits(key.name);
    if (!digits) continue;
    std::optional<int> n = PrintedNumber(*digits);
    if (n && *n >= 1 && *n <= count) {
      hasKeys[static_cast<std::size_t>(*n)] = true;
      continue;
    }
    if (std::find(reported.begin(), reported.end(), *digits) != reported.end()) continue;
    reported.emplace_back(*digits);
    std::string why;
    if (count <= 0)
      why = "btnCount is " + std::to_string(count) + ", so the chooser is not shown and no button key is read";
    else if (!n)
      why = "the launcher asks for btn1..., btn2..., without leading zeros";
    else
      why = "btnCount is " + std::to_string(count) + ", so the launcher reads buttons 1 to " + std::to_string(count);
    in.Add(Severity::kError, "button-gap", in.config.LineOf(key.name),
           "the keys of button " + U8(*digits) + " (first " + U8(key.name) + ") are never read: " + why);
  }
  int firstEmpty = 0, empties = 0;
  for (int n = 1; n <= count; ++n)
    if (!hasKeys[static_cast<std::size_t>(n)] && ++empties == 1) firstEmpty = n;
  if (empties > 0)
    in.Add(Severity::kError, "button-gap", in.config.KeyLine(L"dlg_config", L"btnCount"),
           "button " + std::to_string(firstEmpty) + " has no btn" + std::to_string(firstEmpty) +
               "... keys: the chooser shows it with no label and no program" +
               (empties > 1 ? " (and " + std::to_string(empties - 1) + " more buttons up to btnCount " +
                                  std::to_string(count) + ")"
                            : std::string()));
}

}  // namespace

void CheckNumberedLists(const LintInput& in) {
  CheckPrerequisiteSections(in);
  CheckPlatformSections(in);
  CheckButtonKeys(in);
}

}  // namespace kestrel::check
