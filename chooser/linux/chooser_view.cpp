#include "chooser/linux/chooser_view.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <cstring>

#include "chooser/chooser_ids.h"
#include "core/log.h"
#include "skin/linux/pixel_skin_image.h"
#include "skin/skin_image_names.h"
#include "text/utf.h"

namespace kestrel {

namespace {

constexpr int kLabelPixels = 12;

/// Keeps a decoded image's pixels alive as long as the surface drawn on them.
const cairo_user_data_key_t kPixelsKey{};

/// The image as a cairo ARGB32 surface: over the decoder's own pixels, or a
/// copy of the pixels of any other image.
CairoSurface SurfaceOf(const SkinImagePtr& image) {
  if (!image || image->Width() <= 0 || image->Height() <= 0) return {};
  if (const auto* pixels = dynamic_cast<const PixelSkinImage*>(image.get())) {
    using Words = std::shared_ptr<std::uint32_t[]>;
    auto* keep = new Words(pixels->words());
    CairoSurface surface(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(keep->get()),
                                                             CAIRO_FORMAT_ARGB32, pixels->Width(), pixels->Height(),
                                                             pixels->Width() * 4));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(surface.get(), &kPixelsKey, keep,
                                    [](void* words) { delete static_cast<Words*>(words); }) != CAIRO_STATUS_SUCCESS) {
      delete keep;
      return {};
    }
    return surface;
  }
  const int width = image->Width(), height = image->Height();
  const std::vector<std::uint8_t> pixels = image->PremultipliedBgra();
  if (pixels.size() != static_cast<std::size_t>(width) * height * 4) return {};
  CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return {};
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = pixels.data() + static_cast<std::size_t>(y) * width * 4;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t word = in[x * 4] | (in[x * 4 + 1] << 8) | (in[x * 4 + 2] << 16) |
                                 (static_cast<std::uint32_t>(in[x * 4 + 3]) << 24);
      std::memcpy(data + static_cast<std::size_t>(y) * stride + x * 4, &word, 4);
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

Size SizeOf(const SkinImagePtr& image) { return image ? Size{image->Width(), image->Height()} : Size{}; }

/// Stretches the whole of `image` into `target` with its own alpha (OVER),
/// sampling the nearest pixel.  Nothing for an empty target, as AlphaBlend
/// draws nothing then.
void BlendImage(cairo_t* cr, cairo_surface_t* image, const Placement& target) {
  if (!image || target.width <= 0 || target.height <= 0) return;
  const int width = cairo_image_surface_get_width(image), height = cairo_image_surface_get_height(image);
  cairo_save(cr);
  cairo_rectangle(cr, target.x, target.y, target.width, target.height);
  cairo_clip(cr);
  cairo_translate(cr, target.x, target.y);
  cairo_scale(cr, static_cast<double>(target.width) / width, static_cast<double>(target.height) / height);
  cairo_set_source_surface(cr, image, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_paint(cr);
  cairo_restore(cr);
}

bool FontconfigHas(const char* family) {
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
  const bool found = fonts && fonts->nfont > 0;
  if (fonts) FcFontSetDestroy(fonts);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return found;
}

void DrawLabel(cairo_t* cr, const std::wstring& label, const LabelBand& band) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, LabelFontFamily().c_str());
  pango_font_description_set_absolute_size(font, kLabelPixels * PANGO_SCALE);
  pango_font_description_set_weight(font, PANGO_WEIGHT_NORMAL);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_width(layout, (band.right - band.left) * PANGO_SCALE);
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
  pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
  // A label can hold any character; a zero ends it, as it ends a window text.
  const std::wstring text(label.c_str());
  const std::string utf8 = WideToUtf8(text);
  pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
  cairo_save(cr);
  cairo_rectangle(cr, band.left, band.top, band.right - band.left, band.bottom - band.top);
  cairo_clip(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_move_to(cr, band.left, band.top);
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
  pango_font_description_free(font);
  g_object_unref(layout);
}

}  // namespace

const std::string& LabelFontFamily() {
  static const std::string family = [] {
    for (const char* face : {"宋体", "SimSun", "WenQuanYi Zen Hei", "Noto Sans CJK SC", "Noto Sans CJK"})
      if (FontconfigHas(face)) return std::string(face);
    return std::string("Sans");
  }();
  return family;
}

