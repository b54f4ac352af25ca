#pragma once
// A temporary machine for end-to-end runs of the real launcher: its own
// folder, log file and record file, removed afterwards.  The same tests run
// on both builds: on Linux the launcher sees the folder through drive Z: of
// its machine model; on Windows (and under Wine) the folder is a Windows
// folder below the temporary directory.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kestrel::e2e {

/// The line each launch logs first: "MSG: KestrelEx version=x.y.z".
std::string VersionLogLine();
/// A program's file name on this build: "KestrelEx" or "KestrelEx.exe".
std::string ProgramFile(const std::string& stem);
/// A program of the build, found beside the test program itself.
std::string ProgramBesideTests(const std::string& stem);
/// The name a started program sees as its own (its argv[0]) when it was
/// started by a name in another case than the disk's: on Windows the name
/// as the starter wrote it; on Linux the name on disk, since the machine
/// model must hand the real file's path to the kernel.
std::string StartedName(const std::string& asWritten, const std::string& onDisk);
/// Whether a profile file in UTF-8 without a byte-order mark reads as
/// UTF-8.  Windows reads such a file in the ANSI code page; the Linux
/// machine model takes well-formed UTF-8 as UTF-8.
bool ProfilesReadBomlessUtf8();

/// A name no other program on this machine carries: `stem`, random digits
/// and `extension` ("kx48213377.exe").  Tests that let the launcher end
/// processes by name run them under such a name only.
std::string UniqueName(const std::string& stem, const std::string& extension);

/// A program a test started itself.  It is the only kind of program a test
/// ever ends: by its own id or handle, never by name.
class StartedProgram {
 public:
  explicit StartedProgram(std::uintptr_t id) : id_(id) {}
  ~StartedProgram();  ///< ends the program if it still runs
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  bool Running();
  void End();

 private:
  std::uintptr_t id_;  ///< the process id on Linux, the process handle on Windows
  bool ended_ = false;
};

class TempMachine {
 public:
  TempMachine();
  ~TempMachine();
  TempMachine(const TempMachine&) = delete;
  TempMachine& operator=(const TempMachine&) = delete;

  /// The folder as this system names it (UTF-8).
  const std::string& dir() const { return dir_; }
  /// A path below dir() as this system names it: what a started program
  /// sees as its working directory.  `relative` uses "/".
  std::string Host(const std::string& relative) const;
  std::string log() const { return Host("kestrel.log"); }
  std::string record() const { return Host("record.txt"); }
  /// The Windows form of a path below dir(), as the launcher logs it.
  std::wstring Windows(const std::string& relative) const;

  void MakeDir(const std::string& relative) const;
  void Write(const std::string& relative, const std::string& bytes) const;
  /// Copies a program below dir(), executable.
  void Install(const std::string& program, const std::string& relative) const;

  /// Runs `program` with `args` and this machine's environment, waits for
  /// it, and returns its exit code.  With KESTREL_E2E_PLAN set, a run of
  /// the launcher is first checked with KestrelCheck (which must leave the
  /// machine as it was), then made by the recording launcher (the same
  /// logic, its effects recorded), and the two must agree step by step.
  int Run(const std::string& program, const std::vector<std::string>& args) const;
  /// Run() without the plan comparison; standard output goes to the file
  /// `standardOutput` when it is not empty.
  int RunProgram(const std::string& program, const std::vector<std::string>& args,
                 const std::string& standardOutput = {}) const;
  /// Starts `program` as Run() does, without waiting for it.
  std::unique_ptr<StartedProgram> Start(const std::string& program, const std::vector<std::string>& args) const;
  /// Run() while this test holds the single-instance mutex `name`, as a
  /// launcher that is still running would.
  int RunHoldingMutex(const std::string& name, const std::string& program,
                      const std::vector<std::string>& args) const;
  /// For a fixture whose real launch must part from its plan (a full disk
  /// fails writes that a dry run takes to succeed): the plan is not
  /// compared, for the reason given.
  void PlanDiffers(const std::string& because) { planDiffersBecause_ = because; }
  /// The lines of the launcher's log without the version line each launch
  /// begins with (a test fails when the log does not begin with it).
  std::vector<std::string> LogLines() const;
  /// The record of started programs, once `count` of them have finished
  /// (detached programs may still be running when the launcher ends).
  std::vector<std::string> WaitForRecord(int count = 1) const;

