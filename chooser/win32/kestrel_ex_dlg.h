#pragma once
// The version chooser window: a borderless, skinned modal dialog (template
// 102) with three small buttons along its top right and one image button
// per configured version.  A version button's click runs that button's
// action and, unless the entry keeps the window open, ends the run with OK;
// the close button, Esc and the system Close command end it with Cancel.

#include <array>
#include <memory>
#include <vector>

#include "chooser/chooser_sources.h"
#include "chooser/version_entry.h"
#include "chooser/win32/button_ex2.h"
#include "framework/win32/dialog.h"
#include "framework/win32/gdi_objects.h"
#include "platform/platform.h"

namespace kestrel {

class CKestrelExDlg : public CDialog {
 public:
  /// `os` receives the window's diagnostic lines; `sources` give its skin,
  /// its configuration and its version buttons' action.
  CKestrelExDlg(Platform& os, ChooserSources& sources);
  ~CKestrelExDlg() override;

  static const RuntimeClass classCKestrelExDlg;
  const RuntimeClass* GetRuntimeClass() const override { return &classCKestrelExDlg; }

  BOOL OnInitDialog() override;
  /// Every click of the window's buttons (ids 4096 to 4351).
  void OnVersionCommand(UINT id);

  HICON icon = nullptr;  ///< icon resource 128, shared (never destroyed)
  /// Minimize (4096), maximize (4097), close (4098).
  std::array<CButtonEx2, 3> systemButtons;
  /// The off-screen surface the background is composed on.
  MemorySurface memorySurface;
  UniqueBitmap buttonImage;      ///< the version buttons' face; sizes their column
  UniqueBitmap backgroundImage;  ///< the background; its size is the window's
  /// Frame pieces 0 to 7, each possibly absent.
  std::array<UniqueBitmap, 8> frameImages;
  std::vector<std::unique_ptr<VersionEntry>> entries;
  /// One per entry, same order; button i has id 4099 + i.
  std::vector<std::unique_ptr<CButtonEx2>> versionButtons;

 protected:
  /// Skin, configuration, then the buttons; -1 fails the creation.
  int OnCreate(CREATESTRUCTW* create) override;
  void OnSize(UINT type, int cx, int cy) override;
  BOOL OnEraseBkgnd(HDC dc) override;
  void OnPaint() override;
  HCURSOR OnQueryDragIcon() override;
  void OnLButtonDown(UINT flags, POINT point) override;
  void OnDestroy() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateSystemButtons();
  void CreateVersionButtons();
  bool CreateImageButton(CButtonEx2& button, UINT id, HCURSOR hand);
  /// Shapes the window and places every button from the skin's sizes.
  void LayoutChildren();
  /// Draws the background and the frame off screen, puts it on `dc` with
  /// one copy and lets every button take the part under it.
  BOOL ComposeBackground(HDC dc);

  Platform& os_;
  ChooserSources& sources_;
};

}  // namespace kestrel
