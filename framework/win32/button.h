#pragma once
// The framework's push button: a system "BUTTON" window attached to its
// object.  An owner-drawn button draws itself: the parent passes the
// WM_DRAWITEM it receives back to the button's DrawItem.

#include "framework/win32/window.h"

namespace kestrel {

class CButton : public CWnd {
 public:
  static const RuntimeClass classCButton;
  const RuntimeClass* GetRuntimeClass() const override { return &classCButton; }

  /// Creates the button as a child of `parent` with control id `id`.
  bool Create(const wchar_t* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id);

  /// Paints an owner-drawn button.  The base draws nothing.
  virtual void DrawItem(DRAWITEMSTRUCT* item);

 protected:
  bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

}  // namespace kestrel
