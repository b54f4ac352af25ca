#include "actions/game_directory.h"

#include "app/command_line.h"
#include "util/path_buffer.h"
#include "util/registry_helpers.h"
#include "util/wide_format.h"

namespace kestrel {

namespace {

// Field `index` of a "|"-separated record; a field that is not there is
// empty.
std::wstring Field(const std::wstring& record, int index) {
  std::size_t start = 0;
  for (int i = 0; i < index; ++i) {
    std::size_t bar = record.find(L'|', start);
    if (bar == std::wstring::npos) return std::wstring();
    start = bar + 1;
  }
  std::size_t end = record.find(L'|', start);
  return record.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

}  // namespace

bool ResolveGameDirectory(Platform& os, const std::wstring& id, std::wstring& out) {
  std::wstring record;
  ReadMachineString(os, kGameInfoKey, record, id);
  if (record.empty()) return false;

  std::wstring directory;
  switch (LeadingNumber(Field(record, 3))) {
    case 2: {
      directory = Field(record, 1);
      if (!directory.empty()) {
        std::wstring drive;
        ReadMachineString(os, kDriveInfoKey, drive, FormatWide(L"%c", {directory[0]}));
        if (!drive.empty()) directory[0] = drive[0];
      }
      break;
    }
    case 1:
    case 3:
      directory = Field(record, 2);
      break;
    default:
      break;
  }
  out = directory;
  PathAddBackslash(out);
  return true;
}

}  // namespace kestrel
