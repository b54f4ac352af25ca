#pragma once
// The names in a folder, for finding a name without regard to case when
// the exact name is not on the disk: every new file the launcher makes is
// such a lookup, and listing the folder each time makes filling a folder
// of n files cost n * n.
//
// A folder's listing is kept with the folder's stamp, and used again only
// while a fresh stat shows the stamp proves it current (ListingHolds): a
// launch looks for some forty side files in GamePatch and lists it once.
// Where the file system stamps finely (Linux 6.13 and later), the names
// this process makes itself are taken into the kept listing (Made), so a
// tree copy lists each folder it fills once, not before every new name
// (kestrel_tree_bench: a copy of 5,000 small files in 1,100 folders went
// from 0.54 to about 0.8 of cp -r's speed in memory).  Large listings are
// looked up through an index of folded names.  Only where stamps are
// coarse is a large folder that is being filled watched with inotify
// instead, whose queue holds a change before the call that made it
// returns; a watch costs up to 16 ms when the process ends, so it is
// not the first choice.  (What the watch buys there: a copy of 3,000
// files into one folder takes about a tenth of the time it takes when the
// folder is listed for each file; kestrel_tree_bench --folders 1.)

#include <sys/stat.h>
#include <time.h>

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrel {

/// What says whether a folder's names changed: its identity and the times
/// of its last change of contents (mtime) and of its inode (ctime).
struct FolderStamp {
  std::uint64_t device = 0, inode = 0;
  timespec modified{}, changed{};
};

/// Whether a listing of a folder whose stamp was `listed`, begun when the
/// coarse real-time clock read `start`, still holds the folder's names
/// now that its stamp is `now`.
///
/// The rule: the same folder with the same stamp, and a stamp strictly
/// older than `start`.  Making, removing or renaming a name sets the
/// folder's mtime and ctime to the time of the change, which the kernel
/// takes from the coarse clock or, for multigrain stamps, finer, but never
/// below the coarse clock; so a change after `start` leaves a stamp of
/// `start` or later, which differs from an older `listed`.  A stamp not
/// older than `start` proves nothing (a second change in the same clock
/// tick leaves the same stamp), and such a listing is never used again.
/// A stamp in whole seconds (nanoseconds 0: ext4 with small inodes keeps no
/// more) is compared by its second.  Only file systems whose stamps follow
/// that clock are trusted (LocalStamps), and the real-time clock is taken
/// not to be set back between a listing and its use.
///
/// On a file system shown to stamp finely (`fine`: ProvesFineStamps), any
/// change made after a stamp was read moves it (Linux 6.13 and later give a
/// folder whose stamp was read a fine-grained stamp at its next change), so
/// there a listing holds while its stamp is the same, however recent.
bool ListingHolds(const FolderStamp& listed, const timespec& start, const FolderStamp& now, bool fine = false);

/// Whether a change of ours shows that a file system stamps finely: the
/// coarse clock read `before` the stamp `was` and `after` the stamp `now`
/// gave the same tick, `was` already lay in that tick, and the change still
/// moved it.  A file system stamping from the coarse clock would have
/// stamped the change with that same tick, leaving `was` as it was.
bool ProvesFineStamps(const timespec& before, const timespec& after, const FolderStamp& was, const FolderStamp& now);

/// A folder held open, closed when its last holder lets it go.
struct HeldFolder {
  int fd = -1;
  explicit HeldFolder(int fd) : fd(fd) {}
  ~HeldFolder();
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;
};

class FolderNames {
 public:
  FolderNames();
  ~FolderNames();
  FolderNames(const FolderNames&) = delete;
  FolderNames& operator=(const FolderNames&) = delete;

  /// Looks in the folder `dir` (a host path) for the name that equals
  /// `name` without regard to case: `found` is that name as on the disk,
  /// or empty when there is none.  False when `dir` cannot be read as a
  /// folder.  When the answer came from a kept listing, `held` receives
  /// that folder held open: the one `dir` led to when the answer was given,
  /// so that a name made in it lands where the lookup looked.
  bool Find(const std::string& dir, std::wstring_view name, std::string& found,
            std::shared_ptr<const HeldFolder>* held = nullptr);

  /// Tells that this process has just made `name` in the folder `dir`
  /// (a host path as given to Find), where a lookup had found no such name;
  /// `folder` when it made a folder.  A copy makes name after name in the
  /// folders it fills, and listing the folder again before each is what
  /// makes it slow: so on a file system that stamps finely, the kept
  /// listing takes the name in, with the stamp read right after the change,
  /// and a new folder starts with an empty listing.  The staleness this
  /// allows: a name that another process makes in `dir` between the lookup
  /// and that stamp (microseconds, the same window that lies between any
  /// listing and the call that makes a name) is missed until the folder
  /// next changes in a way not told here.  Anywhere else, or when the stamp
  /// did not move, the listing is dropped and the next lookup lists again.
  void Made(std::string_view dir, std::string_view name, bool folder);

  /// Whether a listing of `dir` is kept whose stamp will show any change
  /// (the file system stamps finely) and which lacks `name` as written: a
  /// lookup of it asks that listing (Find) first, sparing a failed look at
  /// the disk.  Asks nothing of the disk itself; the answer only orders
  /// the looks, never decides what they find.
  bool LikelyMissing(std::string_view dir, std::string_view name);

  /// How many times a folder was read from the disk (for tests).
  std::size_t listings() const { return listings_; }
  /// How many file systems were shown to stamp finely (for tests).
  std::size_t fineFileSystems() const { return fineDevices_.size(); }

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

  /// A folder's names as listed, with its host path and stamp.
  struct Listing {
    std::string dir;
    FolderStamp stamp;
    timespec start;  ///< the coarse clock when the listing began
    std::vector<std::string> names;
    bool fine = false;   ///< `stamp` was read on a file system that stamps finely
    timespec checked{};  ///< the coarse clock before `stamp` was last read
    std::shared_ptr<const HeldFolder> folder;  ///< the folder listed, held open
    /// The names by their folded form, once there are more than a scan
    /// should pass over for each lookup.
    std::unordered_multimap<std::wstring, std::string> index;

    /// The name equal to `name` without regard to case, or empty.
    std::string NameLike(std::wstring_view name) const;
    /// Whether `name` is there exactly as written.
    bool Holds(std::string_view name) const;
    /// Takes in a name made since, unless it is there already.
    void Add(std::string_view name);
    /// Builds `index` once the names are many.
    void Index();
  };
  bool Fine(std::uint64_t device) const;
  /// The listing kept for `dir`, if it still holds; `st` receives the
  /// folder's stat when it was taken.
  const Listing* KeptListing(const std::string& dir, const timespec& before, struct stat& st, bool& statted);
  /// Watches the open folder `fd` and reads its names, `found` receiving
  /// the one equal to `name` when that worked.
  void Watch(int fd, const struct stat& opened, std::wstring_view name, std::string& found);
  /// Lists `dir` for `name`, keeping what can be kept.
  bool List(const std::string& dir, std::wstring_view name, std::string& found, bool watch,
            std::shared_ptr<const HeldFolder>* held);

  std::mutex lock_;
  std::list<Listing> listed_;  ///< most recent first
  std::vector<std::uint64_t> fineDevices_;  ///< file systems shown to stamp finely
  std::size_t listings_ = 0;
  bool started_ = false;
  int fd_ = -1;
  unsigned forkGeneration_ = 0;
  std::unordered_map<int, Folder> folders_;  ///< by watch descriptor
  std::list<int> recent_;                    ///< watch descriptors, most recent first
};

}  // namespace kestrel
