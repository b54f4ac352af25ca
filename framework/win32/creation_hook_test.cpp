// The creation hook attaches an object to its own window only, whatever
// the system creates on the thread first (the input-method window before
// the first top-level window, windows of the same class for another module
// or parent).

#include <gtest/gtest.h>

#include "framework/win32/window.h"

namespace kestrel {
namespace {

class HookProbe : public CWnd {
 public:
  using CWnd::CreationHook;
};

HWND MakeWindow(const wchar_t* className, HINSTANCE instance, HWND parent = nullptr) {
  return ::CreateWindowExW(0, className, L"", parent ? WS_CHILD : WS_POPUP, 0, 0, 10, 10, parent, nullptr, instance,
                           nullptr);
}

/// A class named like the input-method manager's, registered by this
/// program so the test does not depend on the system's.
void RegisterImeLikeClass() {
  WNDCLASSW ime{};
  ime.lpfnWndProc = ::DefWindowProcW;
  ime.hInstance = ::GetModuleHandleW(nullptr);
  ime.lpszClassName = L"IME";
  ::RegisterClassW(&ime);
}

TEST(CreationHook, AttachesOnlyTheWindowOfItsClassModuleAndParent) {
  RegisterImeLikeClass();
  HINSTANCE self = ::GetModuleHandleW(nullptr);
  HINSTANCE other = ::GetModuleHandleW(L"user32.dll");
  HWND parent = MakeWindow(L"STATIC", self);
  ASSERT_NE(parent, nullptr);

  struct Case {
    const char* name;
    const wchar_t* className;
    HWND parent;
  };
  const Case cases[] = {
      {"a dialog", L"#32770", nullptr},
      {"a button", L"Button", parent},
  };
  for (const Case& c : cases) {
    HookProbe probe;
    HWND ime = nullptr, otherModule = nullptr, otherParent = nullptr, mine = nullptr;
    {
      HookProbe::CreationHook hook(probe, c.className, self, c.parent);
      ime = MakeWindow(L"IME", self, nullptr);  // made first, as the system makes it
      otherModule = MakeWindow(c.className, other, c.parent);
      otherParent = MakeWindow(c.className, self, c.parent ? nullptr : parent);
      mine = MakeWindow(c.className, self, c.parent);
    }
    ASSERT_NE(ime, nullptr) << c.name;
    ASSERT_NE(mine, nullptr) << c.name;
    EXPECT_EQ(probe.GetSafeHwnd(), mine) << c.name;
    EXPECT_EQ(CWnd::FromHandlePermanent(mine), &probe) << c.name;
    for (HWND stranger : {ime, otherModule, otherParent}) {
      EXPECT_EQ(CWnd::FromHandlePermanent(stranger), nullptr) << c.name;
      ::DestroyWindow(stranger);
    }
  }
  ::DestroyWindow(parent);
}

}  // namespace
}  // namespace kestrel
