#include "framework/win32/dialog.h"

namespace kestrel {

namespace {

/// The class of windows made from dialog templates that name none (WC_DIALOG).
constexpr wchar_t kDialogClassName[] = L"#32770";

}  // namespace

const RuntimeClass CDialog::classCDialog = {"CDialog", &CWnd::classCWnd};

INT_PTR CDialog::DialogProc(HWND, UINT, WPARAM, LPARAM) {
  // The object sees every message first, through its subclassed window
  // procedure; what reaches the system's dialog procedure is default work.
  return FALSE;
}

INT_PTR CDialog::DoModal() {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  HWND owner = parent_ ? parent_->GetSafeHwnd() : nullptr;
  // The system's dialog class, made in this module with this owner.
  CreationHook hook(*this, kDialogClassName, instance, owner);
  return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId_), owner, &CDialog::DialogProc, 0);
}

void CDialog::EndDialog(int result) {
  if (GetSafeHwnd()) ::EndDialog(GetSafeHwnd(), result);
}

BOOL CDialog::OnInitDialog() {
  Default();
  return TRUE;
}

void CDialog::OnOK() { EndDialog(IDOK); }
void CDialog::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnInitDialog();
  return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (HIWORD(wParam) != BN_CLICKED) return CWnd::OnCommand(wParam, lParam);
  switch (LOWORD(wParam)) {
    case IDOK: OnOK(); return TRUE;
    case IDCANCEL: OnCancel(); return TRUE;
    default: return CWnd::OnCommand(wParam, lParam);
  }
}

}  // namespace kestrel
