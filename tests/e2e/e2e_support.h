#pragma once
// A temporary machine for end-to-end runs of the real launcher: its own
// KESTREL_ROOT, log file and record file, removed afterwards.

#include <string>
#include <vector>

namespace kestrel::e2e {

class TempMachine {
 public:
  TempMachine();
  ~TempMachine();

  const std::string& dir() const { return dir_; }
  std::string log() const { return dir_ + "/kestrel.log"; }
  std::string record() const { return dir_ + "/record.txt"; }
  /// The Windows form of a path below dir() (through drive Z:).
  std::wstring Windows(const std::string& relative) const;

  void MakeDir(const std::string& relative) const;
  void Write(const std::string& relative, const std::string& bytes) const;
  /// Copies a program below dir(), executable.
  void Install(const std::string& program, const std::string& relative) const;

  /// Runs `program` with `args` and this machine's environment, waits for
  /// it, and returns its exit code.
  int Run(const std::string& program, const std::vector<std::string>& args) const;
  /// The lines of the launcher's log.
  std::vector<std::string> LogLines() const;
  /// The record of started programs, once `count` of them have finished
  /// (detached programs may still be running when the launcher ends).
  std::vector<std::string> WaitForRecord(int count = 1) const;

 private:
  std::string dir_;
};

std::string ReadFile(const std::string& path);

}  // namespace kestrel::e2e
