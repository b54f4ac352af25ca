#pragma once
// The ANSI code page of the Linux machine model: GBK unless KESTREL_ACP
// names another (an iconv name such as "CP1252", or a Windows code page
// number such as "1252"), because the games' files and skin archives come
// from machines whose ANSI code page is Chinese.

#include <string>
#include <string_view>

namespace kestrel {

class AnsiCodePage {
 public:
  AnsiCodePage();
  explicit AnsiCodePage(std::string name);
  const std::string& name() const { return name_; }

  /// MultiByteToWideChar: bytes that do not decode become U+FFFD.
  std::wstring ToWide(std::string_view bytes) const;
  /// WideCharToMultiByte: characters the code page lacks become "?".
  std::string FromWide(std::wstring_view text) const;

 private:
  std::string name_;
};

}  // namespace kestrel
