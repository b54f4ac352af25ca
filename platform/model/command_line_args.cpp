#include "platform/model/command_line_args.h"

#include <algorithm>

namespace kestrel {

std::vector<std::wstring> SplitCommandLineArgs(std::wstring_view text) {
  std::vector<std::wstring> args;
  std::size_t p = 0;
  const std::size_t n = text.size();
  auto blank = [&](std::size_t i) { return text[i] == L' ' || text[i] == L'\t'; };
  for (;;) {
    while (p < n && blank(p)) ++p;
    if (p >= n) break;
    std::wstring arg;
    bool inQuotes = false;
    for (;;) {
      bool copy = true;
      std::size_t slashes = 0;
      while (p < n && text[p] == L'\\') {
        ++p;
        ++slashes;
      }
      if (p < n && text[p] == L'"') {
        if (slashes % 2 == 0) {
          if (inQuotes && p + 1 < n && text[p + 1] == L'"') {
            ++p;  // "" inside quotes: one literal quote
          } else {
            copy = false;
            inQuotes = !inQuotes;
          }
        }
        slashes /= 2;
      }
      arg.append(slashes, L'\\');
      if (p >= n || (!inQuotes && blank(p))) break;
      if (copy) arg += text[p];
      ++p;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::vector<ProgramCandidate> ProgramCandidates(std::wstring_view line) {
  std::vector<ProgramCandidate> out;
  auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  std::size_t start = 0;
  while (start < line.size() && blank(line[start])) ++start;
  if (start >= line.size()) return out;
  auto rest = [&](std::size_t from) {
    while (from < line.size() && blank(line[from])) ++from;
    return std::wstring(line.substr(std::min(from, line.size())));
  };
  if (line[start] == L'"') {
    std::size_t close = line.find(L'"', start + 1);
    if (close == std::wstring_view::npos) {
      out.push_back({std::wstring(line.substr(start + 1)), std::wstring()});
    } else {
      out.push_back({std::wstring(line.substr(start + 1, close - start - 1)), rest(close + 1)});
    }
    return out;
  }
  std::size_t pos = start;
  for (;;) {
    while (pos < line.size() && !blank(line[pos])) ++pos;
    out.push_back({std::wstring(line.substr(start, pos - start)), rest(pos)});
    while (pos < line.size() && blank(line[pos])) ++pos;
    if (pos >= line.size()) break;
  }
  return out;
}

std::wstring QuoteCommandLineArg(std::wstring_view arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring_view::npos) return std::wstring(arg);
  std::wstring out = L"\"";
  std::size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    out += c;
  }
  out.append(slashes * 2, L'\\');  // before the closing quote
  out += L'"';
  return out;
}

std::wstring JoinCommandLine(const std::vector<std::wstring>& args) {
  std::wstring line;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i) line += L' ';
    const std::wstring& a = args[i];
    if (a.empty() || a.find_first_of(L" \t") != std::wstring::npos) line += L'"' + a + L'"';
    else line += a;
  }
  return line;
}

}  // namespace kestrel
