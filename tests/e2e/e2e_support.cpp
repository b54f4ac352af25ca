#include "tests/e2e/e2e_support.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "kestrel_version.h"
#include "text/utf.h"

namespace kestrel::e2e {

namespace fs = std::filesystem;

namespace {

// Paths are UTF-8 strings in the tests.  Windows' own paths are UTF-16, and
// MinGW's runtime turns char8_t paths into the ANSI code page on the way,
// so there the conversion is the project's own.
fs::path FsPath(const std::string& utf8) {
  if constexpr (sizeof(wchar_t) == 2) return fs::path(Utf8ToWide(utf8));
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}
std::string Utf8(const fs::path& path) {
  if constexpr (sizeof(wchar_t) == 2) return WideToUtf8(path.wstring());
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

std::string ReadFile(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::map<std::string, std::string> ReadTree(const std::string& path) {
  std::map<std::string, std::string> tree;
  fs::path root = FsPath(path);
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    std::string relative = Utf8(it->path().lexically_relative(root));
    for (char& c : relative)
      if (c == '\\') c = '/';
    if (it->is_directory() && !it->is_symlink())
      tree[relative + "/"] = "";
    else
      tree[relative] = ReadFile(Utf8(it->path()));
  }
  return tree;
}

TempMachine::TempMachine() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() / ("kestrel-e2e-" + std::to_string(random() % 100000000));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      dir_ = Utf8(candidate);
      return;
    }
  }
  throw std::runtime_error("no temporary folder");
}

TempMachine::~TempMachine() {
  for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) (*undo)();
  std::error_code ec;
  fs::remove_all(FsPath(dir_), ec);
}

void TempMachine::RemoveWhenDone(const std::string& path) {
  undo_.push_back([path] {
    std::error_code ec;
    fs::remove_all(FsPath(path), ec);
  });
}

std::string UniqueName(const std::string& stem, const std::string& extension) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  std::string digits = std::to_string(random() % 100000000);
  return stem + std::string(8 - digits.size(), '0') + digits + extension;
}

std::string TempMachine::Host(const std::string& relative) const {
  return Utf8((FsPath(dir_) / FsPath(relative)).make_preferred());
}

void TempMachine::MakeDir(const std::string& relative) const {
  fs::create_directories(FsPath(Host(relative)));
}

void TempMachine::Write(const std::string& relative, const std::string& bytes) const {
  std::ofstream(FsPath(Host(relative)), std::ios::binary) << bytes;
}

std::string VersionLogLine() { return std::string("MSG: KestrelEx version=") + kKestrelVersion; }

std::vector<std::string> TempMachine::LogLines() const {
  std::vector<std::string> lines = Lines(ReadFile(log()));
  if (!lines.empty()) {
    EXPECT_EQ(lines.front(), VersionLogLine()) << "a launcher's log begins with its version";
  }
  std::erase(lines, VersionLogLine());
  return lines;
}

std::vector<std::string> TempMachine::WaitForRecord(int count) const {
  for (int i = 0; i < 1000; ++i) {
    std::string text = ReadFile(record());
    int done = 0;
    for (const std::string& line : Lines(text)) done += line == "done";
    if (done >= count) return Lines(text);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Lines(ReadFile(record()));
}

}  // namespace kestrel::e2e
