// The chooser's skin, when Config.ini shows the chooser: res.dat there and
// openable, and each of the thirteen skin images found under its exact
// name (the archive lookup is byte for byte in the ANSI code page, so a
// name stored in UTF-8, in another case or with "\" is not found) and
// decoded by the launcher's own loader.  Without the background or the
// version-button face the chooser does not open and the game starts
// directly; without another image that part is left out.

#include <algorithm>

#include "check/lint/lint_rules.h"
#include "core/fitted_path.h"
#include "skin/skin_archive.h"
#include "skin/skin_diagnosis.h"
#include "skin/skin_image_loader.h"
#include "skin/skin_image_names.h"
#include "text/path_buffer.h"
#include "text/utf.h"

namespace kestrel::check {

namespace {

std::string U8(std::wstring_view text) { return WideToUtf8(text); }

bool ChooserNeedsIt(std::wstring_view name) { return name == kBackgroundImageName || name == kButtonImageName; }

std::string Consequence(std::wstring_view name) {
  if (ChooserNeedsIt(name))
    return "the launcher shows \"加载皮肤文件失败，请确认！\" and starts the game without the chooser";
  if (name == kMinimizeImageName || name == kMaximizeImageName || name == kCloseImageName)
    return "that small button has no face";
  return "that piece of the frame is left out";
}

/// The first bytes of entry `index`, for telling why it does not decode.
std::string Head(ArchiveHandle handle, int index) {
  std::string head(kImageHeadBytes, '\0');
  std::uint32_t produced = 0;
  UnzipArchiveItem(handle, index, head.data(), static_cast<std::uint32_t>(head.size()), &produced);
  head.resize(produced);
  return head;
}

}  // namespace

void CheckSkin(const LintInput& in) {
  if (in.config.Int(L"dlg_config", L"btnCount") <= 0) return;
  const int line = in.config.KeyLine(L"dlg_config", L"btnCount");
  const std::wstring path = JoinPath(GamePatchDir(in.context), L"res.dat");
  if (path.size() >= kMaxPath || !in.os.PathFileExistsW(path)) {
    in.Add(Severity::kError, "missing-file", line,
           "btnCount shows the chooser, but its skin " + U8(path) +
               " is not there: the chooser is not shown and the game starts directly");
    return;
  }
  SkinArchive archive;
  ZipOpenFailure failure = ZipOpenFailure::kNone;
  if (!archive.Open(in.os, path, &failure)) {
    in.AddFor(Severity::kError, "skin-image", path, 0,
              std::string("the launcher cannot open the skin archive (") +
                  (failure == ZipOpenFailure::kNone ? "it cannot be read" : ZipOpenFailureText(failure)) +
                  "): the chooser is not shown and the game starts directly");
    return;
  }
  ZipListing listing;
  ListArchiveItems(archive.handle(), listing);
  for (const wchar_t* name : kSkinImageNames) {
    const Severity severity = ChooserNeedsIt(name) ? Severity::kError : Severity::kWarning;
    int index = -1;
    if (FindArchiveItem(archive.handle(), name, &index, nullptr) == ResultOk) {
      if (LoadImageFromArchive(in.os, name, archive)) continue;
      in.AddFor(severity, "skin-image", path, 0,
                U8(name) + " (entry " + std::to_string(index) + ") " + WhyUndecodable(Head(archive.handle(), index)) +
                    ": " + Consequence(name) + ", unless a loose file of that name decodes in the launcher's folder");
      continue;
    }
    std::string why;
    for (const ZipListedItem& item : listing.items)
      if (auto near = SkinNameNearMiss(in.os, item, name)) why = *near;
    if (why.empty())
      in.AddFor(severity, "missing-file", path, 0,
                U8(name) + " is not in the skin archive: " + Consequence(name) +
                    ", unless a loose file of that name lies in the launcher's folder");
    else
      in.AddFor(severity, "skin-name", path, 0, U8(name) + " is not found: " + why + "; " + Consequence(name));
  }
}

}  // namespace kestrel::check
