#include "check/report.h"

#include <algorithm>

#include "text/utf.h"

namespace kestrel::check {

namespace {

constexpr char kHex[] = "0123456789abcdef";

/// A value from a file can hold any character: control characters are
/// shown as escapes so that a value never breaks a line of the report.
std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

const char* SeverityName(Severity severity) { return severity == Severity::kError ? "error" : "warning"; }

}  // namespace

std::string JsonStep(std::size_t number, const PlanStep& step) {
  std::string out = "{\"step\":" + std::to_string(number) + ",\"action\":" + Json(step.action) +
                    ",\"ok\":" + (step.ok ? "true" : "false") +
                    ",\"outcomeUnknown\":" + (step.outcomeUnknown ? "true" : "false") + ",\"fields\":{";
  for (std::size_t i = 0; i < step.fields.size(); ++i)
    out += (i ? "," : "") + Json(step.fields[i].first) + ":" + Json(step.fields[i].second);
  out += "},\"notes\":[";
  for (std::size_t i = 0; i < step.notes.size(); ++i) out += (i ? "," : "") + Json(step.notes[i]);
  return out + "]}";
}

std::string JsonReport(const Plan& plan, const Findings& findings) {
  std::string out = "{\"plan\":[\n";
  for (std::size_t i = 0; i < plan.size(); ++i) out += JsonStep(i + 1, plan[i]) + (i + 1 < plan.size() ? ",\n" : "\n");
  out += "],\n\"findings\":[\n";
  for (std::size_t i = 0; i < findings.size(); ++i) {
    const Finding& f = findings[i];
    out += "{\"severity\":\"" + std::string(SeverityName(f.severity)) + "\",\"rule\":" + Json(f.rule) +
           ",\"file\":" + Json(WideToUtf8(f.file)) + ",\"line\":" + std::to_string(f.line) +
           ",\"message\":" + Json(f.message) + "}" + (i + 1 < findings.size() ? ",\n" : "\n");
  }
  return out + "]}\n";
}

std::string TextReport(const std::string& launch, const Plan& plan, const Findings& findings) {
  std::string out = "Plan of " + Printable(launch) + "\n";
  std::size_t number = 0;
  for (const PlanStep& step : plan) {
    ++number;
    if (step.action == "log") {
      out += "      log: " + Printable(*step.Field("message")) + "\n";
      continue;
    }
    out += (number < 10 ? "   " : number < 100 ? "  " : " ") + std::to_string(number) + ". " + step.action;
    for (std::size_t i = 0; i < step.fields.size(); ++i)
      out += (i ? ", " : ": ") + step.fields[i].first + "=" + Printable(step.fields[i].second);
    if (!step.ok) out += "  [would fail]";
    out += "\n";
    for (const std::string& note : step.notes) out += "        - " + Printable(note) + "\n";
    if (step.outcomeUnknown)
      out += "        ! its outcome cannot be known in advance: what follows assumes it ends and succeeds\n";
  }
  for (Severity severity : {Severity::kError, Severity::kWarning}) {
    std::size_t count = std::count_if(findings.begin(), findings.end(),
                                      [severity](const Finding& f) { return f.severity == severity; });
    if (count == 0) continue;
    out += std::string("\n") + (severity == Severity::kError ? "Errors" : "Warnings") + " (" + std::to_string(count) +
           ")\n";
    for (const Finding& f : findings) {
      if (f.severity != severity) continue;
      std::string where = f.file.empty() ? std::string("-") : Printable(WideToUtf8(f.file));
      if (f.line > 0) where += ":" + std::to_string(f.line);
      out += "  " + where + ": " + Printable(f.message) + " [" + f.rule + "]\n";
    }
  }
  if (findings.empty()) out += "\nNo findings.\n";
  return out;
}

int ExitCodeFor(const Findings& findings) {
  int code = 0;
  for (const Finding& f : findings) code = std::max(code, f.severity == Severity::kError ? 2 : 1);
  return code;
}

}  // namespace kestrel::check
