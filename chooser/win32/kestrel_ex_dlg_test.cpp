// The chooser window opened for real from dialog template 102, driven by
// messages posted to its buttons.  A timer ends any run whose messages went
// astray, so a failing test never hangs.

#include "chooser/win32/kestrel_ex_dlg.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "chooser/chooser_ids.h"
#include "chooser/win32/window_test_support.h"
#include "platform/fake/fake_platform.h"
#include "skin/skin_image_names.h"

namespace kestrel {
namespace {

using namespace kestrel::testing;

constexpr UINT kNextStep = WM_APP + 1;
constexpr UINT_PTR kSafetyTimer = 0x5AFE;
constexpr int kTimedOut = 99;

/// A chooser that runs a script of steps, one per posted message, once its
/// modal loop is running.
class ScriptedChooser : public CKestrelExDlg {
 public:
  using Step = std::function<void(ScriptedChooser&)>;
  ScriptedChooser(Platform& os, ChooserSources& sources, std::vector<Step> steps)
      : CKestrelExDlg(os, sources), steps_(std::move(steps)) {}

  std::size_t stepsRun = 0;
  bool timedOut = false;

  HWND hwnd() const { return GetSafeHwnd(); }
  HWND Button(int id) const { return ::GetDlgItem(GetSafeHwnd(), id); }
  /// Posts a click (press and release inside) to the button with `id`.
  void Click(int id) const {
    HWND button = Button(id);
    ASSERT_NE(button, nullptr) << "no button " << id;
    ::PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  }

 protected:
  BOOL OnInitDialog() override {
    const BOOL result = CKestrelExDlg::OnInitDialog();
    ::SetTimer(GetSafeHwnd(), kSafetyTimer, 10000, nullptr);
    ::PostMessageW(GetSafeHwnd(), kNextStep, 0, 0);
    return result;
  }
  void OnTimer(UINT_PTR id) override {
    if (id != kSafetyTimer) return CKestrelExDlg::OnTimer(id);
    timedOut = true;
    EndDialog(kTimedOut);
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != kNextStep) return CKestrelExDlg::WindowProc(message, wParam, lParam);
    if (stepsRun < steps_.size()) {
      steps_[stepsRun++](*this);
      // Posted after the step's own messages, so it runs once they are done.
      ::PostMessageW(GetSafeHwnd(), kNextStep, 0, 0);
    }
    return 0;
  }

 private:
  std::vector<Step> steps_;
};

class ChooserWindowTest : public ::testing::Test {
 protected:
  ChooserWindowTest() {
    sources_.entriesToLoad = {
        {L"Version one", L"one.exe", L"", L"1.0", kCloseAfterRun},
        {L"Version two", L"two.exe", L"-x", L"2.0", kKeepOpen},
        {L"Version three", L"three.exe", L"", L"3.0", kCloseAfterRun},
    };
  }
  /// Runs the chooser modally with `steps`; returns the modal result.
  INT_PTR Run(std::vector<ScriptedChooser::Step> steps, std::size_t* stepsRun = nullptr) {
    ScriptedChooser dialog(os_, sources_, std::move(steps));
    const INT_PTR result = dialog.DoModal();
    EXPECT_FALSE(dialog.timedOut) << "the script's messages did not end the run";
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr) << "the window outlived its modal run";
    if (stepsRun) *stepsRun = dialog.stepsRun;
    return result;
  }

  FakePlatform os_;
  TestSources sources_;
};

