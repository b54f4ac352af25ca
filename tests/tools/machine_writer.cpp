// Writes to the Linux machine model without end, for the crash test: the
// profile key "s"/"counter" of the file given and the registry value
// HKCU\Software\KestrelCrash\counter take the values first, first+1, ...
// The test kills this program at random moments and checks what is left.
//
//   kestrel_machine_writer <machine root> <Windows path of the .ini> <first>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/linux/linux_platform.h"
#include "text/utf.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  kestrel::LinuxPlatform os{kestrel::MachineRoot(argv[1])};
  std::wstring file = kestrel::Utf8ToWide(argv[2]);
  for (long i = std::atol(argv[3]);; ++i) {
    std::wstring value = std::to_wstring(i);
    if (!os.WritePrivateProfileStringW(L"s", std::wstring(L"counter"), value, file)) return 1;
    std::string data = kestrel::WideToUtf16Le(value);
    data.append(2, '\0');
    if (os.SHSetValueW(kestrel::RegRoot::kCurrentUser, L"Software\\KestrelCrash", L"counter", kestrel::win::kRegSz,
                       std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size())) != 0)
      return 1;
  }
}
