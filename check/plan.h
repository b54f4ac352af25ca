#pragma once
// What a launch does to the machine, one step at a time, in the order the
// launcher does it: the record the dry run fills instead of acting, and
// that a recorded real launch fills as it acts, so the two can be compared.

#include <string>
#include <utility>
#include <vector>

namespace kestrel::check {

struct PlanStep {
  PlanStep() = default;
  PlanStep(std::string actionName, std::vector<std::pair<std::string, std::string>> stepFields = {}, bool succeeded = true)
      : action(std::move(actionName)), fields(std::move(stepFields)), ok(succeeded) {}

  /// "start", "wait", "kill", "registry-set", "registry-import",
  /// "write-file", "write-profile", "copy-file", "delete-file",
  /// "create-folder", "remove-folder", "set-attributes", "drive-map",
  /// "drive-remove", "display-mode", "wallpaper", "message-box",
  /// "prerequisites", "chooser", "game", "log".
  std::string action;
  /// What the step acts on, in a fixed order per action, as UTF-8.
  std::vector<std::pair<std::string, std::string>> fields;
  /// Whether the operation succeeded (a dry run: would succeed).
  bool ok = true;
  /// The real launch's outcome here cannot be known in advance and may
  /// change the steps that follow (a program the launch waits for, the
  /// player's choice in the chooser).
  bool outcomeUnknown = false;
  /// Explanations for people: values a registry file sets, the checks
  /// that decided the prerequisites, the chooser's buttons.  Not part of
  /// the effect itself.
  std::vector<std::string> notes;

  const std::string* Field(const std::string& name) const {
    for (const auto& [key, value] : fields)
      if (key == name) return &value;
    return nullptr;
  }
};

using Plan = std::vector<PlanStep>;

}  // namespace kestrel::check
