#pragma once
// Skin image names ("Skin/关闭.png") to decoded images: from the open skin
// archive first, then from the loose file of the same relative name; and
// the chooser's skin, loaded once when its window is created.

#include <string>

#include "core/launch_context.h"
#include "platform/platform.h"
#include "skin/chooser_skin.h"
#include "skin/skin_archive.h"
#include "skin/skin_image.h"

namespace kestrel {

/// The image from the process-wide skin archive, else from the loose file;
/// none when neither gives one.
SkinImagePtr LoadSkinImage(Platform& os, const std::wstring& name);
/// The image stored under exactly `name` in `archive`; none when the name
/// is not there or its bytes do not decode.
SkinImagePtr LoadImageFromArchive(Platform& os, const std::wstring& name, const SkinArchive& archive);
/// The image in the file `name`, relative to the current directory.
SkinImagePtr LoadImageFromFile(Platform& os, const std::wstring& name);

/// Decodes the bytes in `block` as the image `name`, the way every skin
/// image is decoded: only a PNG within the pixel budget reaches the
/// platform's decoder.  None when it does not decode.
SkinImagePtr DecodeSkinImageBlock(Platform& os, const std::wstring& name, FixedMemoryBlock& block);
/// The same for bytes held elsewhere, copied into a block of their size.
SkinImagePtr DecodeSkinImage(Platform& os, const std::wstring& name, std::string_view bytes);

/// Opens GamePatch\res.dat of the context's game and loads the ten images
/// into `skin`.  False, silently, when the archive cannot be opened; false
/// after the message box "加载皮肤文件失败，请确认！" when the background
/// or the button face is missing.
bool LoadChooserSkin(Platform& os, const LaunchContext& context, ChooserSkin& skin);

}  // namespace kestrel
