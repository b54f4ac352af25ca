// Running programs on the Linux build: posix_spawn with the machine's
// environment; the single-instance mutex is the machine model's lock file.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <span>
#include <stdexcept>

#include "platform/linux/linux_platform.h"
#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

extern char** environ;

namespace kestrel::e2e {

std::string ProgramFile(const std::string& stem) { return stem; }
bool ProfilesReadBomlessUtf8() { return true; }
std::string StartedName(const std::string&, const std::string& onDisk) { return onDisk; }

std::string ProgramBesideTests(const std::string& stem) {
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / ProgramFile(stem)).string();
}

std::wstring TempMachine::Windows(const std::string& relative) const {
  std::wstring path = L"Z:" + Utf8ToWide(Host(relative));
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

void TempMachine::Install(const std::string& program, const std::string& relative) const {
  std::filesystem::path target = Host(relative);
  std::filesystem::copy_file(program, target, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(target, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                           std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                           std::filesystem::perms::others_exec);
}

namespace {

/// Starts `program` with the machine's environment; -1 when it cannot.
pid_t Spawn(const TempMachine& m, const std::string& program, const std::vector<std::string>& args,
            const std::string& standardOutput = {}) {
  std::vector<std::string> env{"KESTREL_ROOT=" + m.Host("root"), "KESTREL_LOG=" + m.log(),
                               "KESTREL_RECORD=" + m.record()};
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
  if (!standardOutput.empty())
    posix_spawn_file_actions_addopen(&actions, 1, standardOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

}  // namespace

int TempMachine::RunProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::string& standardOutput) const {
  pid_t pid = Spawn(*this, program, args, standardOutput);
  if (pid < 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::unique_ptr<StartedProgram> TempMachine::Start(const std::string& program,
                                                   const std::vector<std::string>& args) const {
  pid_t pid = Spawn(*this, program, args);
  if (pid < 0) throw std::runtime_error("cannot start " + program);
  return std::make_unique<StartedProgram>(static_cast<std::uintptr_t>(pid));
}

bool StartedProgram::Running() {
  if (ended_) return false;
  int status = 0;
  // Only this test's own child can be reaped here.
  if (waitpid(static_cast<pid_t>(id_), &status, WNOHANG) != 0) ended_ = true;
  return !ended_;
}

void StartedProgram::End() {
  if (!Running()) return;
  kill(static_cast<pid_t>(id_), SIGKILL);
  int status = 0;
  waitpid(static_cast<pid_t>(id_), &status, 0);
  ended_ = true;
}

StartedProgram::~StartedProgram() { End(); }

void TempMachine::SetMachineString(const std::wstring& subKey, const std::wstring& name, const std::wstring& value) {
  LinuxPlatform machine(MachineRoot(Host("root")));
  machine.InitializeFramework();
  std::string bytes = WideToUtf16Le(value);
  bytes.append(2, '\0');
  if (machine.SHSetValueW(RegRoot::kLocalMachine, subKey, name, win::kRegSz,
                          std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) != 0)
    throw std::runtime_error("cannot write the machine's registry");
}

std::wstring TempMachine::UserString(const std::wstring& subKey, const std::wstring& name) const {
  LinuxPlatform machine(MachineRoot(Host("root")));
  std::uint8_t data[2048] = {};
  std::uint32_t type = 0, size = sizeof data;
  if (machine.SHGetValueW(RegRoot::kCurrentUser, subKey, name, &type, std::span(data), &size) != 0)
    return std::wstring();
  return Utf16LeToWide(std::string(reinterpret_cast<const char*>(data), size)).c_str();
}

void TempMachine::LayOutMachine() const {
  constexpr int kCsidlSystem = 37;
  LinuxPlatform machine(MachineRoot(Host("root")));
  machine.InitializeFramework();
  machine.SHGetSpecialFolderPathW(kCsidlSystem);
}

void TempMachine::RemoveUserKeyWhenDone(const std::wstring&) {}
void TempMachine::RemoveMachineKeyWhenDone(const std::wstring&) {}
void TempMachine::RemoveMachineValueWhenDone(const std::wstring&, const std::wstring&) {}

int TempMachine::DisplayBits(bool stored) const {
  LinuxPlatform machine(MachineRoot(Host("root")));
  DisplayMode mode;
  if (!machine.EnumDisplaySettingsW(stored ? win::kEnumRegistrySettings : win::kEnumCurrentSettings, mode)) return -1;
  return static_cast<int>(mode.bitsPerPel);
}

void TempMachine::RestoreDisplayWhenDone() {}

std::wstring TempMachine::KnownFolderWindows(int csidl) const {
  LinuxPlatform machine(MachineRoot(Host("root")));
  machine.InitializeFramework();
  return machine.SHGetSpecialFolderPathW(csidl);
}

std::string TempMachine::KnownFolder(int csidl) const {
  LinuxPlatform machine(MachineRoot(Host("root")));
  machine.InitializeFramework();
  std::string host;
  std::uint32_t error = 0;
  if (!machine.machine().ToHost(machine.SHGetSpecialFolderPathW(csidl), host, error))
    throw std::runtime_error("no known folder " + std::to_string(csidl));
  return machine.machine().PlainHost(host);
}

int TempMachine::RunHoldingMutex(const std::string& name, const std::string& program,
                                 const std::vector<std::string>& args) const {
  MakeDir("root/mutex");
  int fd = open(Host("root/mutex/" + name + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  holdingMutex_ = true;
  int rc = Run(program, args);
  holdingMutex_ = false;
  close(fd);
  return rc;
}

}  // namespace kestrel::e2e
