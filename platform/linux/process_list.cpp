#include "platform/linux/process_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "text/utf.h"

namespace kestrel {

namespace {

constexpr std::size_t kCommLength = 15;  // TASK_COMM_LEN without its terminator

std::string ReadSmallFile(const std::string& path, std::size_t limit) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string();
  std::string out;
  char buf[4096];
  while (out.size() < limit) {
    ssize_t got = read(fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    out.append(buf, static_cast<std::size_t>(got));
  }
  close(fd);
  if (out.size() > limit) out.resize(limit);
  return out;
}

std::string BaseName(const std::string& path) {
  std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

std::wstring ImageName(const std::string& exe, const std::vector<std::string>& cmdline, const std::string& comm) {
  // A deleted executable's link ends in " (deleted)".
  std::string exeName = BaseName(exe);
  const std::string deleted = " (deleted)";
  if (exeName.size() > deleted.size() && exeName.compare(exeName.size() - deleted.size(), deleted.size(), deleted) == 0)
    exeName.resize(exeName.size() - deleted.size());

  std::vector<std::string> candidates;
  if (!exeName.empty()) candidates.push_back(exeName);
  for (std::size_t i = 0; i < cmdline.size() && i < 3; ++i) candidates.push_back(BaseName(cmdline[i]));
  if (!comm.empty()) {
    for (const std::string& c : candidates)
      if (!c.empty() && c.compare(0, std::min(c.size(), kCommLength), comm) == 0 &&
          (c.size() >= kCommLength || c.size() == comm.size()))
        return Utf8ToWide(c).substr(0, 259);
  }
  if (!exeName.empty()) return Utf8ToWide(exeName).substr(0, 259);
  return Utf8ToWide(comm).substr(0, 259);
}

std::vector<ProcessEntry> ListProcesses() {
  std::vector<ProcessEntry> out;
  std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
  if (!proc) return out;
  while (dirent* e = readdir(proc.get())) {
    char* end = nullptr;
    unsigned long id = std::strtoul(e->d_name, &end, 10);
    if (!end || *end != '\0' || id == 0 || id > 0xFFFFFFFFul) continue;
    std::string dir = std::string("/proc/") + e->d_name;

    std::string stat = ReadSmallFile(dir + "/stat", 4096);
    if (stat.empty()) continue;  // ended meanwhile
    // "pid (comm) state ppid ...": the comm may hold blanks and ")".
    std::size_t open = stat.find('(');
    std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) continue;
    std::string comm = stat.substr(open + 1, close - open - 1);
    // A process that has ended but is not yet reaped is no longer running.
    if (close + 2 < stat.size() && (stat[close + 2] == 'Z' || stat[close + 2] == 'X')) continue;
    unsigned long parent = 0;
    if (close + 4 < stat.size()) parent = std::strtoul(stat.c_str() + close + 4, nullptr, 10);

    char buf[PATH_MAX];
    ssize_t n = readlink((dir + "/exe").c_str(), buf, sizeof buf - 1);
    std::string exe = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();

    std::vector<std::string> args;
    std::string raw = ReadSmallFile(dir + "/cmdline", 65536);
    std::size_t pos = 0;
    while (pos < raw.size() && args.size() < 3) {
      std::size_t stop = raw.find('\0', pos);
      if (stop == std::string::npos) stop = raw.size();
      args.push_back(raw.substr(pos, stop - pos));
      pos = stop + 1;
    }
    out.push_back(ProcessEntry{static_cast<std::uint32_t>(id), static_cast<std::uint32_t>(parent),
                               ImageName(exe, args, comm)});
  }
  std::sort(out.begin(), out.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.processId < b.processId; });
  return out;
}

}  // namespace kestrel
