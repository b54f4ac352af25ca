// A file-version prerequisite whose "checkVerion" no file version can
// equal.  The launcher writes the file's version as four decimal numbers
// joined by dots ("%u.%u.%u.%u", each 0 to 65535) and compares texts, not
// versions: "1.0" or "10.0.40219.01" never match, so the installer runs at
// every launch.

#include <string_view>

#include "check/lint/lint_rules.h"
#include "prereq/prerequisite_installer.h"
#include "text/utf.h"

namespace kestrel::check {

namespace {

/// One number as "%u" writes a 16-bit half: digits without a leading zero.
bool IsPrintedHalf(std::wstring_view digits) {
  if (digits.empty() || digits.size() > 5 || (digits.size() > 1 && digits[0] == L'0')) return false;
  unsigned value = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + static_cast<unsigned>(c - L'0');
  }
  return value <= 0xFFFF;
}

bool IsPrintedVersion(std::wstring_view text) {
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = part < 3 ? text.find(L'.') : text.size();
    if (dot == std::wstring_view::npos || !IsPrintedHalf(text.substr(0, dot))) return false;
    text.remove_prefix(part < 3 ? dot + 1 : dot);
  }
  return true;
}

}  // namespace

void CheckPrerequisiteVersions(const LintInput& in) {
  for (int n = 1; n <= kLastPrerequisiteSection; ++n) {
    const std::wstring section = std::to_wstring(n);
    const int type = in.config.Int(section, L"checkType");
    if (type < 1 || type > 3) return;  // the list ends here
    if (type != 1) continue;
    const std::wstring version = in.config.String(section, L"checkVerion");
    if (IsPrintedVersion(version)) continue;
    std::string message = "[";
    message.append(WideToUtf8(section)).append("] checkVerion ");
    if (version.empty())
      message += "is empty";
    else
      message.append("\"").append(WideToUtf8(version)).append("\"");
    message += ": a file's version reads as four numbers joined by dots, without leading zeros (such as "
               "10.0.40219.1), and is compared as text, so this never matches and the installer runs at every "
               "launch";
    const int line = in.config.KeyLine(section, L"checkVerion");
    in.Add(Severity::kWarning, "version-form", line != 0 ? line : in.config.SectionLine(section), message);
  }
}

}  // namespace kestrel::check
