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

}  // namespace

int SpawnDetached(const SpawnRequest& request) {
  Prepared p = Prepare(request);
  // The grandchild reports a failed chdir or exec through this pipe; a
  // successful exec closes it (close-on-exec), so the parent reads nothing.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return errno;

  pid_t child = fork();
  if (child < 0) {
    int err = errno;
    close(report[0]);
    close(report[1]);
    return err;
  }
  if (child == 0) {
    close(report[0]);
    setsid();
    pid_t grandchild = fork();
    if (grandchild != 0) {
      if (grandchild < 0) {
        int err = errno;
        (void)!write(report[1], &err, sizeof err);
      }
      _exit(0);  // the grandchild is adopted by init: no zombie here
    }
    Exec(request, p, report[1]);
  }

  close(report[1]);
  Reap(child);
  return ReadReport(report[0]);
}

int SpawnChild(const SpawnRequest& request, pid_t& pid) {
  Prepared p = Prepare(request);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return errno;
  pid_t child = fork();
  if (child < 0) {
    int err = errno;
    close(report[0]);
    close(report[1]);
    return err;
  }
  if (child == 0) {
    close(report[0]);
    setsid();
    Exec(request, p, report[1]);
  }
  close(report[1]);
  int err = ReadReport(report[0]);
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
