#include "platform/linux/ansi_code_page.h"

#include <iconv.h>

#include <algorithm>

#include <cerrno>
#include <cstdlib>

#include "text/utf.h"

namespace kestrel {

namespace {

std::string CodePageName(std::string name) {
  if (name.empty()) return "GBK";
  bool digits = name.find_first_not_of("0123456789") == std::string::npos;
  return digits ? "CP" + name : name;
}

// Converts with iconv; on a sequence it cannot convert, writes
// `replacement` and skips one input unit of `step` bytes.
std::string Convert(const std::string& to, const std::string& from, std::string_view in,
                    std::string_view replacement, std::size_t step) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
  std::string out;
  std::string input(in);
  char* src = input.data();
  std::size_t srcLeft = input.size();
  char buffer[4096];
  while (srcLeft > 0) {
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, dst - buffer);
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a sequence cut short at the end): replace and skip.
      out += replacement;
      std::size_t skip = std::min(step, srcLeft);
      if (from == "UTF-8") {  // skip one whole UTF-8 character
        skip = 1;
        while (skip < srcLeft && (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80) ++skip;
      }
      src += skip;
      srcLeft -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

AnsiCodePage::AnsiCodePage() {
  const char* acp = std::getenv("KESTREL_ACP");
  name_ = CodePageName(acp ? acp : "");
  iconv_t cd = iconv_open("UTF-8", name_.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) name_ = "GBK";  // an unknown name falls back to the default
  else iconv_close(cd);
}

AnsiCodePage::AnsiCodePage(std::string name) : name_(CodePageName(std::move(name))) {}

std::wstring AnsiCodePage::ToWide(std::string_view bytes) const {
  return Utf8ToWide(Convert("UTF-8", name_, bytes, "\xEF\xBF\xBD", 1));
}

std::string AnsiCodePage::FromWide(std::wstring_view text) const {
  return Convert(name_, "UTF-8", WideToUtf8(text), "?", 1);
}

}  // namespace kestrel
