#include "platform/model/command_line_args.h"

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
