#include "chooser/linux/chooser_window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/extensions/shape.h>

#include <chrono>
#include <cstring>

#include "chooser/chooser_commands.h"
#include "chooser/chooser_ids.h"
#include "chooser/linux/chooser_view.h"
#include "core/log.h"
#include "text/utf.h"

namespace kestrel {

namespace {

class ChooserWindow {
 public:
  ChooserWindow(ChooserView& view, ChooserSources& sources, const ChooserWindowHooks* hooks)
      : view_(view), sources_(sources), hooks_(hooks) {}
  ~ChooserWindow() {
    if (hand_) SDL_FreeCursor(hand_);
    if (arrow_) SDL_FreeCursor(arrow_);
    if (window_) SDL_DestroyWindow(window_);
  }

  bool Open();
  int Run();
  void ShapeRoundCorners();

 private:
  static SDL_HitTestResult HitTest(SDL_Window*, const SDL_Point* point, void* data) {
    auto* self = static_cast<ChooserWindow*>(data);
    return self->view_.ButtonAt(point->x, point->y) ? SDL_HITTEST_NORMAL : SDL_HITTEST_DRAGGABLE;
  }
  void Present();
  void Repaint(ChooserButton& button);
  void React(ChooserButton& button, ButtonReaction reaction) {
    if (reaction.invalidate) Repaint(button);
  }
  /// What a click on `id` does; a modal result ends the loop.
  std::optional<int> Click(int id);
  void Leave();
  void UpdateCursor(int x, int y) {
    SDL_Cursor* wanted = view_.ButtonAt(x, y) ? hand_ : arrow_;
    if (wanted && wanted != SDL_GetCursor()) SDL_SetCursor(wanted);
  }

  ChooserView& view_;
  ChooserSources& sources_;
  const ChooserWindowHooks* hooks_;
  SDL_Window* window_ = nullptr;
  SDL_Cursor* hand_ = nullptr;
  SDL_Cursor* arrow_ = nullptr;
  CairoSurface frame_;
  ChooserButton* hot_ = nullptr;       ///< the button the pointer is over
  ChooserButton* captured_ = nullptr;  ///< the button the left button went down on
  bool presented_ = false;
};

void ChooserWindow::ShapeRoundCorners() {
  // Where the window system takes a shape (X11's shape extension): the
  // Win32 window's rounded region (InsideRoundCorners) as three rectangles.
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window_, &info) || info.subsystem != SDL_SYSWM_X11) return;
  int event = 0, error = 0;
  if (!XShapeQueryExtension(info.info.x11.display, &event, &error)) return;
  const int width = view_.client.width, height = view_.client.height;
  if (width < 3 || height < 3) return;
  XRectangle rows[3] = {
      {1, 0, static_cast<unsigned short>(width - 3), 1},
      {0, 1, static_cast<unsigned short>(width - 1), static_cast<unsigned short>(height - 3)},
      {1, static_cast<short>(height - 2), static_cast<unsigned short>(width - 3), 1},
  };
  XShapeCombineRectangles(info.info.x11.display, info.info.x11.window, ShapeBounding, 0, 0, rows, 3, ShapeSet,
                          YXBanded);
}

bool ChooserWindow::Open() {
  const std::string title = WideToUtf8(std::wstring(view_.title.c_str()));
  const int width = view_.client.width, height = view_.client.height;
  window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                             SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
  if (!window_) return false;
  SDL_SetWindowHitTest(window_, &ChooserWindow::HitTest, this);
  hand_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
  arrow_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
  view_.ComposeBackground();
  frame_ = view_.RenderFrame();
  ShapeRoundCorners();
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  return true;
}

void ChooserWindow::Present() {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (!surface || !frame_) return;
  cairo_surface_flush(frame_.get());
  // One copy of the whole composed picture.
  SDL_ConvertPixels(view_.client.width, view_.client.height, SDL_PIXELFORMAT_RGB888,
                    cairo_image_surface_get_data(frame_.get()), cairo_image_surface_get_stride(frame_.get()),
                    surface->format->format, surface->pixels, surface->pitch);
  SDL_UpdateWindowSurface(window_);
  if (!presented_) {
    presented_ = true;
    if (hooks_ && hooks_->firstPresent) {
      SDL_SysWMinfo info;
      SDL_VERSION(&info.version);
      unsigned long id = 0;
      if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11) id = info.info.x11.window;
      hooks_->firstPresent(id);
    }
  }
}

