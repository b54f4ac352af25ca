#include "app/command_line.h"

#include <array>

#include "app/wallpaper.h"
#include "core/fitted_path.h"
#include "core/leading_number.h"
#include "core/log.h"
#include "text/nocase.h"
#include "text/path_buffer.h"

namespace kestrel {

std::wstring CommandLineTail(std::wstring_view line) {
  std::size_t i = 0;
  bool inQuotes = false;
  while (i < line.size() && (line[i] > L' ' || inQuotes)) {
    if (line[i] == L'"') inQuotes = !inQuotes;
    ++i;
  }
  while (i < line.size() && line[i] <= L' ') ++i;
  return std::wstring(line.substr(i));
}

namespace {

// The first three "|"-separated fields, empty where the text has fewer;
// text after a third "|" is ignored.
std::array<std::wstring, 3> SplitFields(std::wstring_view text) {
  std::array<std::wstring, 3> fields;
  std::size_t start = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::size_t bar = text.find(L'|', start);
    fields[i] = std::wstring(text.substr(start, bar == std::wstring_view::npos ? std::wstring_view::npos
                                                                               : bar - start));
    if (bar == std::wstring_view::npos) break;
    start = bar + 1;
  }
  return fields;
}

}  // namespace

bool ParseCommandLine(Platform& os, std::wstring text, LaunchContext& context) {
  // A text wholly in double quotes is taken without them; quotes anywhere
  // else stay.  A lone quote leaves nothing.
  if (!text.empty() && text.find(L'"') == 0 && text.rfind(L'"') == text.size() - 1)
    text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::wstring();

  const std::array<std::wstring, 3> fields = SplitFields(text);
  // Host paths (a Linux "/srv/games/Foo") are taken in their Windows form;
  // the game's parameters, where "/switch" is common, never are.
  // The paths stay whole: each action checks that what it builds from them
  // fits its buffer, and refuses rather than cuts (core/fitted_path.h).
  std::wstring f0 = os.NativePathToWindows(fields[0]);
  std::wstring f1 = os.NativePathToWindows(fields[1]);
  std::wstring f2 = FitBuffer(fields[2]);

  if (f0.empty() && !f1.empty()) {  // path form: |D:\Games\Foo\game.exe|params
    std::size_t cut = f1.rfind(L'\\');
    context.baseDir = cut == std::wstring::npos ? std::wstring() : f1.substr(0, cut);
    context.game.mainExe = cut == std::wstring::npos ? f1 : f1.substr(cut + 1);
    context.game.param = f2;
    return true;
  }

  if (EqualsNoCase(f0, L"SetWallPaper")) {
    ApplyWallpaper(os, f1, LeadingNumber(f2));
    LogMessage(os, L"MSG: Excute SetWallPaper, file=%s, wpStyle=%s", {f1, f2});
    return false;
  }

  if (EqualsNoCase(f1, L"Kestrel.exe")) {  // hand-over to the copy of the launcher in f0
    std::wstring file = f0 + L"\\" + f1;
    if (!PathFits(os, L"Excute from cmdline", file)) return false;
    os.ShellExecuteW(L"open", file, L"", f0, win::kSwShowNormal);
    LogMessage(os, L"MSG: Excute from cmdline, file=%s, worddir=%s, code=%d", {file, f0, LastErrorCode(os)});
    return false;
  }

  // Directory form: D:\Games\Foo|game.exe|params
  if (!f1.empty()) PathAddBackslash(f0);
  context.baseDir = f0;
  context.game.mainExe = f1;
  context.game.param = f2;
  LogMessage(os, L"MSG: Init base value from cmdLine succeed");
  return true;
}

}  // namespace kestrel
