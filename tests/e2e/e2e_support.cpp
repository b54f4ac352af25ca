#include "tests/e2e/e2e_support.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "util/utf.h"

namespace kestrel::e2e {

namespace fs = std::filesystem;

namespace {

// Paths are UTF-8 on both builds; std::filesystem takes them as such only
// through char8_t.
fs::path FsPath(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
std::string Utf8(const fs::path& path) {
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
  std::error_code ec;
  fs::remove_all(FsPath(dir_), ec);
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

void TempMachine::Install(const std::string& program, const std::string& relative) const {
  fs::path target = FsPath(Host(relative));
  fs::copy_file(FsPath(program), target, fs::copy_options::overwrite_existing);
  fs::permissions(target, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
}

std::vector<std::string> TempMachine::LogLines() const { return Lines(ReadFile(log())); }

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
