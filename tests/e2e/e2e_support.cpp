#include "tests/e2e/e2e_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "util/utf.h"

extern char** environ;

namespace kestrel::e2e {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

namespace {
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
}  // namespace

TempMachine::TempMachine() {
  char dir[] = "/tmp/kestrel-e2e-XXXXXX";
  if (!mkdtemp(dir)) throw std::runtime_error("mkdtemp failed");
  dir_ = dir;
}

TempMachine::~TempMachine() {
  std::string cmd = "rm -rf '" + dir_ + "'";
  (void)!std::system(cmd.c_str());
}

std::wstring TempMachine::Windows(const std::string& relative) const {
  std::wstring path = L"Z:" + Utf8ToWide(dir_ + (relative.empty() ? "" : "/" + relative));
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

void TempMachine::MakeDir(const std::string& relative) const {
  std::string cmd = "mkdir -p '" + dir_ + "/" + relative + "'";
  if (std::system(cmd.c_str()) != 0) throw std::runtime_error("mkdir failed");
}

void TempMachine::Write(const std::string& relative, const std::string& bytes) const {
  std::ofstream(dir_ + "/" + relative, std::ios::binary) << bytes;
}

void TempMachine::Install(const std::string& program, const std::string& relative) const {
  std::string target = dir_ + "/" + relative;
  std::ofstream(target, std::ios::binary) << ReadFile(program);
  chmod(target.c_str(), 0755);
}

int TempMachine::Run(const std::string& program, const std::vector<std::string>& args) const {
  std::vector<std::string> env{"KESTREL_ROOT=" + dir_ + "/root", "KESTREL_LOG=" + log(), "KESTREL_RECORD=" + record()};
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    if (entry.rfind("KESTREL_", 0) != 0) env.push_back(entry);
  }
  std::vector<char*> envp, argv{const_cast<char*>(program.c_str())};
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;  // the launcher's own stderr lines are not the test's
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
