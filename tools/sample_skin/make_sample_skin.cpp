// Draws the sample skin, thirteen images of our own with real alpha
// (rounded corners, soft shadows, translucent frame pieces), and packs them
// into a skin archive with the names stored in GBK, as operators' archives
// hold them.  The archive in examples/ is made with it:
//   kestrel_sample_skin examples/SampleGame/GamePatch/res.dat

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "platform/linux/ansi_code_page.h"
#include "skin/skin_image_names.h"
#include "tests/support/zip_builder.h"

namespace {

using Painter = std::function<void(cairo_t*)>;

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

/// Three passes of a box blur over an A8 surface: close to a Gaussian.
void BlurAlpha(cairo_surface_t* mask, int radius) {
  cairo_surface_flush(mask);
  const int w = cairo_image_surface_get_width(mask), h = cairo_image_surface_get_height(mask);
  const int stride = cairo_image_surface_get_stride(mask);
  unsigned char* data = cairo_image_surface_get_data(mask);
  std::vector<int> line;
  auto pass = [&](bool horizontal) {
    const int count = horizontal ? h : w, length = horizontal ? w : h;
    for (int i = 0; i < count; ++i) {
      auto at = [&](int k) -> unsigned char& { return horizontal ? data[i * stride + k] : data[k * stride + i]; };
      line.assign(length, 0);
      for (int k = 0; k < length; ++k) line[k] = at(k);
      for (int k = 0; k < length; ++k) {
        int sum = 0;
        for (int d = -radius; d <= radius; ++d) sum += line[std::clamp(k + d, 0, length - 1)];
        at(k) = static_cast<unsigned char>(sum / (2 * radius + 1));
      }
    }
  };
  for (int i = 0; i < 3; ++i) {
    pass(true);
    pass(false);
  }
  cairo_surface_mark_dirty(mask);
}

/// A soft shadow of the path `shape` draws, offset by (dx, dy).
void SoftShadow(cairo_t* cr, int width, int height, const Painter& shape, double dx, double dy, int radius,
                double alpha) {
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
  cairo_t* m = cairo_create(mask);
  cairo_translate(m, dx, dy);
  shape(m);
  cairo_set_source_rgba(m, 0, 0, 0, 1);
  cairo_fill(m);
  cairo_destroy(m);
  BlurAlpha(mask, radius);
  cairo_set_source_rgba(cr, 0.02, 0.05, 0.1, alpha);
  cairo_mask_surface(cr, mask, 0, 0);
  cairo_surface_destroy(mask);
}

std::string Png(int width, int height, const Painter& paint) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  paint(cr);
  cairo_destroy(cr);
  std::string bytes;
  cairo_surface_write_to_png_stream(
      surface,
      [](void* closure, const unsigned char* data, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
      },
      &bytes);
  cairo_surface_destroy(surface);
  return bytes;
}

constexpr int kWidth = 480, kHeight = 320, kRadius = 6;
constexpr int kTop = 34, kSide = 6, kBottom = 10, kCorner = 16, kEdge = 8;

std::string Background() {
  return Png(kWidth, kHeight, [](cairo_t* cr) {
    RoundedRect(cr, 0, 0, kWidth, kHeight, kRadius);
    cairo_clip(cr);
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, kHeight);
    cairo_pattern_add_color_stop_rgb(sky, 0, 0.13, 0.27, 0.40);
    cairo_pattern_add_color_stop_rgb(sky, 1, 0.05, 0.11, 0.18);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);
    // A wing-like sweep of light across the upper left.
    cairo_pattern_t* sheen = cairo_pattern_create_radial(90, 40, 10, 90, 40, 300);
    cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, 0.16);
    cairo_pattern_add_color_stop_rgba(sheen, 1, 1, 1, 1, 0);
    cairo_set_source(cr, sheen);
    cairo_move_to(cr, 0, 60);
    cairo_curve_to(cr, 160, 10, 320, 120, kWidth, 70);
    cairo_line_to(cr, kWidth, 0);
    cairo_line_to(cr, 0, 0);
    cairo_fill(cr);
    cairo_pattern_destroy(sheen);
    // The panel the version buttons stand on, lifted by a soft shadow.
    auto panel = [](cairo_t* c) { RoundedRect(c, 120, 58, 240, 212, 12); };
    SoftShadow(cr, kWidth, kHeight, panel, 0, 4, 5, 0.55);
    panel(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  });
}

