#pragma once
// The names in a folder, for finding a name without regard to case when
// the exact name is not on the disk: every new file the launcher makes is
// such a lookup.  Listing the folder each time makes filling a folder of n
// files cost n * n; instead the names of the larger folders last asked
// about are kept, and an inotify watch on each keeps them current.  The
// kernel queues a change before the call that made it returns, so a name
// another process has made is never missed; small folders, and whatever
// cannot be watched, are listed afresh.  (What it buys: a copy of 3,000
// files into one folder takes about a tenth of the time it takes when the
// folder is listed for each file; kestrel_tree_bench --folders 1.)  Below
// the size from which folders are watched, watching costs more than it
// saves: a launch and the bench's tree of small folders measured no faster
// with every folder watched.

#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

namespace kestrel {

class FolderNames {
 public:
  FolderNames();
  ~FolderNames();
  FolderNames(const FolderNames&) = delete;
  FolderNames& operator=(const FolderNames&) = delete;

  /// Looks in the folder `dir` (a host path) for the name that equals
  /// `name` without regard to case: `found` is that name as on the disk,
  /// or empty when there is none.  False when `dir` cannot be read as a
  /// folder.
  bool Find(const std::string& dir, const std::wstring& name, std::string& found);

 private:
  /// One watched folder: its names by their folded form (two names that
  /// differ only in case can both be on a Linux disk).
  struct Folder {
    std::uint64_t device = 0, inode = 0;
    std::unordered_multimap<std::wstring, std::string> names;
  };

  /// Applies the changes queued since the last call; false when the watch
  /// cannot be trusted any longer (every folder is then listed afresh).
  bool TakeEvents();
  void Forget(int watch);
  void ForgetAll();
  /// Whether the watch can be used here; makes it on first use.
  bool Usable();

  std::mutex lock_;
  bool started_ = false;
  int fd_ = -1;
  unsigned forkGeneration_ = 0;
  std::unordered_map<int, Folder> folders_;  ///< by watch descriptor
  std::list<int> recent_;                    ///< watch descriptors, most recent first
};

}  // namespace kestrel
