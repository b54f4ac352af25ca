#include "app/win32/dialog.h"

namespace kestrel {

const RuntimeClass CDialog::classCDialog = {"CDialog", &CWnd::classCWnd};

INT_PTR CDialog::DialogProc(HWND, UINT, WPARAM, LPARAM) {
  // The object sees every message first, through its subclassed window
  // procedure; what reaches the system's dialog procedure is default work.
  return FALSE;
}

INT_PTR CDialog::DoModal() {
  CreationHook hook(*this);
  return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_),
                           parent_ ? parent_->GetSafeHwnd() : nullptr, &CDialog::DialogProc, 0);
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
