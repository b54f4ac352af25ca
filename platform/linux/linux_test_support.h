#pragma once
// Shared by the Linux platform's tests: a temporary machine root with a
// platform on it, files written below it, and environment changes that are
// undone when the test ends.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "platform/linux/linux_platform.h"
#include "text/utf.h"

namespace kestrel::testing {

/// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
 public:
  ~ScopedEnv() {
    for (auto& [name, old] : saved_) {
      if (old) setenv(name.c_str(), old->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }
  void Set(const std::string& name, const std::optional<std::string>& value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) setenv(name.c_str(), value->c_str(), 1);
    else unsetenv(name.c_str());
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

class LinuxMachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/kestrel-linux-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    tmp_ = dir;
    // Tests decide themselves whether Wine, xdg-open and the system tool
    // are there.
    env_.Set("KESTREL_WINE", "0");
    env_.Set("KESTREL_SYSTEM_TOOL", std::nullopt);
    env_.Set("PATH", "/usr/bin:/bin");
    os_ = std::make_unique<LinuxPlatform>(MachineRoot(tmp_ + "/root"));
    os_->InitializeFramework();
    base_ = os_->NativePathToWindows(Utf8ToWide(tmp_));
  }
  void TearDown() override {
    os_.reset();
    std::string cmd = "rm -rf '" + tmp_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  std::string Path(const std::string& relative) const { return tmp_ + "/" + relative; }
  std::wstring Win(const std::string& relative) const {
    std::wstring rel = Utf8ToWide(relative);
    for (wchar_t& c : rel)
      if (c == L'/') c = L'\\';
    return base_ + L"\\" + rel;
  }
  void MakeDir(const std::string& relative) const {
    std::string cmd = "mkdir -p '" + Path(relative) + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  void Write(const std::string& relative, const std::string& bytes, mode_t mode = 0644) const {
    std::ofstream(Path(relative), std::ios::binary) << bytes;
    chmod(Path(relative).c_str(), mode);
  }
  /// A stand-in program: appends its arguments (one "arg=" line each), its
  /// working directory, its session, the machine root it was given and a
  /// "done" line to `record`, then exits with `exitCode`.
  void WriteRecorder(const std::string& relative, const std::string& record, int exitCode = 0) const {
    Write(relative,
          "#!/bin/sh\n{ echo \"program=$(basename \"$0\")\"; for a in \"$@\"; do printf 'arg=%s\\n' \"$a\"; done;"
          " echo \"cwd=$(pwd)\"; echo \"sid=$(ps -o sid= -p $$ | tr -d ' ')\"; echo \"root=$KESTREL_ROOT\";"
          " echo \"wineprefix=$WINEPREFIX\"; echo done; } >> '" + Path(record) + "'\nexit " +
              std::to_string(exitCode) + "\n",
          0755);
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  /// Waits for a detached program to write its "done" line.
  std::string WaitFor(const std::string& relative) const {
    for (int i = 0; i < 500; ++i) {
      std::string text = Read(Path(relative));
      if (text.find("done\n") != std::string::npos) return text;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Read(Path(relative));
  }

  ScopedEnv env_;
  std::string tmp_;
  std::wstring base_;
  std::unique_ptr<LinuxPlatform> os_;
};

}  // namespace kestrel::testing
