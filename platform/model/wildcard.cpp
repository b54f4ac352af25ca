#include "platform/model/wildcard.h"

#include "text/nocase.h"

namespace kestrel {

namespace {

// Iterative glob with one back-track point: linear in practice, never
// exponential on patterns such as "*a*a*a*b".
bool Glob(std::wstring_view pattern, std::wstring_view name) {
  std::size_t p = 0, n = 0, starP = std::wstring_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == L'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::wstring_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name) {
  if (pattern == L"*.*") pattern = L"*";
  if (pattern == L"*") return true;
  // A pattern ending in "." finds names without an extension ("*." lists
  // "readme" but not "readme.txt").
  if (pattern.size() >= 2 && pattern.back() == L'.' && pattern[pattern.size() - 2] != L'.')
    return name.find(L'.') == std::wstring_view::npos && Glob(pattern.substr(0, pattern.size() - 1), name);
  if (Glob(pattern, name)) return true;
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == L".*")
    return Glob(pattern.substr(0, pattern.size() - 2), name);
  return false;
}

}  // namespace kestrel
