// The chooser's skin loading against libpng on the same pictures, side by
// side in one run, alternating:
//   - ours: open a 1 MB res.dat (read whole) and load its thirteen images
//     with LoadSkinImage, as the chooser and its buttons do, once with the
//     entries deflated (zip's default, a second inflate over the PNGs' own)
//     and once with them stored;
//   - libpng: read the same thirteen PNG files and decode each with
//     libpng's own simplified API into BGRA.
//
//   build/bin/kestrel_skin_image_bench [runs]
//
// Prints the medians (and the fastest runs, steadier on a busy machine),
// the ratio ours/libpng, the archive's own share of ours, and the launcher path's peak
// heap while loading, beside the decoded pixels plus the largest
// compressed image (what it should stay within; the archive itself is held
// for the process's life and not counted).

#include <malloc.h>
#include <time.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/linux/ansi_code_page.h"
#include "platform/linux/linux_platform.h"
#include "skin/skin_image_loader.h"
#include "skin/skin_image_names.h"
#include "tests/support/png_builder.h"
#include "tests/support/zip_builder.h"
#include "text/utf.h"

// Heap accounting: every malloc of the process (libpng's, cairo's and the
// launcher's) goes through these.
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);
namespace {
std::atomic<long long> gHeap{0}, gPeak{0};
void Account(long long delta) {
  long long now = gHeap += delta;
  long long peak = gPeak.load();
  while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
  }
}
}  // namespace
extern "C" void* malloc(size_t n) {
  void* p = __libc_malloc(n);
  if (p) Account(static_cast<long long>(malloc_usable_size(p)));
  return p;
}
extern "C" void* calloc(size_t n, size_t m) {
  void* p = __libc_calloc(n, m);
  if (p) Account(static_cast<long long>(malloc_usable_size(p)));
  return p;
}
extern "C" void* realloc(void* old, size_t n) {
  long long before = old ? static_cast<long long>(malloc_usable_size(old)) : 0;
  void* p = __libc_realloc(old, n);
  if (p) Account(static_cast<long long>(malloc_usable_size(p)) - before);
  else if (n == 0) Account(-before);
  return p;
}
extern "C" void free(void* p) {
  if (p) Account(-static_cast<long long>(malloc_usable_size(p)));
  __libc_free(p);
}

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

/// This thread's processor time in ms: on a busy machine it shows the work
/// without the waits for a core.
double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

