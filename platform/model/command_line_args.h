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

/// One way to read the start of a CreateProcessW command line: the program
/// as written, and the parameters after it (blanks after it skipped).
struct ProgramCandidate {
  std::wstring program;
  std::wstring parameters;
  bool operator==(const ProgramCandidate&) const = default;
};

/// The programs a CreateProcessW command line may name, in the order
/// Windows tries them.  A name in quotes is the text up to the closing
/// quote (or to the end when it is missing).  Otherwise each blank may end
/// the name: "C:\Program Files\a b.exe -x" is tried as C:\Program, as
/// C:\Program Files\a, as C:\Program Files\a b.exe and so on; the first
/// that names an existing program wins.  Empty for a blank line.
std::vector<ProgramCandidate> ProgramCandidates(std::wstring_view commandLine);

/// Quotes one argument so that SplitCommandLineArgs gives it back exactly:
/// unchanged when it needs no quoting, else in quotes with the backslashes
/// before a quote (and before the closing quote) doubled.
std::wstring QuoteCommandLineArg(std::wstring_view arg);

/// The reverse, for a platform that receives an argument vector: joins the
/// arguments with blanks, putting those that are empty or hold a blank in
/// quotes, so that the launcher sees the command line it would on Windows.
std::wstring JoinCommandLine(const std::vector<std::wstring>& args);

}  // namespace kestrel
