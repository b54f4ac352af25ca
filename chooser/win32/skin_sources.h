#pragma once
// What the chooser window takes from outside itself: its skin images, its
// configuration and the version buttons' action.  The window calls these at
// the points of its life where they belong; the skin loader (res.dat and
// loose files), the "dlg_config" reader and the version action stand behind
// them.  Until those land, NoChooserSources makes every creation fail the
// way a missing skin does.

#include <string>

#include "app/win32/gdi_objects.h"
#include "chooser/version_entry.h"

namespace kestrel {

class CKestrelExDlg;

/// Turns a skin image name ("Skin/关闭.png") into an owned bitmap, or none.
class SkinImageLoader {
 public:
  virtual ~SkinImageLoader() = default;
  virtual UniqueBitmap LoadSkinImage(const std::wstring& name) = 0;
};

class ChooserSources : public SkinImageLoader {
 public:
  /// At creation, before the configuration: creates the window's
  /// memorySurface and fills its frameImages, backgroundImage and
  /// buttonImage.  False makes the creation fail.
  virtual bool LoadChooserSkin(CKestrelExDlg& dialog) = 0;
  /// At creation, after the skin: sets the window's title and fills its
  /// entries.  False makes the creation fail.
  virtual bool LoadChooserConfig(CKestrelExDlg& dialog) = 0;
  /// A click on the version button of `entry`: brings the game's base
  /// directory to that version.  The window closes afterwards unless the
  /// entry keeps it open.
  virtual void RunVersionAction(CKestrelExDlg& dialog, const VersionEntry& entry) = 0;
};

/// The sources before the skin loader and the configuration reader exist:
/// the skin never loads, so a window is never created.
class NoChooserSources : public ChooserSources {
 public:
  UniqueBitmap LoadSkinImage(const std::wstring&) override { return {}; }
  bool LoadChooserSkin(CKestrelExDlg&) override { return false; }
  bool LoadChooserConfig(CKestrelExDlg&) override { return false; }
  void RunVersionAction(CKestrelExDlg&, const VersionEntry&) override {}
};

}  // namespace kestrel