bool ChooserView::Create(Platform& os, ChooserSources& sources) {
  if (!sources.LoadChooserSkin(skin_)) {
    LogMessage(os, L"MSG: OnCreate failed, Initialization skin failed, code=%d", {LastErrorCode(os)});
    return false;
  }
  ChooserConfig config;
  if (!sources.LoadChooserConfig(config)) {
    LogMessage(os, L"MSG: OnCreate failed, Initialization DlgElement failed, code=%d", {LastErrorCode(os)});
    return false;
  }
  title = std::move(config.title);
  entries = std::move(config.entries);

  client = SizeOf(skin_.backgroundImage);
  const auto small = SystemButtonPlacements(client.width);
  const wchar_t* smallImages[3] = {kMinimizeImageName, kMaximizeImageName, kCloseImageName};
  for (int i = 0; i < 3; ++i) {
    ChooserButton button;
    button.id = kMinimizeButtonId + i;
    button.rect = small[static_cast<std::size_t>(i)];
    button.capture = i < 2 ? kSmallButtonCapture : kCloseButtonCapture;
    buttons.push_back(std::move(button));
  }
  for (int i = 0; i < 3; ++i) {
    buttons[static_cast<std::size_t>(i)].strip = SurfaceOf(sources.LoadSkinImage(smallImages[i]));
  }
  const auto column = VersionButtonPlacements(client, SizeOf(skin_.buttonImage), entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    ChooserButton button;
    button.id = kFirstVersionButtonId + static_cast<int>(i);
    button.rect = column[i];
    button.capture = kVersionButtonCapture;
    button.strip = SurfaceOf(sources.LoadSkinImage(kButtonImageName));
    button.label = entries[i]->caption;
    buttons.push_back(std::move(button));
  }
  for (ChooserButton& button : buttons)
    if (button.strip)
      button.state.SetImageSize(cairo_image_surface_get_width(button.strip.get()),
                                cairo_image_surface_get_height(button.strip.get()));
  return true;
}

void ChooserView::ComposeBackground() {
  background_.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, client.width, client.height));
  cairo_t* cr = cairo_create(background_.get());
  BlendImage(cr, SurfaceOf(skin_.backgroundImage).get(), {0, 0, client.width, client.height});
  std::array<Size, 8> pieces{};
  for (std::size_t k = 0; k < pieces.size(); ++k) pieces[k] = SizeOf(skin_.frameImages[k]);
  const auto frame = FramePiecePlacements(client, pieces);
  for (std::size_t k = 0; k < frame.size(); ++k) BlendImage(cr, SurfaceOf(skin_.frameImages[k]).get(), frame[k]);
  cairo_destroy(cr);
  cairo_surface_flush(background_.get());
  for (ChooserButton& button : buttons) button.state.backgroundCaptured = true;
}

void ChooserView::DrawButton(cairo_t* frame, const ChooserButton& button) const {
  if (!button.strip) return;  // a button without image draws nothing
  const ImageButtonState& s = button.state;
  const int width = s.sliceWidth, height = s.sliceHeight;
  if (width <= 0 || height <= 0) return;
  CairoSurface canvas(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
  cairo_t* cr = cairo_create(canvas.get());
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  if (s.backgroundCaptured && background_) {
    // The capture: what lay under the button, at most `capture` in size;
    // the rest of the canvas stays black, as a fresh bitmap is.
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, button.capture.width, button.capture.height);
    cairo_clip(cr);
    cairo_set_source_surface(cr, background_.get(), -button.rect.x, -button.rect.y);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  }
  cairo_set_source_surface(cr, button.strip.get(), 0, -s.SourceY());
  cairo_rectangle(cr, 0, 0, width, height);
  cairo_fill(cr);
  if (!button.label.empty() && button.label[0] != L'\0') DrawLabel(cr, button.label, LabelBandFor(0, 0, width, height));
  cairo_destroy(cr);
  cairo_surface_flush(canvas.get());

  cairo_save(frame);
  cairo_rectangle(frame, button.rect.x, button.rect.y, button.rect.width, button.rect.height);
  cairo_clip(frame);
  cairo_set_operator(frame, CAIRO_OPERATOR_SOURCE);
  cairo_rectangle(frame, button.rect.x, button.rect.y, width, height);
  cairo_set_source_surface(frame, canvas.get(), button.rect.x, button.rect.y);
  cairo_fill(frame);
  cairo_restore(frame);
}

CairoSurface ChooserView::RenderFrame() const {
  CairoSurface frame(cairo_image_surface_create(CAIRO_FORMAT_RGB24, client.width, client.height));
  cairo_t* cr = cairo_create(frame.get());
  if (background_) {
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, background_.get(), 0, 0);
    cairo_paint(cr);
  }
  for (const ChooserButton& button : buttons) DrawButton(cr, button);
  cairo_destroy(cr);
  cairo_surface_flush(frame.get());
  return frame;
}

ChooserButton* ChooserView::ButtonAt(int x, int y) {
  for (auto it = buttons.rbegin(); it != buttons.rend(); ++it) {
    const Placement& r = it->rect;
    if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) return &*it;
  }
  return nullptr;
}

}  // namespace kestrel
