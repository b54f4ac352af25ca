#include "util/registry_helpers.h"

#include <array>
#include <cstdint>

#include "text/path_buffer.h"
#include "text/utf.h"

namespace kestrel {

int ReadMachineString(Platform& os, const std::wstring& subKey, std::wstring& out, const std::wstring& valueName) {
  std::array<std::uint8_t, kMaxPath * 2> buffer{};  // 260 wide characters, zeroed
  std::uint32_t type = 0;
  std::uint32_t size = buffer.size();
  long result = os.SHGetValueW(RegRoot::kLocalMachine, subKey, valueName, &type, buffer, &size);
  if (result != win::kSuccess) {
    out.clear();
    return 0;
  }
  // The text up to its first zero character; the buffer's last character
  // is always one, so an unterminated value still ends inside it.
  std::size_t units = 0;
  while (units + 1 < buffer.size() / 2 && (buffer[units * 2] | buffer[units * 2 + 1]) != 0) ++units;
  out = Utf16LeToWide(std::string_view(reinterpret_cast<const char*>(buffer.data()), units * 2));
  return 1;
}

int SetDriveManagerOption(Platform& os, const std::wstring& valueName) {
  const std::uint8_t one[4] = {1, 0, 0, 0};
  return os.SHSetValueW(RegRoot::kCurrentUser, kDriveManagerSettingsKey, valueName, win::kRegDword, one) ==
                 win::kSuccess
             ? 1
             : 0;
}

int WriteDriveManagerMounts(Platform& os, const std::vector<std::wstring>& list) {
  // Each string is cut before it is counted, so the layout always matches
  // the count: a string too long for its 260-character copy can never leave
  // a gap of zeros that would end the list early.
  std::string data;
  for (const std::wstring& item : list) {
    data += WideToUtf16Le(FitBuffer(item));
    data.append(2, '\0');
  }
  data.append(list.empty() ? 4 : 2, '\0');
  std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
  return os.SHSetValueW(RegRoot::kCurrentUser, kDriveManagerSettingsKey, L"LastMounts", win::kRegMultiSz, bytes) ==
                 win::kSuccess
             ? 1
             : 0;
}

}  // namespace kestrel
