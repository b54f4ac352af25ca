#pragma once
// The launcher's one diagnostic channel: printf-style messages ("%s" takes
// wide text) sent to the debugger output, cut at 1023 characters.  No time
// stamp, level or line end is added; the messages carry their own "MSG: ".

#include <initializer_list>
#include <string_view>

#include "platform/platform.h"
#include "text/wide_format.h"

namespace kestrel {

inline constexpr std::size_t kLogMessageChars = 1023;

void LogMessage(Platform& os, std::wstring_view format, std::initializer_list<FormatArg> args = {});

/// The thread's last error as the "code=%d" of a log line shows it.
inline int LastErrorCode(Platform& os) { return static_cast<int>(os.GetLastError()); }

}  // namespace kestrel