/// A skin picture that compresses like a photograph-based one: soft
/// gradients under fine noise, with an alpha edge.
std::string Picture(int width, int height, std::uint32_t seed) {
  std::mt19937 random(seed);
  return kestrel::testing::MakePng(width, height, [&](int x, int y) {
    const auto noise = static_cast<std::uint8_t>(random() & 0x7f);
    const std::uint8_t a = (x < 3 || y < 3 || x >= width - 3 || y >= height - 3) ? 96 : 255;
    return kestrel::testing::Rgba(static_cast<std::uint8_t>(x * 255 / width) ^ noise,
                                  static_cast<std::uint8_t>(y * 255 / height) + noise, 120 + (noise >> 1), a);
  });
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  char dir[] = "/tmp/kestrel-skin-bench-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const std::string root = dir;

  // Thirteen pictures of the chooser's shapes, about 1 MB together.
  const int sizes[13][2] = {{16, 34}, {8, 34},    {16, 34},  {6, 8},   {6, 8},   {16, 10}, {8, 10},
                            {16, 10}, {720, 480}, {200, 120}, {31, 69}, {31, 69}, {42, 69}};
  kestrel::testing::ZipBuilder zip, storedZip;
  std::vector<std::string> files;
  std::size_t pixels = 0, largest = 0;
  for (int i = 0; i < 13; ++i) {
    const std::string png = Picture(sizes[i][0], sizes[i][1], static_cast<std::uint32_t>(i + 1));
    const std::string name = kestrel::AnsiCodePage("GBK").FromWide(kestrel::kSkinImageNames[i]);
    zip.Add(name, png, 8);
    storedZip.Add(name, png, 0);
    files.push_back(root + "/" + std::to_string(i) + ".png");
    std::ofstream(files.back(), std::ios::binary) << png;
    pixels += static_cast<std::size_t>(sizes[i][0]) * sizes[i][1] * 4;
    largest = std::max(largest, png.size());
  }
  const std::string archive = zip.Build();
  std::ofstream(root + "/res.dat", std::ios::binary) << archive;
  std::ofstream(root + "/stored.dat", std::ios::binary) << storedZip.Build();

  kestrel::LinuxPlatform os(kestrel::MachineRoot(root + "/machine"));
  const std::wstring path = os.NativePathToWindows(kestrel::Utf8ToWide(root + "/res.dat"));
  const std::wstring storedPath = os.NativePathToWindows(kestrel::Utf8ToWide(root + "/stored.dat"));
  std::vector<double> ours, direct, extraction, stored, oursCpu, directCpu, storedCpu;
  long long peakOverArchive = 0;
  for (int run = 0; run < runs; ++run) {
    {
      // The same images in an archive that stores them: no second inflate.
      auto start = Clock::now();
      const double cpu = CpuMs();
      if (!kestrel::OpenSkinArchive(os, storedPath)) return 1;
      for (const wchar_t* name : kestrel::kSkinImageNames)
        if (!kestrel::LoadSkinImage(os, name)) return 1;
      kestrel::CloseSkinArchive();
      stored.push_back(Ms(start, Clock::now()));
      storedCpu.push_back(CpuMs() - cpu);
    }
    {
      auto start = Clock::now();
      const double cpu = CpuMs();
      if (!kestrel::OpenSkinArchive(os, path)) return 1;
      const long long base = gHeap.load();
      gPeak = base;
      std::vector<kestrel::SkinImagePtr> images;
      for (const wchar_t* name : kestrel::kSkinImageNames) images.push_back(kestrel::LoadSkinImage(os, name));
      ours.push_back(Ms(start, Clock::now()));
      oursCpu.push_back(CpuMs() - cpu);
      peakOverArchive = std::max(peakOverArchive, gPeak.load() - base);
      for (const auto& image : images)
        if (!image) return 1;
      images.clear();
      kestrel::CloseSkinArchive();
    }
    {
      // The archive's share: read, open, find and inflate the thirteen entries.
      auto start = Clock::now();
      if (!kestrel::OpenSkinArchive(os, path)) return 1;
      const kestrel::ArchiveHandle handle = kestrel::TheSkinArchive().handle();
      for (const wchar_t* name : kestrel::kSkinImageNames) {
        int index = -1;
        kestrel::ZipEntryInfo info;
        if (kestrel::FindArchiveItem(handle, name, &index, &info) != kestrel::ResultOk) return 1;
        std::vector<std::uint8_t> bytes(info.uncompressedSize);
        kestrel::UnzipArchiveItem(handle, index, bytes.data(), info.uncompressedSize);
      }
      kestrel::CloseSkinArchive();
      extraction.push_back(Ms(start, Clock::now()));
    }
    {
      auto start = Clock::now();
      const double cpu = CpuMs();
      std::vector<std::vector<png_byte>> decoded;
      for (const std::string& file : files) {
        const std::string bytes = ReadFile(file);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return 1;
        image.format = PNG_FORMAT_BGRA;
        decoded.emplace_back(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, decoded.back().data(), 0, nullptr)) return 1;
      }
      direct.push_back(Ms(start, Clock::now()));
      directCpu.push_back(CpuMs() - cpu);
    }
  }
  const double o = Median(ours), d = Median(direct), x = Median(extraction), st = Median(stored);
  const double stMin = *std::min_element(stored.begin(), stored.end());
  const double oMin = *std::min_element(ours.begin(), ours.end());
  const double dMin = *std::min_element(direct.begin(), direct.end());
  std::printf("skin archive of %.2f MB, 13 images, %zu bytes of pixels; median of %d runs\n",
              archive.size() / 1048576.0, pixels, runs);
  std::printf("  ours (open res.dat, LoadSkinImage x 13):  %7.2f ms\n", o);
  std::printf("  libpng directly (13 files, BGRA):         %7.2f ms\n", d);
  std::printf("  ratio ours/libpng:                        %7.2f  (fastest runs: %.2f ms / %.2f ms = %.2f)\n", o / d,
              oMin, dMin, oMin / dMin);
  std::printf("  of ours, reading and inflating res.dat:   %7.2f ms\n", x);
  std::printf("  ours, the entries stored (not deflated):  %7.2f ms  ratio %.2f  (fastest %.2f ms, ratio %.2f)\n", st,
              st / d, stMin, stMin / dMin);
  std::printf("  processor time, medians: ours %.2f ms, stored %.2f ms, libpng %.2f ms; ratios %.2f and %.2f\n",
              Median(oursCpu), Median(storedCpu), Median(directCpu), Median(oursCpu) / Median(directCpu),
              Median(storedCpu) / Median(directCpu));
  std::printf("  peak heap while loading: %lld bytes; decoded pixels plus the largest compressed image: %zu bytes\n",
              peakOverArchive, pixels + largest);
  std::string cleanup = "rm -rf '" + root + "'";
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