/// The frame's title band: `left`/`right` say which corners it rounds.
std::string TitlePiece(int width, bool left, bool right) {
  return Png(width, kTop, [=](cairo_t* cr) {
    RoundedRect(cr, left ? 0 : -kRadius * 2, 0, width + (left ? 0 : kRadius * 2) + (right ? 0 : kRadius * 2), kTop * 2,
                kRadius);
    cairo_clip(cr);
    cairo_pattern_t* band = cairo_pattern_create_linear(0, 0, 0, kTop);
    cairo_pattern_add_color_stop_rgba(band, 0, 0.0, 0.02, 0.05, 0.55);
    cairo_pattern_add_color_stop_rgba(band, 1, 0.0, 0.02, 0.05, 0.25);
    cairo_set_source(cr, band);
    cairo_paint(cr);
    cairo_pattern_destroy(band);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.22);
    cairo_rectangle(cr, 0, kTop - 1, width, 1);
    cairo_fill(cr);
    if (left) {  // a small emblem: two crossing wings
      cairo_set_source_rgba(cr, 0.55, 0.82, 1.0, 0.9);
      cairo_move_to(cr, 4, 21);
      cairo_line_to(cr, 9, 11);
      cairo_line_to(cr, 14, 21);
      cairo_line_to(cr, 9, 17);
      cairo_close_path(cr);
      cairo_fill(cr);
    }
  });
}

std::string SidePiece(bool left) {
  return Png(kSide, kEdge, [=](cairo_t* cr) {
    cairo_pattern_t* glow = cairo_pattern_create_linear(left ? 0 : kSide, 0, left ? kSide : 0, 0);
    cairo_pattern_add_color_stop_rgba(glow, 0, 1, 1, 1, 0.22);
    cairo_pattern_add_color_stop_rgba(glow, 0.2, 1, 1, 1, 0.08);
    cairo_pattern_add_color_stop_rgba(glow, 1, 1, 1, 1, 0);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);
  });
}

std::string BottomPiece(int width, bool left, bool right) {
  return Png(width, kBottom, [=](cairo_t* cr) {
    RoundedRect(cr, left ? 0 : -kRadius * 2, -kBottom, width + (left ? 0 : kRadius * 2) + (right ? 0 : kRadius * 2),
                kBottom * 2, kRadius);
    cairo_clip(cr);
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, 0, 0, kBottom);
    cairo_pattern_add_color_stop_rgba(shade, 0, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(shade, 1, 0, 0, 0, 0.45);
    cairo_set_source(cr, shade);
    cairo_paint(cr);
    cairo_pattern_destroy(shade);
  });
}

/// The version buttons' face: normal, hover and pressed, 200 x 40 each.
std::string VersionFace() {
  constexpr int w = 200, h = 40;
  return Png(w, h * 3, [](cairo_t* cr) {
    for (int state = 0; state < 3; ++state) {
      cairo_save(cr);
      cairo_translate(cr, 0, state * h);
      cairo_rectangle(cr, 0, 0, w, h);
      cairo_clip(cr);
      const double drop = state == 2 ? 1 : 0;
      auto body = [drop](cairo_t* c) { RoundedRect(c, 5, 4 + drop, w - 10, h - 11, 9); };
      SoftShadow(cr, w, h, body, 0, state == 2 ? 1 : 3, state == 2 ? 1 : 2, 0.6);
      const double top[3][3] = {{0.93, 0.95, 0.98}, {1.0, 1.0, 1.0}, {0.74, 0.80, 0.86}};
      const double bottom[3][3] = {{0.76, 0.83, 0.90}, {0.84, 0.91, 0.98}, {0.86, 0.90, 0.94}};
      cairo_pattern_t* fill = cairo_pattern_create_linear(0, 4, 0, h - 7);
      cairo_pattern_add_color_stop_rgb(fill, 0, top[state][0], top[state][1], top[state][2]);
      cairo_pattern_add_color_stop_rgb(fill, 1, bottom[state][0], bottom[state][1], bottom[state][2]);
      body(cr);
      cairo_set_source(cr, fill);
      cairo_fill_preserve(cr);
      cairo_pattern_destroy(fill);
      if (state == 1) cairo_set_source_rgba(cr, 0.35, 0.7, 1.0, 0.95);
      else cairo_set_source_rgba(cr, 0.08, 0.16, 0.25, 0.7);
      cairo_set_line_width(cr, state == 1 ? 1.5 : 1);
      cairo_stroke(cr);
      cairo_restore(cr);
    }
  });
}

