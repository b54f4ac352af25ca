#include "chooser/win32/kestrel_ex_dlg.h"

#include "chooser/chooser_commands.h"
#include "chooser/chooser_ids.h"
#include "chooser/chooser_layout.h"
#include "chooser/win32/skin_bitmap.h"
#include "core/log.h"
#include "skin/skin_image_names.h"

namespace kestrel {

namespace {

/// WM_SYSCOMMAND's move with the caption as the grip: the system's move
/// loop follows the mouse until the button is released.
constexpr WPARAM kMoveByCaption = SC_MOVE | HTCAPTION;

Size SizeOf(HBITMAP bitmap) {
  const SIZE size = BitmapSize(bitmap);
  return {size.cx, size.cy};
}

void PlaceWindow(HWND hwnd, const Placement& p) { ::MoveWindow(hwnd, p.x, p.y, p.width, p.height, TRUE); }

/// Stretches the whole of `image` into `target` on `dc` with its own
/// per-pixel alpha.  `source` is a scratch surface for the image.
void BlendImage(HDC dc, HDC source, HBITMAP image, const Placement& target) {
  if (!image) return;
  const SIZE size = BitmapSize(image);
  HGDIOBJ previous = ::SelectObject(source, image);
  BLENDFUNCTION blend{};
  blend.BlendOp = AC_SRC_OVER;
  blend.BlendFlags = 0;
  blend.SourceConstantAlpha = 255;
  blend.AlphaFormat = AC_SRC_ALPHA;
  ::AlphaBlend(dc, target.x, target.y, target.width, target.height, source, 0, 0, size.cx, size.cy, blend);
  ::SelectObject(source, previous);
}

}  // namespace

const RuntimeClass CKestrelExDlg::classCKestrelExDlg = {"CKestrelExDlg", &CDialog::classCDialog};

CKestrelExDlg::CKestrelExDlg(Platform& os, ChooserSources& sources)
    : CDialog(kChooserDialogTemplate), os_(os), sources_(sources) {}

CKestrelExDlg::~CKestrelExDlg() = default;

int CKestrelExDlg::OnCreate(CREATESTRUCTW* create) {
  if (CDialog::OnCreate(create) == -1) return -1;
  icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kApplicationIcon));
  memorySurface = MemorySurface(static_cast<HDC>(nullptr));
  ChooserSkin skin;
  if (!sources_.LoadChooserSkin(skin)) {
    LogMessage(os_, L"MSG: OnCreate failed, Initialization skin failed, code=%d", {LastErrorCode(os_)});
    return -1;
  }
  for (std::size_t k = 0; k < frameImages.size(); ++k) frameImages[k] = SkinBitmap(skin.frameImages[k]);
  backgroundImage = SkinBitmap(skin.backgroundImage);
  buttonImage = SkinBitmap(skin.buttonImage);

  ChooserConfig config;
  if (!sources_.LoadChooserConfig(config)) {
    LogMessage(os_, L"MSG: OnCreate failed, Initialization DlgElement failed, code=%d", {LastErrorCode(os_)});
    return -1;
  }
  // The window draws no title; the system shows it (taskbar, task switcher).
  if (!config.title.empty()) ::SetWindowTextW(GetSafeHwnd(), config.title.c_str());
  entries = std::move(config.entries);
  CreateSystemButtons();
  CreateVersionButtons();
  return 0;
}

bool CKestrelExDlg::CreateImageButton(CButtonEx2& button, UINT id, HCURSOR hand) {
  button.imageLoader = &sources_;
  const RECT empty{0, 0, 0, 0};
  const bool created = button.Create(L"", WS_CHILD | WS_VISIBLE, empty, this, id);
  button.cursor = hand;
  return created;
}

void CKestrelExDlg::CreateSystemButtons() {
  HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
  for (std::size_t i = 0; i < systemButtons.size(); ++i)
    CreateImageButton(systemButtons[i], kMinimizeButtonId + static_cast<UINT>(i), hand);
  systemButtons[0].SetImage(kMinimizeImageName);
  systemButtons[1].SetImage(kMaximizeImageName);
  systemButtons[2].SetImage(kCloseImageName);
}

void CKestrelExDlg::CreateVersionButtons() {
  HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    auto button = std::make_unique<CButtonEx2>();
    CreateImageButton(*button, kFirstVersionButtonId + static_cast<UINT>(i), hand);
    button->SetImage(kButtonImageName);
    ::SetWindowTextW(button->GetSafeHwnd(), entries[i]->caption.c_str());
    versionButtons.push_back(std::move(button));
  }
}

BOOL CKestrelExDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  HWND hwnd = GetSafeHwnd();
  ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  if (backgroundImage) {
    const SIZE size = BitmapSize(backgroundImage.get());
    ::MoveWindow(hwnd, 0, 0, size.cx, size.cy, TRUE);
  }
  CenterWindow();
  return TRUE;
}

void CKestrelExDlg::OnSize(UINT, int, int) {
  Default();
  LayoutChildren();
}

