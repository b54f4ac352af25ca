#pragma once
// KestrelCheck's two outputs: readable text (the plan, then the findings
// by severity, each with its file and line) and one JSON object for tools
// ({"plan": [...], "findings": [...]}, each plan step on a line of its own).

#include <string>

#include "check/finding.h"
#include "check/plan.h"

namespace kestrel::check {

std::string TextReport(const std::string& launch, const Plan& plan, const Findings& findings);
std::string JsonReport(const Plan& plan, const Findings& findings);
/// One plan step as a JSON object on one line; its "notes" come last.
std::string JsonStep(std::size_t number, const PlanStep& step);
/// 0 nothing found, 1 warnings only, 2 errors.
int ExitCodeFor(const Findings& findings);

}  // namespace kestrel::check
