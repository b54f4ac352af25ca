#pragma once
// A file's version resource, read without Windows: the VS_VERSIONINFO
// block found through a PE image's resource directory (type RT_VERSION,
// name 1, the first language), and its fixed part.  Every offset in the
// image is checked against the image's size and the walk has a fixed
// depth, so a corrupt or hostile file gives "no version", never a crash,
// an overread or a loop.

#include <cstdint>
#include <span>
#include <vector>

#include "platform/platform.h"

namespace kestrel {

/// Copies the raw version resource of a PE image into `resource`.  False
/// with a Windows error code in `error`: 11 (ERROR_BAD_FORMAT) for what is
/// not a PE image or has a corrupt resource directory, 1812 when the image
/// has no resources, 1813 when it has no version resource.
bool ReadVersionResource(std::span<const std::uint8_t> image, std::vector<std::uint8_t>& resource,
                         std::uint32_t& error);

/// The fixed part of a VS_VERSIONINFO block (VerQueryValueW of the root).
/// False when the block is too short for it, declares none, or its
/// signature is not 0xFEEF04BD.
bool ParseFixedFileInfo(std::span<const std::uint8_t> block, FixedFileInfo& info);

/// A VS_VERSIONINFO block holding `info` (its signature and structure
/// version filled in) and no string tables.
std::vector<std::uint8_t> BuildVersionInfoBlock(FixedFileInfo info);

/// The fixed part of version a.b.c.d.
FixedFileInfo MakeFileVersion(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d);

}  // namespace kestrel
