#include "framework/win32/button.h"

namespace kestrel {

const RuntimeClass CButton::classCButton = {"CButton", &CWnd::classCWnd};

bool CButton::Create(const wchar_t* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateEx(0, L"BUTTON", caption, style, rect, parent, id);
}

void CButton::DrawItem(DRAWITEMSTRUCT*) {}

bool CButton::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
  if (message != WM_DRAWITEM) return false;
  DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
  *result = TRUE;
  return true;
}

}  // namespace kestrel
