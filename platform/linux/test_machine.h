#pragma once
// A Linux machine model in a temporary folder for platform tests: the
// machine root lives in <tmp>/root, and <tmp> itself is reached through
// drive Z: as base().

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/linux/linux_platform.h"
#include "text/utf.h"

namespace kestrel {

class TestMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/kestrel-machine-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    tmp_ = dir;
    os_ = std::make_unique<LinuxPlatform>(MachineRoot(tmp_ + "/root"));
    os_->InitializeFramework();
    base_ = os_->NativePathToWindows(Utf8ToWide(tmp_));
  }
  void TearDown() override {
    os_.reset();
    std::string cmd = "chmod -R u+w '" + tmp_ + "' && rm -rf '" + tmp_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  void Write(const std::string& relative, const std::string& bytes, mode_t mode = 0644) {
    std::string path = tmp_ + "/" + relative;
    std::ofstream(path, std::ios::binary) << bytes;
    chmod(path.c_str(), mode);
  }
  void MakeDir(const std::string& relative) {
    std::string cmd = "mkdir -p '" + tmp_ + "/" + relative + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  std::string Read(const std::string& relative) {
    std::ifstream in(tmp_ + "/" + relative, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool Exists(const std::string& relative) {
    struct stat st;
    return lstat((tmp_ + "/" + relative).c_str(), &st) == 0;
  }
  /// The Windows path of a file below the temporary folder.
  std::wstring W(const std::wstring& relative) { return relative.empty() ? base_ : base_ + L"\\" + relative; }

  std::string tmp_;
  std::wstring base_;
  std::unique_ptr<LinuxPlatform> os_;
};

}  // namespace kestrel