enum class Glyph { kMinimize, kMaximize, kClose };

/// A system button's face: normal, hover and pressed, each `w` x 23.
std::string SystemFace(int w, Glyph glyph) {
  constexpr int h = 23;
  return Png(w, h * 3, [=](cairo_t* cr) {
    for (int state = 0; state < 3; ++state) {
      cairo_save(cr);
      cairo_translate(cr, 0, state * h);
      if (state > 0) {
        RoundedRect(cr, 1, 1, w - 2, h - 2, 4);
        if (glyph == Glyph::kClose) cairo_set_source_rgba(cr, 0.85, 0.1, 0.14, state == 1 ? 0.9 : 0.7);
        else cairo_set_source_rgba(cr, 1, 1, 1, state == 1 ? 0.2 : 0.1);
        cairo_fill(cr);
      }
      const double cx = w / 2.0, cy = h / 2.0 + (state == 2 ? 1 : 0);
      auto draw = [&](cairo_t* c) {
        cairo_set_line_width(c, 1.6);
        switch (glyph) {
          case Glyph::kMinimize:
            cairo_move_to(c, cx - 5, cy + 3);
            cairo_line_to(c, cx + 5, cy + 3);
            break;
          case Glyph::kMaximize:
            cairo_rectangle(c, cx - 5, cy - 5, 10, 9);
            break;
          case Glyph::kClose:
            cairo_move_to(c, cx - 4.5, cy - 4.5);
            cairo_line_to(c, cx + 4.5, cy + 4.5);
            cairo_move_to(c, cx + 4.5, cy - 4.5);
            cairo_line_to(c, cx - 4.5, cy + 4.5);
            break;
        }
      };
      // The glyph's own soft shadow, then the glyph.
      SoftShadow(cr, w, h, [&](cairo_t* c) {
        draw(c);
        cairo_set_line_width(c, 3);
        cairo_stroke(c);
      }, 0, 1, 1, 0.5);
      draw(cr);
      cairo_set_source_rgba(cr, 1, 1, 1, state == 0 ? 0.85 : 1);
      cairo_stroke(cr);
      cairo_restore(cr);
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: kestrel_sample_skin OUT/res.dat\n";
    return 2;
  }
  const std::string images[13] = {
      TitlePiece(kCorner, true, false), TitlePiece(kEdge, false, false), TitlePiece(kCorner, false, true),
      SidePiece(true),                  SidePiece(false),                BottomPiece(kCorner, true, false),
      BottomPiece(kEdge, false, false), BottomPiece(kCorner, false, true), Background(),
      VersionFace(),                    SystemFace(31, Glyph::kMinimize), SystemFace(31, Glyph::kMaximize),
      SystemFace(42, Glyph::kClose),
  };
  // Names in GBK, whatever this machine's code page: skin makers' machines
  // are Chinese, and the launcher looks names up in GBK.
  const kestrel::AnsiCodePage gbk("GBK");
  kestrel::testing::ZipBuilder zip;
  // Stored, not deflated: a PNG is compressed already, and a deflated entry
  // costs the launcher a second inflate for nothing.
  for (int i = 0; i < 13; ++i) zip.Add(gbk.FromWide(kestrel::kSkinImageNames[i]), images[i], 0);
  std::ofstream out(argv[1], std::ios::binary);
  out << zip.Build();
  if (!out.flush()) {
    std::cerr << "kestrel_sample_skin: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
