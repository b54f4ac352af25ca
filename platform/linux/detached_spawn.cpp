#include "platform/linux/detached_spawn.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace kestrel {

int SpawnDetached(const std::string& program, const std::vector<std::string>& args, const std::string& directory) {
  // Everything the children need is prepared before fork: between fork and
  // exec only async-signal-safe calls are made.
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

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
    if (!directory.empty() && chdir(directory.c_str()) != 0) {
      int err = errno;
      (void)!write(report[1], &err, sizeof err);
      _exit(127);
    }
    execv(program.c_str(), argv.data());
    int err = errno;
    (void)!write(report[1], &err, sizeof err);
    _exit(127);
  }

  close(report[1]);
  int status;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t got;
  while ((got = read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  return got == static_cast<ssize_t>(sizeof err) ? err : 0;
}

}  // namespace kestrel
