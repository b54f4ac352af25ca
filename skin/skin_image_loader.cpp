#include "skin/skin_image_loader.h"

#include <algorithm>
#include <cstdint>

#include "skin/png_header.h"
#include "skin/skin_image_names.h"
#include "text/path_buffer.h"

namespace kestrel {

namespace {

constexpr const wchar_t* kSkinLoadFailedText = L"加载皮肤文件失败，请确认！";

// The message box's caption is the application's name: the executable's
// file name without its extension, as the framework names an application
// that has no title of its own.
std::wstring ApplicationName(Platform& os) { return PathFileStem(os.GetModuleFileNameW()); }

}  // namespace

SkinImagePtr LoadImageFromArchive(Platform& os, const std::wstring& name, const SkinArchive& archive) {
  if (name.empty() || archive.handle() == kNoArchive) return nullptr;
  int index = -1;
  ZipEntryInfo info;
  if (FindArchiveItem(archive.handle(), name, &index, &info) != ResultOk) return nullptr;

  // One block of exactly the entry's size, freed once the decoder is done.
  std::unique_ptr<FixedMemoryBlock> block = os.GlobalAllocFixed(info.uncompressedSize);
  if (!block) return nullptr;
  std::span<std::uint8_t> bytes = block->bytes();
  std::uint32_t produced = 0;
  if (!bytes.empty())
    UnzipArchiveItem(archive.handle(), index, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &produced);
  // An entry that breaks off before its stated size would leave the block's
  // uncleared tail to the decoder: it counts as corrupt, and the loose file
  // is tried instead.
  if (produced != info.uncompressedSize) return nullptr;

  return DecodeSkinImageBlock(os, name, *block);
}

SkinImagePtr DecodeSkinImageBlock(Platform& os, const std::wstring& name, FixedMemoryBlock& block) {
  std::span<std::uint8_t> bytes = block.bytes();
  std::string_view head(reinterpret_cast<const char*>(bytes.data()), std::min(bytes.size(), kImageHeadBytes));
  if (!AdmitSkinImage(os, name, head)) return nullptr;
  return os.DecodeImageFromMemory(block);
}

SkinImagePtr DecodeSkinImage(Platform& os, const std::wstring& name, std::string_view bytes) {
  if (bytes.size() > UINT32_MAX) return nullptr;
  std::unique_ptr<FixedMemoryBlock> block = os.GlobalAllocFixed(static_cast<std::uint32_t>(bytes.size()));
  if (!block || block->bytes().size() != bytes.size()) return nullptr;
  std::copy(bytes.begin(), bytes.end(), block->bytes().begin());
  return DecodeSkinImageBlock(os, name, *block);
}

SkinImagePtr LoadImageFromFile(Platform& os, const std::wstring& name) {
  if (name.empty()) return nullptr;
  return os.DecodeImageFromFile(name, [&](std::string_view head) { return AdmitSkinImage(os, name, head); });
}

SkinImagePtr LoadSkinImage(Platform& os, const std::wstring& name) {
  if (SkinImagePtr image = LoadImageFromArchive(os, name, TheSkinArchive())) return image;
  return LoadImageFromFile(os, name);
}

bool LoadChooserSkin(Platform& os, const LaunchContext& context, ChooserSkin& skin) {
  for (SkinImagePtr& piece : skin.frameImages) piece.reset();
  skin.backgroundImage.reset();
  skin.buttonImage.reset();

  // GamePatchDir's path with "res.dat" after it.  A path that does not fit
  // its buffer would name another file: it is refused as a missing archive
  // is, never cut.
  std::wstring path = context.baseDir;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  path += L"GamePatch\\res.dat";
  if (path.size() >= kMaxPath) return false;
  // Without an open archive the skin fails silently, loose files untried.
  if (!os.PathFileExistsW(path) || !OpenSkinArchive(os, path)) return false;

  for (std::size_t i = 0; i < skin.frameImages.size(); ++i) skin.frameImages[i] = LoadSkinImage(os, kFrameImageNames[i]);
  skin.backgroundImage = LoadSkinImage(os, kBackgroundImageName);
  skin.buttonImage = LoadSkinImage(os, kButtonImageName);
  if (skin.backgroundImage && skin.buttonImage) return true;

  os.MessageBoxW(kSkinLoadFailedText, ApplicationName(os), win::kMbOk);
  return false;
}

}  // namespace kestrel
