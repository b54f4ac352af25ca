#include "framework/win32/window.h"

#include <windowsx.h>

namespace kestrel {

namespace {

/// The window property that holds the object attached to a window.
constexpr wchar_t kObjectProperty[] = L"KestrelWindowObject";

/// The creation in progress on this thread: the object waiting for its
/// window, the window it waits for, and the hook that will hand it over.
struct PendingCreation {
  CWnd* owner = nullptr;
  const wchar_t* className = nullptr;
  HINSTANCE instance = nullptr;
  HWND parent = nullptr;
};
thread_local PendingCreation pending;
thread_local HHOOK creationHook = nullptr;

void RemoveCreationHook() {
  if (creationHook) ::UnhookWindowsHookEx(creationHook);
  creationHook = nullptr;
  pending = PendingCreation();
}

/// Classes of the windows the input-method manager makes on a thread.
bool IsInputMethodClass(const wchar_t* name) {
  return ::lstrcmpiW(name, L"IME") == 0 || ::lstrcmpiW(name, L"MSCTFIME UI") == 0;
}

/// Whether the window being created (`hwnd`, described by `create`) is the
/// one the pending object waits for.
bool IsPendingWindow(HWND hwnd, const CREATESTRUCTW* create) {
  if (!create || create->hInstance != pending.instance || create->hwndParent != pending.parent) return false;
  wchar_t className[256] = {};
  if (::GetClassNameW(hwnd, className, 256) == 0 || IsInputMethodClass(className)) return false;
  return ::lstrcmpiW(className, pending.className) == 0;
}

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

const RuntimeClass CWnd::classCWnd = {"CWnd", nullptr};

CWnd::~CWnd() {
  if (!hwnd_) return;
  HWND hwnd = hwnd_;
  Detach();
  ::DestroyWindow(hwnd);
}

bool CWnd::IsKindOf(const RuntimeClass* type) const {
  for (const RuntimeClass* c = GetRuntimeClass(); c; c = c->base)
    if (c == type) return true;
  return false;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  return hwnd ? static_cast<CWnd*>(::GetPropW(hwnd, kObjectProperty)) : nullptr;
}

CWnd::CreationHook::CreationHook(CWnd& owner, const wchar_t* className, HINSTANCE instance, HWND parent) {
  RemoveCreationHook();
  pending = {&owner, className, instance, parent};
  creationHook = ::SetWindowsHookExW(WH_CBT, &CWnd::CreationHookProc, nullptr, ::GetCurrentThreadId());
}

CWnd::CreationHook::~CreationHook() { RemoveCreationHook(); }

LRESULT CALLBACK CWnd::CreationHookProc(int code, WPARAM wParam, LPARAM lParam) {
  HHOOK hook = creationHook;
  const auto* cbt = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
  HWND created = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_CREATEWND && pending.owner && cbt && IsPendingWindow(created, cbt->lpcs)) {
    CWnd* owner = pending.owner;
    // One window per hook: the windows the new one creates in turn (its
    // controls) are attached by hooks of their own.
    RemoveCreationHook();
    owner->Attach(created);
    owner->PreSubclassWindow();
  }
  return ::CallNextHookEx(hook, code, wParam, lParam);
}

void CWnd::Attach(HWND hwnd) {
  hwnd_ = hwnd;
  ::SetPropW(hwnd, kObjectProperty, this);
  superProc_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWindowProc)));
}

void CWnd::Detach() {
  if (!hwnd_) return;
  if (superProc_) ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(superProc_));
  ::RemovePropW(hwnd_, kObjectProperty);
  hwnd_ = nullptr;
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* self = FromHandlePermanent(hwnd);
  if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  const Message outer = self->current_;
  self->current_ = {message, wParam, lParam};
  LRESULT result = self->WindowProc(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    self->Detach();
    self->PostNcDestroy();
    return result;
  }
  self->current_ = outer;
  return result;
}

LRESULT CWnd::Default() {
  if (!hwnd_) return 0;
  if (!superProc_) return ::DefWindowProcW(hwnd_, current_.message, current_.wParam, current_.lParam);
  return ::CallWindowProcW(superProc_, hwnd_, current_.message, current_.wParam, current_.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_SIZE: OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_MOUSEMOVE: OnMouseMove(static_cast<UINT>(wParam), PointOf(lParam)); return 0;
    case WM_MOUSELEAVE: OnMouseLeave(); return 0;
    case WM_LBUTTONDOWN: OnLButtonDown(static_cast<UINT>(wParam), PointOf(lParam)); return 0;
    case WM_LBUTTONUP: OnLButtonUp(static_cast<UINT>(wParam), PointOf(lParam)); return 0;
    case WM_SETCURSOR:
      return OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam));
    case WM_TIMER: OnTimer(static_cast<UINT_PTR>(wParam)); return 0;
    case WM_QUERYDRAGICON: return reinterpret_cast<LRESULT>(OnQueryDragIcon());
    case WM_DRAWITEM: {
      LRESULT result = 0;
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      CWnd* child = item && item->CtlType != ODT_MENU ? FromHandlePermanent(item->hwndItem) : nullptr;
      if (child && child->OnChildNotify(message, wParam, lParam, &result)) return result;
      return Default();
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
      LRESULT result = 0;
      HWND control = reinterpret_cast<HWND>(lParam);
      CWnd* child = control != hwnd_ ? FromHandlePermanent(control) : nullptr;
      if (child && child->OnChildNotify(message, wParam, lParam, &result)) return result;
      return reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<HDC>(wParam), control, message));
    }
    case WM_COMMAND: {
      LRESULT result = 0;
      CWnd* child = lParam ? FromHandlePermanent(reinterpret_cast<HWND>(lParam)) : nullptr;
      if (child && child != this && child->OnChildNotify(message, wParam, lParam, &result)) return result;
      if (OnCommand(wParam, lParam)) return 0;
      return Default();
    }
    default: return Default();
  }
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

int CWnd::OnCreate(CREATESTRUCTW*) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(HDC) { return static_cast<BOOL>(Default()); }
HBRUSH CWnd::OnCtlColor(HDC, HWND, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
void CWnd::OnMouseMove(UINT, POINT) { Default(); }
void CWnd::OnMouseLeave() { Default(); }
void CWnd::OnLButtonDown(UINT, POINT) { Default(); }
void CWnd::OnLButtonUp(UINT, POINT) { Default(); }
BOOL CWnd::OnSetCursor(HWND, UINT, UINT) { return static_cast<BOOL>(Default()); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
BOOL CWnd::OnCommand(WPARAM, LPARAM) { return FALSE; }

bool CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id) {
  if (hwnd_) return false;
  HWND created = nullptr;
  HWND parentWindow = parent ? parent->GetSafeHwnd() : nullptr;
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  {
    CreationHook hook(*this, className, instance, parentWindow);
    created = ::CreateWindowExW(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                                rect.bottom - rect.top, parentWindow, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                instance, nullptr);
  }
  // A window that failed its creation has been destroyed, and with it the
  // attachment.
  return created != nullptr && hwnd_ == created;
}

void CWnd::CenterWindow() {
  if (!hwnd_) return;
  RECT window{};
  ::GetWindowRect(hwnd_, &window);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor)) area = monitor.rcWork;
  const int width = window.right - window.left, height = window.bottom - window.top;
  const int x = area.left + (area.right - area.left - width) / 2;
  const int y = area.top + (area.bottom - area.top - height) / 2;
  ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace kestrel
