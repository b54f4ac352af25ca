#pragma once
// Lints a Config.ini on the fake machine and picks out one rule's findings.

#include <string>
#include <vector>

#include "check/lint/lint.h"
#include "platform/fake/fake_platform.h"
#include "text/utf.h"

namespace kestrel::check::lint_test {

inline const std::wstring kBase = L"C:\\Games\\Foo\\";
inline const std::wstring kPatch = kBase + L"GamePatch\\";
inline const std::wstring kConfig = kPatch + L"Config.ini";

/// Writes `ini` as the game's Config.ini (UTF-16LE) and lints the game.
inline Findings LintIni(FakePlatform& fake, const std::wstring& ini, std::wstring mainExe = L"") {
  fake.AddFile(kConfig, "\xFF\xFE" + WideToUtf16Le(ini));
  LaunchContext context;
  context.baseDir = kBase;
  context.game.mainExe = std::move(mainExe);
  return Lint(fake, context);
}

/// The findings of `rule`, each as "<line>: <message>" with "E " or "W "
/// in front for its severity.
inline std::vector<std::string> Of(const Findings& findings, const std::string& rule) {
  std::vector<std::string> out;
  for (const Finding& f : findings)
    if (f.rule == rule)
      out.push_back((f.severity == Severity::kError ? "E " : "W ") + std::to_string(f.line) + ": " + f.message);
  return out;
}

/// True when one finding of `rule` is at `line` and its message holds `text`.
inline bool Has(const Findings& findings, const std::string& rule, int line, const std::string& text) {
  for (const Finding& f : findings)
    if (f.rule == rule && f.line == line && f.message.find(text) != std::string::npos) return true;
  return false;
}

}  // namespace kestrel::check::lint_test
