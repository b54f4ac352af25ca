#include "core/fitted_path.h"

#include "core/log.h"

namespace kestrel {

std::wstring JoinPath(std::wstring_view base, std::wstring_view tail) {
  std::wstring path(base);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  path += tail;
  return path;
}

bool PathFits(Platform& os, std::wstring_view action, const std::wstring& path, std::size_t bufferChars) {
  if (path.size() < bufferChars) return true;
  LogMessage(os, L"MSG: %s passed over, path too long (%d characters): %s",
             {std::wstring(action), static_cast<int>(path.size()), path});
  os.SetLastError(win::kFilenameTooLong);
  return false;
}

}  // namespace kestrel