void ChooserWindow::Repaint(ChooserButton& button) {
  const auto start = std::chrono::steady_clock::now();
  cairo_t* cr = cairo_create(frame_.get());
  // The button, then every button stacked above it that it overlaps.
  bool above = false;
  for (ChooserButton& b : view_.buttons) {
    if (&b == &button) above = true;
    if (!above) continue;
    const Placement& p = b.rect;
    const Placement& q = button.rect;
    const bool overlaps =
        p.x < q.x + q.width && q.x < p.x + p.width && p.y < q.y + q.height && q.y < p.y + p.height;
    if (&b == &button || overlaps) view_.DrawButton(cr, b);
  }
  cairo_destroy(cr);
  Present();
  if (hooks_ && hooks_->buttonRepainted)
    hooks_->buttonRepainted(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
}

void ChooserWindow::Leave() {
  if (!hot_ || hot_ == captured_) return;
  ChooserButton* left = hot_;
  hot_ = nullptr;
  React(*left, left->state.OnMouseLeave());
}

std::optional<int> ChooserWindow::Click(int id) {
  const ChooserAction action = ClassifyChooserCommand(id, view_.entries.size());
  switch (action.command) {
    case ChooserCommand::kMinimize: SDL_MinimizeWindow(window_); break;
    case ChooserCommand::kCancel: return kModalCancel;
    case ChooserCommand::kVersion: {
      const VersionEntry& entry = *view_.entries[action.entryIndex];
      // The loop stops while the program runs: no repaint, no reaction.
      sources_.RunVersionAction(entry);
      if (VersionActionClosesWindow(entry)) return kModalOk;
      break;
    }
    case ChooserCommand::kNothing: break;
  }
  return std::nullopt;
}

int ChooserWindow::Run() {
  Present();
  SDL_Event event;
  while (SDL_WaitEvent(&event)) {
    switch (event.type) {
      case SDL_QUIT: return kModalCancel;
      case SDL_WINDOWEVENT:
        switch (event.window.event) {
          case SDL_WINDOWEVENT_CLOSE: return kModalCancel;
          case SDL_WINDOWEVENT_EXPOSED:
          case SDL_WINDOWEVENT_SHOWN:
          case SDL_WINDOWEVENT_RESTORED: Present(); break;
          case SDL_WINDOWEVENT_LEAVE: Leave(); break;
          default: break;
        }
        break;
      case SDL_MOUSEMOTION: {
        ChooserButton* under = view_.ButtonAt(event.motion.x, event.motion.y);
        ChooserButton* target = captured_ ? captured_ : under;
        if (hot_ != target) Leave();
        hot_ = target;
        if (target) React(*target, target->state.OnMouseMove());
        UpdateCursor(event.motion.x, event.motion.y);
        break;
      }
      case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT) {
          ChooserButton* button = view_.ButtonAt(event.button.x, event.button.y);
          if (!button) break;
          captured_ = button;
          React(*button, button->state.OnLButtonDown(button->strip != nullptr));
        }
        break;
      case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT && captured_) {
          ChooserButton* button = captured_;
          captured_ = nullptr;
          React(*button, button->state.OnLButtonUp(button->strip != nullptr));
          // A click counts when the pointer is still over the button.
          if (view_.ButtonAt(event.button.x, event.button.y) == button)
            if (auto result = Click(button->id)) return *result;
        }
        break;
      case SDL_KEYDOWN:
        // The dialog's standard commands: Esc is Cancel, Enter is OK.
        if (event.key.keysym.sym == SDLK_ESCAPE) return kModalCancel;
        if (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER) return kModalOk;
        break;
      default: break;
    }
  }
  return kModalCancel;
}

}  // namespace

int RunChooserWindow(Platform& os, ChooserSources& sources, const ChooserWindowHooks* hooks) {
  ChooserView view;
  if (!view.Create(os, sources)) return kModalFailed;
  // The frame is composed in memory and copied once: the window system's
  // own framebuffer serves, and starting OpenGL for it would cost more
  // than everything else before the first frame.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    LogMessage(os, L"MSG: OnCreate failed, Initialization window failed, display=%s",
               {Utf8ToWide(SDL_GetError())});
    return kModalFailed;
  }
  // Without a display SDL falls back to its off-screen driver, whose window
  // no player could see or click: the launch would wait for ever.  Such a
  // window counts as one that could not be created, and the game starts.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
    LogMessage(os, L"MSG: OnCreate failed, Initialization window failed, display=%s",
               {Utf8ToWide(std::string("no display, video driver ") + (driver ? driver : "none"))});
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return kModalFailed;
  }
  int result = kModalFailed;
  {
    ChooserWindow window(view, sources, hooks);
    if (window.Open()) result = window.Run();
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return result;
}

}  // namespace kestrel
