#include "actions/game_directory.h"

#include "core/leading_number.h"
#include "core/split_list.h"
#include "text/path_buffer.h"
#include "text/wide_format.h"
#include "util/registry_helpers.h"

namespace kestrel {

bool ResolveGameDirectory(Platform& os, const std::wstring& id, std::wstring& out) {
  std::wstring record;
  ReadMachineString(os, kGameInfoKey, record, id);
  if (record.empty()) return false;

  std::wstring directory;
  switch (LeadingNumber(ListField(record, 3).value_or(L""))) {
    case 2: {
      directory = ListField(record, 1).value_or(L"");
      if (!directory.empty()) {
        std::wstring drive;
        ReadMachineString(os, kDriveInfoKey, drive, FormatWide(L"%c", {directory[0]}));
        if (!drive.empty()) directory[0] = drive[0];
      }
      break;
    }
    case 1:
    case 3:
      directory = ListField(record, 2).value_or(L"");
      break;
    default:
      break;
  }
  out = directory;
  PathAddBackslash(out);
  return true;
}

}  // namespace kestrel
