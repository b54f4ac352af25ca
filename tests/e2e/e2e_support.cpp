#include "tests/e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
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

int TempMachine::Run(const std::string& program, const std::vector<std::string>& args) const {
  const char* plan = std::getenv("KESTREL_E2E_PLAN");
  std::string stem = Utf8(FsPath(program).stem());
  if (plan && *plan && stem == "KestrelEx" && !holdingMutex_) return RunCheckedLaunch(program, args);
  return RunProgram(program, args);
}

namespace {

/// The plan steps of KestrelCheck's JSON output, or of a recorded launch's
/// journal (one step a line), without their notes (explanations for
/// people, which a recorded launch need not repeat).
std::vector<std::string> PlanSteps(const std::string& text) {
  std::vector<std::string> steps;
  for (std::string line : Lines(text)) {
    if (!line.starts_with("{\"step\":")) continue;
    std::size_t notes = line.find(",\"notes\":");
    steps.push_back(line.substr(0, notes));
  }
  return steps;
}

}  // namespace

int TempMachine::RunCheckedLaunch(const std::string& program, const std::vector<std::string>& args) const {
  // The launcher under test either lies in the machine (a copy installed
  // there, which reads the Config.ini beside it) or in the build; the
  // checker and the recording launcher take its place and name for the run.
  fs::path launcher = FsPath(program);
  const bool installed = Utf8(launcher).rfind(dir_, 0) == 0;
  fs::path folder = installed ? launcher.parent_path() : FsPath(dir_ + ".plan");
  fs::create_directories(folder);
  const std::string saved = installed ? ReadFile(program) : std::string();
  const std::string checker = Utf8(folder / FsPath(ProgramFile("KestrelCheck")));
  const std::string recorded = Utf8(folder / FsPath(ProgramFile("KestrelEx")));
  fs::copy_file(FsPath(KESTREL_CHECK_EXE), FsPath(checker), fs::copy_options::overwrite_existing);
  fs::copy_file(FsPath(KESTREL_RECORDED_LAUNCH), FsPath(recorded), fs::copy_options::overwrite_existing);
  // What the build's launcher finds beside itself: the system tool and the
  // chooser's window module on Linux.
  if (!installed) {
    for (const char* name : {"kestrel-system", "libkestrel-chooser.so"}) {
      fs::path companion = launcher.parent_path() / name;
      if (!fs::exists(companion)) continue;
      fs::copy_file(companion, folder / name, fs::copy_options::overwrite_existing);
    }
  }

  const std::string planFile = dir_ + ".plan.json";
  const std::string effects = log() + ".effects";
  std::vector<std::string> checkArgs = args.empty() ? std::vector<std::string>{Utf8(folder)} : args;
  checkArgs.push_back("--json");
  LayOutMachine();
  const std::map<std::string, std::string> before = ReadTree(dir_);
  int checked = RunProgram(checker, checkArgs, planFile);
  EXPECT_TRUE(checked >= 0 && checked <= 2) << "KestrelCheck ended with " << checked;
  const std::map<std::string, std::string> after = ReadTree(dir_);
  for (const auto& [name, bytes] : after) {
    auto was = before.find(name);
    EXPECT_TRUE(was != before.end() && was->second == bytes) << "KestrelCheck changed the machine: " << name;
  }
  for (const auto& [name, bytes] : before) EXPECT_TRUE(after.contains(name)) << "KestrelCheck removed " << name;

  int rc = RunProgram(recorded, args);
  std::vector<std::string> planned = PlanSteps(ReadFile(planFile));
  std::vector<std::string> done = PlanSteps(ReadFile(effects));
  EXPECT_FALSE(done.empty()) << "the recording launcher wrote no journal";
  // The first step where they part says most; the whole lists follow.
  std::size_t same = 0;
  while (same < planned.size() && same < done.size() && planned[same] == done[same]) ++same;
  if ((same < planned.size() || same < done.size()) && planDiffersBecause_.empty())
    ADD_FAILURE() << "the plan differs from what the launch did from step " << same + 1 << ":\n  planned: "
                  << (same < planned.size() ? planned[same] : "(nothing)")
                  << "\n  done:    " << (same < done.size() ? done[same] : "(nothing)");

  fs::remove(FsPath(planFile));
  fs::remove(FsPath(effects));
  fs::remove(FsPath(checker));
  if (installed) {
    std::ofstream(launcher, std::ios::binary) << saved;
  } else {
    fs::remove_all(folder);
  }
  return rc;
}

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
