#pragma once
// The application framework's window objects on plain Win32: a CWnd is
// attached to its window from the window's first message (a creation hook
// subclasses the window as it is made), routes each message to a virtual
// handler, and hands what a handler leaves to the window's own procedure
// with Default().  Parents pass owner-draw and colour requests back to the
// child object they concern, so a control draws itself.

#include <windows.h>

namespace kestrel {

/// Run-time class information: a name and the base class's information.
struct RuntimeClass {
  const char* className;
  const RuntimeClass* base;
};

class CWnd {
 public:
  CWnd() = default;
  /// A window still attached is detached and destroyed, so no message ever
  /// reaches a deleted object.
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  static const RuntimeClass classCWnd;
  virtual const RuntimeClass* GetRuntimeClass() const { return &classCWnd; }
  /// True when this object's class is `type` or derives from it.
  bool IsKindOf(const RuntimeClass* type) const;

  /// The object attached to `hwnd`, or null for a window no object owns.
  static CWnd* FromHandlePermanent(HWND hwnd);
  HWND GetSafeHwnd() const { return hwnd_; }

  /// CreateWindowExW of a window of `className`, attached to this object
  /// before its first message.  False when the window was not created.
  bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style, const RECT& rect,
                CWnd* parent, UINT id);

  /// Centres the window on the work area of its monitor (no reference
  /// window).
  void CenterWindow();

 protected:
  /// Called when the object has been attached to its window, before the
  /// window's first message reaches the object.
  virtual void PreSubclassWindow() {}
  /// Routes one message to its handler.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  /// The window's own procedure for the message being handled now.
  LRESULT Default();
  /// A parent passes a notification about this control back to it
  /// (WM_DRAWITEM, WM_CTLCOLOR*, WM_COMMAND).  True when this object
  /// handled it, with `*result` the message's result.
  virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  // Handlers: each does the window's own processing unless overridden.
  virtual int OnCreate(CREATESTRUCTW* create);
  virtual void OnDestroy();
  virtual void OnSize(UINT type, int cx, int cy);
  virtual void OnPaint();
  virtual BOOL OnEraseBkgnd(HDC dc);
  virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT controlType);
  virtual void OnMouseMove(UINT flags, POINT point);
  virtual void OnMouseLeave();
  virtual void OnLButtonDown(UINT flags, POINT point);
  virtual void OnLButtonUp(UINT flags, POINT point);
  virtual BOOL OnSetCursor(HWND window, UINT hitTest, UINT message);
  virtual void OnTimer(UINT_PTR id);
  virtual HCURSOR OnQueryDragIcon();
  /// WM_COMMAND; true when handled.
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  /// The last call after the window is gone.
  virtual void PostNcDestroy() {}

  /// Makes the window this thread creates next with this class, module
  /// and parent the one this object owns.  Other windows made meanwhile
  /// (the input-method window the system makes before a thread's first
  /// top-level window, windows of other modules) are left alone.  The hook
  /// removes itself once it has attached the window; the guard removes it
  /// when no window was made.
  class CreationHook {
   public:
    CreationHook(CWnd& owner, const wchar_t* className, HINSTANCE instance, HWND parent);
    ~CreationHook();
    CreationHook(const CreationHook&) = delete;
    CreationHook& operator=(const CreationHook&) = delete;
  };

 private:
  struct Message {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
  };
  static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK CreationHookProc(int code, WPARAM wParam, LPARAM lParam);
  void Attach(HWND hwnd);
  void Detach();

  HWND hwnd_ = nullptr;
  WNDPROC superProc_ = nullptr;  ///< the window's own procedure before subclassing
  Message current_;              ///< the message being handled, for Default()
};

}  // namespace kestrel
