#include "chooser/chooser_config.h"

#include <algorithm>

#include "text/path_buffer.h"
#include "text/wide_format.h"

namespace kestrel {

namespace {

constexpr wchar_t kSection[] = L"dlg_config";

std::wstring NumberedKey(const wchar_t* format, int n) { return FormatWide(format, {n}); }

}  // namespace

bool LoadChooserConfig(Platform& os, const LaunchContext& context, ChooserConfig& config) {
  const std::wstring file = ConfigPath(context);
  if (!os.PathFileExistsW(file)) return false;
  config.title = os.GetPrivateProfileStringW(kSection, L"dlgCaption", L"", kMaxPath, file);
  const int count = std::min(os.GetPrivateProfileIntW(kSection, L"btnCount", 0, file), kMostVersionEntries);
  for (int n = 1; n <= count; ++n) {
    auto entry = std::make_unique<VersionEntry>();
    entry->caption = os.GetPrivateProfileStringW(kSection, NumberedKey(L"btn%dCaption", n), L"", kMaxPath, file);
    entry->exeName = os.GetPrivateProfileStringW(kSection, NumberedKey(L"btn%dExe", n), L"", kMaxPath, file);
    entry->parameters = os.GetPrivateProfileStringW(kSection, NumberedKey(L"btn%dParam", n), L"", kMaxPath, file);
    entry->version = os.GetPrivateProfileStringW(kSection, NumberedKey(L"btn%dVer", n), L"", kMaxPath, file);
    const int close = os.GetPrivateProfileIntW(kSection, NumberedKey(L"btn%dCloseDlg", n), 0, file);
    entry->closeMode = close > 0 ? kKeepOpen : kCloseAfterRun;
    config.entries.push_back(std::move(entry));
  }
  return true;
}

}  // namespace kestrel
