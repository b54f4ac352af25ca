#pragma once
// What KestrelCheck says about a GamePatch: one finding per fault, with the
// file and line it comes from, so an operator can go straight to it.

#include <string>
#include <vector>

namespace kestrel::check {

enum class Severity {
  kWarning,  ///< the launch works, but probably not as the operator meant
  kError,    ///< the launch would fail, or do something no operator can mean
};

struct Finding {
  Severity severity = Severity::kWarning;
  std::string rule;     ///< short stable id for tools, e.g. "section-gap", "unknown-key"
  std::wstring file;    ///< Windows-style path of the file it comes from; empty: none
  int line = 0;         ///< 1-based line in `file`; 0: the file as a whole
  std::string message;  ///< one sentence in UTF-8, for people
};

using Findings = std::vector<Finding>;

}  // namespace kestrel::check
