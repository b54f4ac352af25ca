// libFuzzer target: the command-line splitter and quoter on arbitrary text.
// The input's bytes are read as UTF-16 code units (odd bytes dropped), so
// quotes, backslashes, blanks and surrogates all turn up.  Promises checked:
//   - quoting every argument of a split and joining them with blanks splits
//     back into the same arguments (what a program start relies on to hand
//     an argument vector over unchanged);
//   - every program candidate of a command line starts where the line's
//     first word does (after leading blanks and an opening quote), and its
//     parameters are the line's end.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/model/command_line_args.h"

namespace {
using namespace kestrel;
using fuzz::Check;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));

  std::vector<std::wstring> args = SplitCommandLineArgs(text);
  std::wstring joined;
  for (const std::wstring& arg : args) {
    if (!joined.empty()) joined += L' ';
    joined += QuoteCommandLineArg(arg);
  }
  Check(SplitCommandLineArgs(joined) == args);

  // One argument of any content survives quoting alone.
  Check(SplitCommandLineArgs(QuoteCommandLineArg(text)) == std::vector<std::wstring>{text});

  std::size_t first = text.find_first_not_of(L" \t");
  if (first != std::wstring::npos && text[first] == L'"') ++first;
  for (const ProgramCandidate& candidate : ProgramCandidates(text)) {
    Check(first != std::wstring::npos && text.compare(first, candidate.program.size(), candidate.program) == 0);
    Check(candidate.parameters.size() <= text.size() &&
          text.compare(text.size() - candidate.parameters.size(), std::wstring::npos, candidate.parameters) == 0);
  }
  return 0;
}
