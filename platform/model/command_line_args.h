#pragma once
// Windows programs split their own command line into arguments with the C
// runtime's rules; a platform that starts programs from an argument vector
// must split the text the same way, never through a shell.

#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

/// Splits program parameters by the C runtime's rules: blanks separate
/// arguments outside quotes; 2n backslashes before a quote give n
/// backslashes and the quote opens or closes a quoted part; 2n+1 give n
/// backslashes and a literal quote; "" inside a quoted part is a literal
/// quote; other backslashes are literal.
std::vector<std::wstring> SplitCommandLineArgs(std::wstring_view parameters);

/// The reverse, for a platform that receives an argument vector: joins the
/// arguments with blanks, putting those that are empty or hold a blank in
/// quotes, so that the launcher sees the command line it would on Windows.
std::wstring JoinCommandLine(const std::vector<std::wstring>& args);

}  // namespace kestrel
