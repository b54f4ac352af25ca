#include "text/path_buffer.h"

namespace kestrel {

std::wstring FitBuffer(std::wstring_view text, std::size_t bufferChars) {
  if (bufferChars == 0) return std::wstring();
  return std::wstring(text.substr(0, bufferChars - 1));
}

bool PathAddBackslash(std::wstring& path, std::size_t bufferChars) {
  if (path.empty() || path.back() == L'\\') return path.size() < bufferChars;
  if (path.size() + 1 >= bufferChars) return false;
  path += L'\\';
  return true;
}

bool PathRemoveFileSpec(std::wstring& path) {
  // The shell's rule, step by step: a leading "\\" (UNC) is skipped, the cut
  // goes at the last backslash, and a drive's "X:" or "X:\" is kept.
  std::size_t pos = 0;
  std::size_t spec = 0;
  if (pos < path.size() && path[pos] == L'\\') spec = ++pos;
  if (pos < path.size() && path[pos] == L'\\') spec = ++pos;
  while (pos < path.size()) {
    if (path[pos] == L'\\') {
      spec = pos;
    } else if (path[pos] == L':') {
      spec = ++pos;
      if (pos < path.size() && path[pos] == L'\\') ++spec;
      if (pos >= path.size()) break;
    }
    ++pos;
  }
  if (spec < path.size()) {
    path.resize(spec);
    return true;
  }
  return false;
}

void StrCatBuff(std::wstring& path, std::wstring_view tail, std::size_t bufferChars) {
  if (bufferChars == 0 || path.size() >= bufferChars - 1) return;
  path.append(tail.substr(0, bufferChars - 1 - path.size()));
}

std::wstring_view PathFindFileName(std::wstring_view path) {
  std::size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring_view::npos ? path : path.substr(cut + 1);
}

std::wstring PathFileStem(std::wstring_view path) {
  std::wstring name(PathFindFileName(path));
  std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot != 0) name.resize(dot);
  return name;
}

}  // namespace kestrel
