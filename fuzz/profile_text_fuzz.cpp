// libFuzzer target: the profile (.ini) reader on arbitrary bytes, decoded
// as the machine model decodes a file (byte-order marks, UTF-8, the ANSI
// code page standing in as Latin-1).  Every key of every section is read
// back through the profile calls.  Promises checked:
//   - a value read never holds a zero or a line break, and fits its buffer;
//   - names hold no zero (a name ends where a C string would);
//   - a section read whole fits its buffer and ends in two zeros.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/model/profile_text.h"

namespace {
using namespace kestrel;
using fuzz::Check;
using fuzz::Latin1;

bool Clean(const std::wstring& value, std::size_t bufferChars) {
  return value.size() < bufferChars && value.find_first_of(std::wstring_view(L"\r\n\0", 3)) == std::wstring::npos;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ProfileText text(DecodeTextFile(bytes, Latin1));
  for (const ProfileSection& section : text.sections()) {
    Check(section.name.find(L'\0') == std::wstring_view::npos);
    for (const ProfileKey& key : section.keys) {
      Check(key.name.find(L'\0') == std::wstring_view::npos);
      for (std::uint32_t bufferChars : {260u, 7u, 1u}) {
        std::wstring value = ProfileGetString(&text, section.name, key.name, L"\x1F", bufferChars);
        Check(bufferChars == 1 ? value.empty() : Clean(value, bufferChars));
      }
      ProfileGetInt(&text, section.name, key.name, 0);
    }
    for (std::uint32_t bufferChars : {1024u, 5u, 2u}) {
      std::wstring buffer;
      std::uint32_t filled = ProfileGetSection(&text, section.name, bufferChars, buffer);
      Check(filled <= bufferChars && buffer.size() <= bufferChars);
      Check(buffer.size() >= 2 && buffer[buffer.size() - 1] == L'\0' && buffer[buffer.size() - 2] == L'\0');
    }
  }
  return 0;
}
