#include "platform/linux/detached_spawn.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace kestrel {

namespace {

/// Everything the children need, prepared before fork: between fork and
/// exec only async-signal-safe calls are made.
struct Prepared {
  std::vector<char*> argv;
  std::vector<char*> envp;
  char** env = nullptr;
};

Prepared Prepare(const SpawnRequest& r) {
  Prepared p;
  for (const std::string& a : r.args) p.argv.push_back(const_cast<char*>(a.c_str()));
  p.argv.push_back(nullptr);
  if (!r.env.empty()) {
    for (const std::string& e : r.env) p.envp.push_back(const_cast<char*>(e.c_str()));
    p.envp.push_back(nullptr);
    p.env = p.envp.data();
  } else {
    p.env = environ;
  }
  return p;
}

/// In the child: chdir and exec, or report the errno through `report`.
[[noreturn]] void Exec(const SpawnRequest& r, const Prepared& p, int report) {
  if (!r.directory.empty() && chdir(r.directory.c_str()) != 0) {
    int err = errno;
    (void)!write(report, &err, sizeof err);
    _exit(127);
  }
  execve(r.program.c_str(), p.argv.data(), p.env);
  int err = errno;
  (void)!write(report, &err, sizeof err);
  _exit(127);
}

/// What the child reported: 0 when the pipe closed on a successful exec.
int ReadReport(int fd) {
  int err = 0;
  ssize_t got;
  while ((got = read(fd, &err, sizeof err)) < 0 && errno == EINTR) {
  }
  close(fd);
  return got == static_cast<ssize_t>(sizeof err) ? err : 0;
}

void Reap(pid_t pid) {
  int status;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

/// Forks with a pipe on which the child (or its descendant) reports a
/// failed chdir or exec; a successful exec closes it (close-on-exec), so
/// the parent then reads nothing.  Returns 0 with `child` and the pipe's
/// read end, or the errno of the failed pipe or fork.
int ForkReporting(pid_t& child, int& reportRead, int& reportWrite) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return errno;
  child = fork();
  if (child < 0) {
    int err = errno;
    close(report[0]);
    close(report[1]);
    return err;
  }
  if (child == 0) {
    close(report[0]);
    setsid();
  } else {
    close(report[1]);
  }
  reportRead = report[0];
  reportWrite = report[1];
  return 0;
}

}  // namespace

int SpawnDetached(const SpawnRequest& request) {
  Prepared p = Prepare(request);
  pid_t child = 0;
  int reportRead = -1, reportWrite = -1;
  if (int err = ForkReporting(child, reportRead, reportWrite); err != 0) return err;
  if (child == 0) {
    pid_t grandchild = fork();
    if (grandchild != 0) {
      if (grandchild < 0) {
        int err = errno;
        (void)!write(reportWrite, &err, sizeof err);
      }
      _exit(0);  // the grandchild is adopted by init: no zombie here
    }
    Exec(request, p, reportWrite);
  }
  Reap(child);
  return ReadReport(reportRead);
}

int SpawnChild(const SpawnRequest& request, pid_t& pid) {
  Prepared p = Prepare(request);
  pid_t child = 0;
  int reportRead = -1, reportWrite = -1;
  if (int err = ForkReporting(child, reportRead, reportWrite); err != 0) return err;
  if (child == 0) Exec(request, p, reportWrite);
  int err = ReadReport(reportRead);
  if (err != 0) {
    Reap(child);
    return err;
  }
  pid = child;
  return 0;
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides) {
  std::vector<std::string> env;
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** e = environ; e && *e; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (const std::string& o : overrides) replaced = replaced || nameOf(o) == nameOf(entry);
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), overrides.begin(), overrides.end());
  return env;
}

}  // namespace kestrel
