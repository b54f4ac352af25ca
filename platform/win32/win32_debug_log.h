#pragma once
// The diagnostic line file: when KESTREL_LOG names a file, every debugger
// message is also appended to it as one UTF-8 line, so an operator without
// a debugger can read what the launcher did.

#include <string>

namespace kestrel {

/// Appends `message` and a line end to the file named by KESTREL_LOG, in
/// one write; does nothing when the variable is unset or empty.
void AppendDebugLogLine(const std::wstring& message);

}  // namespace kestrel
