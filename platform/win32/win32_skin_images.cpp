// Skin images on Windows: GDI+ decodes the PNG, from a stream over a fixed
// memory block or from the file, and makes the GDI bitmap the window draws
// with (32 bits, premultiplied alpha, background colour 0 so that a
// transparent pixel is transparent black).  GDI+ was started with the
// application.

#include <windows.h>
#include <objbase.h>

// GDI+ wants min/max and the full COM declarations that the lean headers
// leave out.
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include "platform/win32/win32_platform.h"
#include "skin/win32/gdi_skin_image.h"

namespace kestrel {

namespace {

using Gdiplus::GpBitmap;

class GlobalBlock : public FixedMemoryBlock {
 public:
  GlobalBlock(HGLOBAL handle, std::uint32_t size) : handle_(handle), size_(size) {
    // A fixed block's address is its handle; locking it moves nothing, so
    // the address stays good after the unlock.
    data_ = static_cast<std::uint8_t*>(::GlobalLock(handle_));
    ::GlobalUnlock(handle_);
  }
  ~GlobalBlock() override { ::GlobalFree(handle_); }
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;

  std::span<std::uint8_t> bytes() override { return {data_, data_ ? size_ : 0}; }
  HGLOBAL handle() const { return handle_; }

 private:
  HGLOBAL handle_;
  std::uint32_t size_;
  std::uint8_t* data_ = nullptr;
};

/// The GDI bitmap of a decoded GDI+ bitmap, with background colour 0, then
/// the GDI+ bitmap disposed of.
SkinImagePtr ToSkinImage(GpBitmap* bitmap) {
  HBITMAP handle = nullptr;
  if (Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(bitmap, &handle, 0) != Gdiplus::Ok) handle = nullptr;
  Gdiplus::DllExports::GdipDisposeImage(bitmap);
  if (!handle) return nullptr;
  return std::make_unique<GdiSkinImage>(handle);
}

}  // namespace

std::unique_ptr<FixedMemoryBlock> Win32Platform::GlobalAllocFixed(std::uint32_t size) {
  HGLOBAL handle = ::GlobalAlloc(GMEM_FIXED, size);
  if (!handle) return nullptr;
  return std::make_unique<GlobalBlock>(handle, size);
}

SkinImagePtr Win32Platform::DecodeImageFromMemory(FixedMemoryBlock& block) {
  // Only this platform makes blocks, so the block is a GlobalBlock.
  auto& global = static_cast<GlobalBlock&>(block);
  IStream* stream = nullptr;
  // The stream leaves the block to its owner, who frees it after the
  // decoder is done with it.
  if (FAILED(::CreateStreamOnHGlobal(global.handle(), FALSE, &stream)) || !stream) return nullptr;
  SkinImagePtr image;
  GpBitmap* bitmap = nullptr;
  if (Gdiplus::DllExports::GdipCreateBitmapFromStream(stream, &bitmap) == Gdiplus::Ok && bitmap)
    image = ToSkinImage(bitmap);
  stream->Release();
  return image;
}

SkinImagePtr Win32Platform::DecodeImageFromFile(const std::wstring& path,
                                                const std::function<bool(std::string_view head)>& admit) {
  // The file stays open, sharing reading only, from the look at its header
  // to the end of the decode: nobody can change it in between.
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  SkinImagePtr image;
  char head[kImageHeadBytes];
  DWORD got = 0;
  if (::GetFileType(file) == FILE_TYPE_DISK && ::ReadFile(file, head, sizeof head, &got, nullptr) &&
      admit(std::string_view(head, got))) {
    GpBitmap* bitmap = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromFile(path.c_str(), &bitmap) == Gdiplus::Ok && bitmap)
      image = ToSkinImage(bitmap);
  }
  ::CloseHandle(file);
  return image;
}

}  // namespace kestrel
