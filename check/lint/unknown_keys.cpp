// Keys no action reads, in sections that one does, with the known key
// nearest to each (names match without regard to case, so "mainexe" is
// "mainExe"; "mianExe" is a typo); sections that look like a known one
// misspelt; and repeated sections and keys, of which the launcher reads
// only the first.

#include <algorithm>
#include <optional>
#include <vector>

#include "check/lint/known_keys.h"
#include "check/lint/lint_rules.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel::check {

namespace {

std::string U8(std::wstring_view text) { return WideToUtf8(text); }

/// Edits (insert, delete, change, swap two neighbours) from `a` to `b`,
/// without regard to case.
std::size_t Distance(std::wstring_view a, std::wstring_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i)
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const bool same = FoldCase(a[i - 1]) == FoldCase(b[j - 1]);
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && FoldCase(a[i - 1]) == FoldCase(b[j - 2]) && FoldCase(a[i - 2]) == FoldCase(b[j - 1]))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

/// A pattern's "%d" written with the digits in `name` (1 when it has none).
std::wstring Instantiate(std::wstring_view pattern, std::wstring_view name) {
  const std::size_t at = pattern.find(L"%d");
  if (at == std::wstring_view::npos) return std::wstring(pattern);
  std::wstring digits;
  for (wchar_t c : name)
    if (c >= L'0' && c <= L'9')
      digits += c;
    else if (!digits.empty())
      break;
  if (digits.empty()) digits = L"1";
  return std::wstring(pattern.substr(0, at)) + digits + std::wstring(pattern.substr(at + 2));
}

/// The candidate nearest to `name`, when it is near enough to be meant:
/// at most two edits, and fewer than a third of the name.
std::optional<std::wstring> Nearest(std::wstring_view name, const std::vector<std::wstring>& candidates) {
  std::optional<std::wstring> best;
  std::size_t bestDistance = 3;
  for (const std::wstring& c : candidates) {
    const std::size_t d = Distance(name, c);
    if (d < bestDistance && d * 3 < std::max(name.size(), c.size())) {
      bestDistance = d;
      best = c;
    }
  }
  return best;
}

bool LooksLikeANote(std::wstring_view name) { return !name.empty() && (name[0] == L';' || name[0] == L'#'); }

void CheckKeys(const LintInput& in, const ProfileSection& section, const KnownSection& known) {
  std::vector<std::wstring_view> seen;
  for (const ProfileKey& key : section.keys) {
    if (key.name.empty() || LooksLikeANote(key.name)) continue;
    const int line = in.config.LineOf(key.name);
    if (FindKnownKey(known, key.name)) {
      auto first =
          std::find_if(seen.begin(), seen.end(), [&](std::wstring_view s) { return EqualsNoCase(s, key.name); });
      if (first != seen.end())
        in.Add(Severity::kWarning, "duplicate-key", line,
               U8(key.name) + " appears again in [" + U8(section.name) +
                   "]: the launcher reads only the first, on line " + std::to_string(in.config.LineOf(*first)));
      else
        seen.push_back(key.name);
      continue;
    }
    std::vector<std::wstring> candidates;
    for (const KnownKey& k : known.keys) candidates.push_back(Instantiate(k.name, key.name));
    std::string message = U8(key.name) + " in [" + U8(section.name) + "] is read by no action";
    if (auto near = Nearest(key.name, candidates)) message += "; did you mean " + U8(*near) + "?";
    in.Add(Severity::kWarning, "unknown-key", line, message);
  }
}

}  // namespace

void CheckUnknownKeys(const LintInput& in) {
  const ProfileText& profile = in.config.profile();
  std::vector<std::wstring> sectionNames;
  for (const KnownSection& s : KnownSections())
    if (std::wstring_view(s.name) != L"%d") sectionNames.emplace_back(s.name);
  for (std::size_t i = 0; i < profile.sections().size(); ++i) {
    const ProfileSection& section = profile.sections()[i];
    if (i == 0) {
      // The lines before the first section header.
      if (!section.keys.empty() && !std::all_of(section.keys.begin(), section.keys.end(),
                                                [](const ProfileKey& k) { return LooksLikeANote(k.name); }))
        in.Add(Severity::kWarning, "unknown-section", in.config.LineOf(section.keys.front().name),
               "the lines before the first section header are read by no action");
      continue;
    }
    const int line = in.config.LineOf(section.name);
    const ProfileSection* read = profile.FindSection(section.name);
    if (read != &section) {
      in.Add(Severity::kWarning, "duplicate-section", line,
             std::string("[").append(U8(section.name)) +
                 "] appears again: the launcher reads only the first, on line " +
                 std::to_string(in.config.SectionLine(section.name)) + ", so the keys here are never read");
      continue;
    }
    if (const KnownSection* known = FindKnownSection(section.name)) {
      CheckKeys(in, section, *known);
      continue;
    }
    if (MatchesPattern(L"platform_Game%d", section.name)) {
      // Any key goes to the platform file, so only a misspelt AppName is
      // a mistake: it is written there as a key of its own.
      for (const ProfileKey& key : section.keys)
        if (!EqualsNoCase(key.name, L"AppName") && Nearest(key.name, {L"AppName"}))
          in.Add(Severity::kWarning, "unknown-key", in.config.LineOf(key.name),
                 U8(key.name) + " in [" + U8(section.name) +
                     "] is written to the platform file as a key of its own; did you mean AppName?");
      continue;
    }
    if (auto near = Nearest(section.name, sectionNames))
      in.Add(Severity::kWarning, "unknown-section", line,
             std::string("[").append(U8(section.name)) + "] is read by no action; did you mean [" + U8(*near) + "]?");
  }
}

}  // namespace kestrel::check