  /// What the game menu leaves on a PC: a string value under
  /// HKEY_LOCAL_MACHINE.  On Linux it goes into this machine's registry
  /// store; on Windows into the real registry, and it is deleted again when
  /// the machine ends.
  void SetMachineString(const std::wstring& subKey, const std::wstring& name, const std::wstring& value);
  /// Removes a key (with everything below it) or one value under
  /// HKEY_LOCAL_MACHINE when the machine ends, for what a program the test
  /// started left there (on Windows; the Linux machine's registry goes with
  /// its folder).
  void RemoveMachineKeyWhenDone(const std::wstring& subKey);
  void RemoveMachineValueWhenDone(const std::wstring& subKey, const std::wstring& name);
  /// A string value under HKEY_CURRENT_USER, empty when it is missing.
  std::wstring UserString(const std::wstring& subKey, const std::wstring& name) const;
  /// Removes a key under HKEY_CURRENT_USER when the machine ends (on
  /// Windows; the Linux machine's registry goes with its folder).
  void RemoveUserKeyWhenDone(const std::wstring& subKey);
  /// Bits per pixel of the primary display: its current mode, or the mode
  /// stored for later sessions.
  int DisplayBits(bool stored) const;
  /// Puts the stored display mode back when the machine ends (on Windows;
  /// the Linux machine's goes with its folder).
  void RestoreDisplayWhenDone();
  /// The folder of a known-folder id (CSIDL) as this system names it.  On
  /// Windows it is the real folder, so tests keep to names of their own
  /// there and hand them to RemoveWhenDone().
  std::string KnownFolder(int csidl) const;
  /// The same folder in Windows form, as the launcher logs it.
  std::wstring KnownFolderWindows(int csidl) const;
  /// A path outside dir() that this test created and that goes when the
  /// machine ends.
  void RemoveWhenDone(const std::string& path);

 private:
  int RunCheckedLaunch(const std::string& program, const std::vector<std::string>& args) const;
  /// Lays out what every PC has before a check looks at it: on Linux the
  /// machine model makes its drives and the system folder when first used.
  void LayOutMachine() const;

  std::string dir_;
  std::vector<std::function<void()>> undo_;
  /// RunHoldingMutex: a real launch ends at once, which a check (that never
  /// takes the mutex) cannot see, so the plan is not compared then.
  mutable bool holdingMutex_ = false;
  std::string planDiffersBecause_;
};

std::string ReadFile(const std::string& path);
/// Everything below `path`: each file by its relative path ("a/b.txt") with
/// its bytes, each folder as "a/" with no bytes.  Links are listed, never
/// followed.
std::map<std::string, std::string> ReadTree(const std::string& path);

}  // namespace kestrel::e2e

// The programs under test; the Linux build names them from CMake.
#ifndef KESTREL_EXE
#define KESTREL_EXE ::kestrel::e2e::ProgramBesideTests("KestrelEx")
#endif
#ifndef KESTREL_RECORDER
#define KESTREL_RECORDER ::kestrel::e2e::ProgramBesideTests("kestrel_recorder")
#endif
#ifndef KESTREL_CHECK_EXE
#define KESTREL_CHECK_EXE ::kestrel::e2e::ProgramBesideTests("KestrelCheck")
#endif
#ifndef KESTREL_RECORDED_LAUNCH
#define KESTREL_RECORDED_LAUNCH ::kestrel::e2e::ProgramBesideTests("kestrel_recorded_launch")
#endif
#ifndef KESTREL_GAME_MENU
#define KESTREL_GAME_MENU ::kestrel::e2e::ProgramBesideTests("kestrel_game_menu")
#endif
