#pragma once
// Owned GDI objects: a bitmap released with DeleteObject, and a memory
// drawing surface that owns the bitmap selected into it and puts the
// surface's original bitmap back before it is deleted, so neither leaks
// and no bitmap is deleted while it is still selected.

#include <windows.h>

#include <utility>

namespace kestrel {

class UniqueBitmap {
 public:
  UniqueBitmap() = default;
  explicit UniqueBitmap(HBITMAP bitmap) : bitmap_(bitmap) {}
  ~UniqueBitmap() { reset(); }
  UniqueBitmap(UniqueBitmap&& other) noexcept : bitmap_(other.release()) {}
  UniqueBitmap& operator=(UniqueBitmap&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueBitmap(const UniqueBitmap&) = delete;
  UniqueBitmap& operator=(const UniqueBitmap&) = delete;

  HBITMAP get() const { return bitmap_; }
  explicit operator bool() const { return bitmap_ != nullptr; }
  HBITMAP release() { return std::exchange(bitmap_, nullptr); }
  void reset(HBITMAP bitmap = nullptr) {
    if (bitmap_) ::DeleteObject(bitmap_);
    bitmap_ = bitmap;
  }

 private:
  HBITMAP bitmap_ = nullptr;
};

class MemorySurface {
 public:
  MemorySurface() = default;
  /// A memory surface compatible with `dc`; null is the screen.
  explicit MemorySurface(HDC dc) : dc_(::CreateCompatibleDC(dc)) {}
  ~MemorySurface() { Release(); }
  MemorySurface(MemorySurface&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)),
        original_(std::exchange(other.original_, nullptr)),
        bitmap_(std::move(other.bitmap_)) {}
  MemorySurface& operator=(MemorySurface&& other) noexcept {
    if (this != &other) {
      Release();
      dc_ = std::exchange(other.dc_, nullptr);
      original_ = std::exchange(other.original_, nullptr);
      bitmap_ = std::move(other.bitmap_);
    }
    return *this;
  }
  MemorySurface(const MemorySurface&) = delete;
  MemorySurface& operator=(const MemorySurface&) = delete;

  HDC dc() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }
  HBITMAP bitmap() const { return bitmap_.get(); }

  /// Selects `bitmap` into the surface, which then owns it; the bitmap it
  /// held before is released once it is no longer selected.
  void Select(UniqueBitmap bitmap) {
    if (!dc_ || !bitmap) return;
    HGDIOBJ previous = ::SelectObject(dc_, bitmap.get());
    if (!original_) original_ = previous;
    bitmap_ = std::move(bitmap);
  }

 private:
  void Release() {
    if (dc_) {
      if (original_) ::SelectObject(dc_, original_);
      ::DeleteDC(dc_);
    }
    dc_ = nullptr;
    original_ = nullptr;
    bitmap_.reset();
  }

  HDC dc_ = nullptr;
  HGDIOBJ original_ = nullptr;  ///< the surface's own 1 x 1 bitmap
  UniqueBitmap bitmap_;
};

/// The pixel size of a bitmap; 0 x 0 for none.
inline SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || ::GetObjectW(bitmap, sizeof info, &info) == 0) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

}  // namespace kestrel