void CKestrelExDlg::LayoutChildren() {
  HWND hwnd = GetSafeHwnd();
  RECT window{};
  ::GetWindowRect(hwnd, &window);
  ::OffsetRect(&window, -window.left, -window.top);
  // The window owns the region from here on.
  ::SetWindowRgn(hwnd, ::CreateRoundRectRgn(0, 0, window.right, window.bottom, 4, 4), TRUE);

  const Size background = SizeOf(backgroundImage.get());
  const auto small = SystemButtonPlacements(background.width);
  for (std::size_t i = 0; i < systemButtons.size(); ++i) PlaceWindow(systemButtons[i].GetSafeHwnd(), small[i]);

  const auto column = VersionButtonPlacements(background, SizeOf(buttonImage.get()), versionButtons.size());
  for (std::size_t i = 0; i < column.size(); ++i) PlaceWindow(versionButtons[i]->GetSafeHwnd(), column[i]);
}

BOOL CKestrelExDlg::OnEraseBkgnd(HDC dc) { return ComposeBackground(dc); }

BOOL CKestrelExDlg::ComposeBackground(HDC dc) {
  if (!memorySurface) return CDialog::OnEraseBkgnd(dc);
  RECT client{};
  ::GetClientRect(GetSafeHwnd(), &client);
  const Size area{client.right, client.bottom};
  memorySurface.Select(UniqueBitmap(::CreateCompatibleBitmap(dc, area.width, area.height)));

  MemorySurface scratch(dc);
  const Size background = SizeOf(backgroundImage.get());
  BlendImage(memorySurface.dc(), scratch.dc(), backgroundImage.get(), {0, 0, background.width, background.height});
  std::array<Size, 8> pieces{};
  for (std::size_t k = 0; k < pieces.size(); ++k) pieces[k] = SizeOf(frameImages[k].get());
  const auto frame = FramePiecePlacements(area, pieces);
  for (std::size_t k = 0; k < frame.size(); ++k) BlendImage(memorySurface.dc(), scratch.dc(), frameImages[k].get(), frame[k]);

  ::BitBlt(dc, 0, 0, area.width, area.height, memorySurface.dc(), 0, 0, SRCCOPY);

  for (std::size_t i = 0; i < systemButtons.size(); ++i) {
    const Size capture = i + 1 < systemButtons.size() ? kSmallButtonCapture : kCloseButtonCapture;
    systemButtons[i].CaptureParentBackground(memorySurface.dc(), 0, 0, capture.width, capture.height);
    systemButtons[i].state.backgroundCaptured = true;
  }
  for (auto& button : versionButtons) {
    button->CaptureParentBackground(memorySurface.dc(), 0, 0, kVersionButtonCapture.width,
                                    kVersionButtonCapture.height);
    button->state.backgroundCaptured = true;
  }
  return TRUE;
}

void CKestrelExDlg::OnPaint() {
  HWND hwnd = GetSafeHwnd();
  if (!::IsIconic(hwnd)) {
    Default();
    return;
  }
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(hwnd, &paint);
  ::SendMessageW(hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  ::GetClientRect(hwnd, &client);
  const Placement at = MinimizedIconPlacement(
      {client.right, client.bottom}, {::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)});
  ::DrawIcon(dc, at.x, at.y, icon);
  ::EndPaint(hwnd, &paint);
}

HCURSOR CKestrelExDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(icon); }

void CKestrelExDlg::OnLButtonDown(UINT, POINT) {
  // Shown while dragged, until the user logs off (not saved to the profile).
  ::SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, 1, nullptr, 0);
  ::SendMessageW(GetSafeHwnd(), WM_SYSCOMMAND, kMoveByCaption, 0);
}

BOOL CKestrelExDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  if (HIWORD(wParam) == BN_CLICKED && id >= static_cast<UINT>(kFirstChooserCommandId) &&
      id <= static_cast<UINT>(kLastChooserCommandId)) {
    OnVersionCommand(id);
    return TRUE;
  }
  return CDialog::OnCommand(wParam, lParam);
}

void CKestrelExDlg::OnVersionCommand(UINT id) {
  const ChooserAction action = ClassifyChooserCommand(static_cast<int>(id), entries.size());
  switch (action.command) {
    case ChooserCommand::kMinimize: ::ShowWindow(GetSafeHwnd(), SW_MINIMIZE); break;
    case ChooserCommand::kCancel: OnCancel(); break;
    case ChooserCommand::kVersion: {
      const VersionEntry& entry = *entries[action.entryIndex];
      sources_.RunVersionAction(entry);
      if (VersionActionClosesWindow(entry)) OnOK();
      break;
    }
    case ChooserCommand::kNothing: break;
  }
}

void CKestrelExDlg::OnDestroy() {
  CDialog::OnDestroy();
  memorySurface = MemorySurface();
  backgroundImage.reset();
  buttonImage.reset();
  for (auto& piece : frameImages) piece.reset();
  versionButtons.clear();
  entries.clear();
}

}  // namespace kestrel
