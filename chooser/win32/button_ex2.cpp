#include "chooser/win32/button_ex2.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "chooser/win32/skin_bitmap.h"

namespace kestrel {

namespace {

/// The label's font: the stock GUI font with this face, 12 pixels, normal
/// weight.
constexpr wchar_t kLabelFace[] = L"宋体";
constexpr LONG kLabelHeight = 12;
constexpr LONG kLabelWeight = 400;

BLENDFUNCTION PerPixelAlpha() {
  BLENDFUNCTION blend{};
  blend.BlendOp = AC_SRC_OVER;
  blend.BlendFlags = 0;
  blend.SourceConstantAlpha = 255;
  blend.AlphaFormat = AC_SRC_ALPHA;
  return blend;
}

std::wstring WindowText(HWND hwnd) {
  const int length = ::GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), length + 1)));
  return text;
}

}  // namespace

const RuntimeClass CButtonEx2::classCButtonEx2 = {"CButtonEx2", &CButton::classCButton};

CButtonEx2::CButtonEx2() : backgroundSurface(static_cast<HDC>(nullptr)) {}

CButtonEx2::~CButtonEx2() = default;

void CButtonEx2::PreSubclassWindow() {
  HWND hwnd = GetSafeHwnd();
  LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
  style = (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW;
  ::SetWindowLongPtrW(hwnd, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
}

void CButtonEx2::SetImage(const std::wstring& name) {
  if (!imageLoader) return;
  UniqueBitmap image = SkinBitmap(imageLoader->LoadSkinImage(name));
  if (image) SetImageBitmap(std::move(image));
}

void CButtonEx2::SetImageBitmap(UniqueBitmap image) {
  if (!image) return;
  const SIZE size = BitmapSize(image.get());
  state.SetImageSize(size.cx, size.cy);
  HWND hwnd = GetSafeHwnd();
  HDC windowDc = ::GetDC(hwnd);
  MemorySurface surface(windowDc);
  surface.Select(std::move(image));
  imageSurface = std::move(surface);
  ::ReleaseDC(hwnd, windowDc);
  if (hwnd)
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, state.sliceWidth, state.sliceHeight, SWP_NOMOVE);
}

void CButtonEx2::CaptureParentBackground(HDC parentSurface, int x, int y, int width, int height) {
  backgroundSurface.Select(UniqueBitmap(::CreateCompatibleBitmap(parentSurface, width, height)));
  POINT point{x, y};
  HWND hwnd = GetSafeHwnd();
  ::ClientToScreen(hwnd, &point);
  ::ScreenToClient(::GetParent(hwnd), &point);
  ::BitBlt(backgroundSurface.dc(), 0, 0, width, height, parentSurface, point.x, point.y, SRCCOPY);
}

void CButtonEx2::DrawItem(DRAWITEMSTRUCT* item) {
  ::SetBkMode(item->hDC, TRANSPARENT);
  if (!imageSurface) return;
  DrawState(item->hDC, item->rcItem.left, item->rcItem.top, state.SourceY(), state.sliceWidth,
            state.sliceHeight);
}

void CButtonEx2::DrawState(HDC dc, int x, int y, int sourceY, int width, int height) {
  MemorySurface canvas(dc);
  canvas.Select(UniqueBitmap(::CreateCompatibleBitmap(dc, width, height)));
  if (state.backgroundCaptured) {
    ::BitBlt(canvas.dc(), 0, 0, width, height, backgroundSurface.dc(), x, y, SRCCOPY);
    ::AlphaBlend(canvas.dc(), 0, 0, width, height, imageSurface.dc(), 0, sourceY, width, height, PerPixelAlpha());
  } else {
    ::BitBlt(canvas.dc(), 0, 0, width, height, imageSurface.dc(), 0, sourceY, SRCCOPY);
  }

  std::wstring label = WindowText(GetSafeHwnd());
  if (!label.empty()) {
    ::SetBkMode(canvas.dc(), TRANSPARENT);
    LOGFONTW font{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    // The face is written with the name's 32-character limit.
    const std::wstring_view face(kLabelFace);
    const std::size_t faceChars = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
    std::copy_n(face.data(), faceChars, font.lfFaceName);
    font.lfFaceName[faceChars] = L'\0';
    font.lfHeight = kLabelHeight;
    font.lfWeight = kLabelWeight;
    HFONT labelFont = ::CreateFontIndirectW(&font);
    HGDIOBJ previous = ::SelectObject(canvas.dc(), labelFont);
    const LabelBand band = LabelBandFor(x, y, width, height);
    RECT rect{band.left, band.top, band.right, band.bottom};
    ::DrawTextW(canvas.dc(), label.c_str(), -1, &rect, DT_CENTER | DT_WORDBREAK);
    ::SelectObject(canvas.dc(), previous);
    ::DeleteObject(labelFont);
  }

  ::BitBlt(dc, x, y, width, height, canvas.dc(), 0, 0, SRCCOPY);
}

// The leave-notice request is 16 bytes in a 32-bit program (24 in a 64-bit
// one); its size field must match the layout Windows reads.
static_assert(sizeof(TRACKMOUSEEVENT) == (sizeof(void*) == 4 ? 16 : 24));

void CButtonEx2::React(ButtonReaction reaction) {
  HWND hwnd = GetSafeHwnd();
  if (reaction.trackLeave) {
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = hwnd;
    track.dwHoverTime = HOVER_DEFAULT;
    ::TrackMouseEvent(&track);
  }
  if (reaction.invalidate) ::InvalidateRect(hwnd, nullptr, TRUE);
}

void CButtonEx2::OnMouseMove(UINT, POINT) {
  Default();
  React(state.OnMouseMove());
}

void CButtonEx2::OnMouseLeave() {
  Default();
  React(state.OnMouseLeave());
}

void CButtonEx2::OnLButtonDown(UINT, POINT) {
  React(state.OnLButtonDown(static_cast<bool>(imageSurface)));
  Default();
}

void CButtonEx2::OnLButtonUp(UINT, POINT) {
  React(state.OnLButtonUp(static_cast<bool>(imageSurface)));
  Default();
}

BOOL CButtonEx2::OnSetCursor(HWND window, UINT hitTest, UINT message) {
  if (!cursor) return CButton::OnSetCursor(window, hitTest, message);
  ::SetCursor(cursor);
  return TRUE;
}

BOOL CButtonEx2::OnEraseBkgnd(HDC) { return TRUE; }

}  // namespace kestrel
