#pragma once
// The framework's modal dialog on plain Win32: DoModal makes the window from
// a dialog template of the program's resources and runs the system's modal
// loop until EndDialog; the object is attached before the window's first
// message, so WM_CREATE already reaches its handler.

#include "framework/win32/window.h"

namespace kestrel {

class CDialog : public CWnd {
 public:
  /// A dialog of template `templateId` (a resource of the program); no
  /// parent makes it a top-level window.
  explicit CDialog(UINT templateId, CWnd* parent = nullptr) : templateId_(templateId), parent_(parent) {}

  static const RuntimeClass classCDialog;
  const RuntimeClass* GetRuntimeClass() const override { return &classCDialog; }

  /// Runs the dialog modally.  Returns the result given to EndDialog, or
  /// -1 when the window could not be created (no template, or its
  /// WM_CREATE failed).
  virtual INT_PTR DoModal();
  /// Ends the modal run with `result` once the current message is done.
  void EndDialog(int result);

  /// WM_INITDIALOG: true lets the system give the focus to the first
  /// control.
  virtual BOOL OnInitDialog();
  /// The standard OK and Cancel commands: the run ends with IDOK or
  /// IDCANCEL.  Esc and the system Close command arrive as Cancel.
  virtual void OnOK();
  virtual void OnCancel();

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  UINT templateId_;
  CWnd* parent_;
};

}  // namespace kestrel