TEST_F(ChooserWindowTest, OpensSizedToTheSkinWithOwnerDrawnButtonsInTheirPlaces) {
  std::size_t stepsRun = 0;
  const INT_PTR result = Run(
      {[](ScriptedChooser& d) {
         RECT window{};
         ::GetWindowRect(d.hwnd(), &window);
         EXPECT_EQ(window.right - window.left, kBackgroundWidth);
         EXPECT_EQ(window.bottom - window.top, kBackgroundHeight);
         wchar_t title[64] = {};
         ::GetWindowTextW(d.hwnd(), title, 64);
         EXPECT_STREQ(title, L"Pick a version");
         EXPECT_EQ(::GetWindowLongPtrW(d.hwnd(), GWL_STYLE) & WS_CAPTION, 0) << "the window has no caption bar";
         EXPECT_NE(::GetWindowLongPtrW(d.hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);

         struct Expected {
           int id;
           RECT rect;  // in the window's client area, which is the whole window
           const wchar_t* caption;
         };
         const Expected buttons[] = {
             {kMinimizeButtonId, {296, 0, 327, 23}, L""},
             {kMaximizeButtonId, {327, 0, 358, 23}, L""},
             {kCloseButtonId, {358, 0, 400, 23}, L""},
             {kFirstVersionButtonId, {100, 75, 300, 115}, L"Version one"},
             {kFirstVersionButtonId + 1, {100, 125, 300, 165}, L"Version two"},
             {kFirstVersionButtonId + 2, {100, 175, 300, 215}, L"Version three"},
         };
         HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
         for (const Expected& e : buttons) {
           HWND button = d.Button(e.id);
           ASSERT_NE(button, nullptr) << e.id;
           auto* object = dynamic_cast<CButtonEx2*>(CWnd::FromHandlePermanent(button));
           ASSERT_NE(object, nullptr) << "button " << e.id << " is not attached to its object";
           EXPECT_TRUE(object->IsKindOf(&CButton::classCButton));
           EXPECT_STREQ(object->GetRuntimeClass()->className, "CButtonEx2");
           const LONG_PTR style = ::GetWindowLongPtrW(button, GWL_STYLE);
           EXPECT_EQ(style & BS_TYPEMASK, BS_OWNERDRAW) << e.id;
           EXPECT_EQ(style & (WS_CLIPSIBLINGS | WS_CLIPCHILDREN), WS_CLIPSIBLINGS | WS_CLIPCHILDREN) << e.id;
           RECT rect{};
           ::GetWindowRect(button, &rect);
           ::MapWindowPoints(nullptr, d.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
           EXPECT_EQ(rect.left, e.rect.left) << e.id;
           EXPECT_EQ(rect.top, e.rect.top) << e.id;
           EXPECT_EQ(rect.right, e.rect.right) << e.id;
           EXPECT_EQ(rect.bottom, e.rect.bottom) << e.id;
           wchar_t caption[64] = {};
           ::GetWindowTextW(button, caption, 64);
           EXPECT_STREQ(caption, e.caption) << e.id;
           EXPECT_EQ(object->cursor, hand) << e.id;
           EXPECT_TRUE(object->imageSurface) << e.id;
         }
       },
       [](ScriptedChooser& d) {
         // A full repaint composes the background and lets every button
         // capture the part under it; the buttons then draw themselves.
         ::RedrawWindow(d.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
         EXPECT_EQ(RgbOf(::GetPixel(d.memorySurface.dc(), 2, 2)), 0xFFFF00u) << "frame piece 0";
         EXPECT_EQ(RgbOf(::GetPixel(d.memorySurface.dc(), 200, 290)), 0x808080u) << "background";
         for (const auto& button : d.versionButtons) EXPECT_TRUE(button->state.backgroundCaptured);
         for (const auto& button : d.systemButtons) EXPECT_TRUE(button.state.backgroundCaptured);

         HWND first = d.Button(kFirstVersionButtonId);
         auto pixel = [first] {
           ::UpdateWindow(first);
           HDC dc = ::GetDC(first);
           const std::uint32_t rgb = RgbOf(::GetPixel(dc, 3, 3));
           ::ReleaseDC(first, dc);
           return rgb;
         };
         EXPECT_EQ(pixel(), 0xFF0000u) << "normal slice";
         ::SendMessageW(first, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
         EXPECT_EQ(pixel(), 0x00FF00u) << "hover slice";
         ::SendMessageW(first, WM_MOUSELEAVE, 0, 0);
         EXPECT_EQ(pixel(), 0xFF0000u) << "normal slice after leaving";
       },
       [](ScriptedChooser& d) { d.Click(kCloseButtonId); }},
      &stepsRun);
  EXPECT_EQ(result, kModalCancel);
  EXPECT_EQ(stepsRun, 3u);
  const std::vector<std::wstring> calls = {L"skin",
                                           L"config",
                                           std::wstring(L"image ") + kMinimizeImageName,
                                           std::wstring(L"image ") + kMaximizeImageName,
                                           std::wstring(L"image ") + kCloseImageName,
                                           std::wstring(L"image ") + kButtonImageName,
                                           std::wstring(L"image ") + kButtonImageName,
                                           std::wstring(L"image ") + kButtonImageName};
  EXPECT_EQ(sources_.calls, calls);
}

TEST_F(ChooserWindowTest, AKeepOpenVersionStaysAndACloseAfterRunVersionEndsWithOk) {
  std::size_t stepsRun = 0;
  bool stillOpen = false;
  const INT_PTR result = Run({[](ScriptedChooser& d) { d.Click(kFirstVersionButtonId + 1); },
                              [&stillOpen](ScriptedChooser& d) {
                                stillOpen = ::IsWindow(d.hwnd()) != FALSE;
                                d.Click(kFirstVersionButtonId + 1);
                              },
                              [](ScriptedChooser& d) { d.Click(kFirstVersionButtonId); },
                              [](ScriptedChooser& d) { d.Click(kFirstVersionButtonId + 2); }},
                             &stepsRun);
  EXPECT_EQ(result, kModalOk);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(stepsRun, 3u) << "the run ended with the first close-after-run button";
  EXPECT_EQ(sources_.versionsRun, (std::vector<std::wstring>{L"Version two", L"Version two", L"Version one"}));
}

TEST_F(ChooserWindowTest, EachWayOutEndsTheRunWithItsResult) {
  struct Case {
    const char* name;
    ScriptedChooser::Step step;
    INT_PTR result;
  };
  const Case cases[] = {
      {"close button", [](ScriptedChooser& d) { d.Click(kCloseButtonId); }, kModalCancel},
      {"Esc key", [](ScriptedChooser& d) { ::PostMessageW(d.hwnd(), WM_KEYDOWN, VK_ESCAPE, 0); }, kModalCancel},
      {"system Close command",
       [](ScriptedChooser& d) { ::PostMessageW(d.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }, kModalCancel},
      {"WM_CLOSE", [](ScriptedChooser& d) { ::PostMessageW(d.hwnd(), WM_CLOSE, 0, 0); }, kModalCancel},
      {"standard OK command",
       [](ScriptedChooser& d) { ::PostMessageW(d.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }, kModalOk},
  };
  for (const Case& c : cases) {
    sources_.versionsRun.clear();
    EXPECT_EQ(Run({c.step}), c.result) << c.name;
    EXPECT_TRUE(sources_.versionsRun.empty()) << c.name;
  }
}

TEST_F(ChooserWindowTest, MaximizeAndButtonsPastTheTwentiethDoNothingMinimizeMinimizes) {
  sources_.entriesToLoad.clear();
  for (int n = 1; n <= 21; ++n)
    sources_.entriesToLoad.push_back({L"v" + std::to_wstring(n), L"", L"", L"", kKeepOpen});
  bool minimized = false;
  const INT_PTR result = Run({[](ScriptedChooser& d) { d.Click(kMaximizeButtonId); },
                              [](ScriptedChooser& d) { d.Click(kFirstVersionButtonId + 20); },
                              [](ScriptedChooser& d) { d.Click(kFirstVersionButtonId + 19); },
                              [](ScriptedChooser& d) {
                                EXPECT_FALSE(::IsIconic(d.hwnd()));
                                EXPECT_FALSE(::IsZoomed(d.hwnd()));
                                d.Click(kMinimizeButtonId);
                              },
                              [&minimized](ScriptedChooser& d) {
                                minimized = ::IsIconic(d.hwnd()) != FALSE;
                                ::PostMessageW(d.hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                              }});
  EXPECT_EQ(result, kModalCancel);
  EXPECT_TRUE(minimized);
  EXPECT_EQ(sources_.versionsRun, std::vector<std::wstring>{L"v20"});
}

TEST_F(ChooserWindowTest, AColumnOverTheSmallButtonsTakesTheClicksItShows) {
  // Ten buttons of 40 in a 300-pixel window start at y -100; the third
  // (y 0 to 40, x 100 to 300) overlaps the minimize button (x 296 to 327).
  sources_.entriesToLoad.clear();
  for (int n = 1; n <= 10; ++n) sources_.entriesToLoad.push_back({L"v" + std::to_wstring(n), L"", L"", L"", kKeepOpen});
  const INT_PTR result = Run({[](ScriptedChooser& d) {
    const POINT overlap{297, 10};
    EXPECT_EQ(::ChildWindowFromPointEx(d.hwnd(), overlap, CWP_ALL), d.Button(kFirstVersionButtonId + 2));
    const POINT minimizeOnly{310, 10};
    EXPECT_EQ(::ChildWindowFromPointEx(d.hwnd(), minimizeOnly, CWP_ALL), d.Button(kMinimizeButtonId));
    d.Click(kCloseButtonId);
  }});
  EXPECT_EQ(result, kModalCancel);
}

TEST_F(ChooserWindowTest, AFailedSkinOrConfigurationMakesNoWindowAndLogsWhy) {
  struct Case {
    bool skinLoads, configLoads;
    std::vector<std::wstring> calls;
    std::wstring log;
  };
  const Case cases[] = {
      {false, true, {L"skin"}, L"MSG: OnCreate failed, Initialization skin failed, code=2"},
      {true, false, {L"skin", L"config"}, L"MSG: OnCreate failed, Initialization DlgElement failed, code=2"},
  };
  for (const Case& c : cases) {
    FakePlatform os;
    sources_ = TestSources();
    sources_.skinLoads = c.skinLoads;
    sources_.configLoads = c.configLoads;
    sources_.failureError = 2;
    os.SetLastError(2);
    ScriptedChooser dialog(os, sources_, {});
    EXPECT_EQ(dialog.DoModal(), kModalFailed) << c.log;
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
    EXPECT_EQ(sources_.calls, c.calls);
    EXPECT_EQ(os.Logs(), std::vector<std::wstring>{c.log});
  }
}

}  // namespace
}  // namespace kestrel
