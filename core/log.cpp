#include "core/log.h"

namespace kestrel {

void LogMessage(Platform& os, std::wstring_view format, std::initializer_list<FormatArg> args) {
  std::wstring message = FormatWide(format, args);
  if (message.size() > kLogMessageChars) message.resize(kLogMessageChars);
  os.OutputDebugStringW(message);
}

}  // namespace kestrel
