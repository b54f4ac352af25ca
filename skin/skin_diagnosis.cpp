#include "skin/skin_diagnosis.h"

#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "skin/png_header.h"
#include "text/utf.h"

namespace kestrel {

namespace {

std::string Quoted(std::wstring_view text) {
  // Appended piece by piece: GCC 12's -Wrestrict misreads "x" + string at -O3.
  std::string quoted(1, '"');
  quoted += WideToUtf8(text);
  quoted += '"';
  return quoted;
}

/// Lowercases ASCII letters and turns "\" into "/": how a name that the
/// launcher misses may still be meant as another.
std::wstring Loosely(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c == L'\\') c = L'/';
  }
  return text;
}

}  // namespace

std::optional<std::string> SkinNameNearMiss(Platform& os, const ZipListedItem& item, const std::wstring& wanted) {
  struct Reading {
    std::wstring text;
    bool utf8;
  };
  std::vector<Reading> readings = {{os.AnsiToWide(item.storedName), false}};
  const bool ascii = std::all_of(item.storedName.begin(), item.storedName.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii && IsValidUtf8(item.storedName)) readings.push_back({Utf8ToWide(item.storedName), true});
  for (const Reading& r : readings) {
    if (Loosely(r.text) != Loosely(wanted) || (r.text == wanted && !r.utf8)) continue;
    std::vector<std::string> why;
    if (r.utf8 && os.WideToAnsi(wanted) != item.storedName)
      why.push_back("its name is stored in UTF-8, but the launcher looks names up in the ANSI code page");
    if (r.text.find(L'\\') != std::wstring::npos) why.push_back("it has \"\\\" where the launcher has \"/\"");
    std::wstring slashed = r.text;
    for (wchar_t& c : slashed)
      if (c == L'\\') c = L'/';
    if (slashed != wanted) why.push_back("the case differs (the launcher matches names exactly)");
    if (why.empty()) continue;
    std::string text = "entry " + std::to_string(item.index) + " is stored as " + Quoted(r.text) + ": ";
    for (std::size_t i = 0; i < why.size(); ++i) text += (i ? "; " : "") + why[i];
    return text;
  }
  return std::nullopt;
}

std::string WhyUndecodable(std::string_view head) {
  PngHeader header;
  if (!ReadPngHeader(head, header)) return "not a PNG picture";
  if (!WithinPixelBudget(header))
    return "claims " + std::to_string(header.width) + " x " + std::to_string(header.height) +
           " pixels, over the budget of " + std::to_string(kMaxSkinImageSide) + " a side and " +
           std::to_string(kMaxSkinImagePixels) + " in all";
  return "does not decode";
}

}  // namespace kestrel
