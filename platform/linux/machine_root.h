#pragma once
// The Linux machine model keeps a Windows-like machine under one root
// folder, as Wine does with its prefix:
//
//   $KESTREL_ROOT/dosdevices/c:  -> ../drive_c   (drive C:)
//   $KESTREL_ROOT/dosdevices/z:  -> /            (drive Z:, the host)
//   $KESTREL_ROOT/drive_c/...
//
// A drive letter is a symlink in dosdevices.  Windows paths resolve through
// it, each component matched without regard to case when the exact name is
// not there, because games and their Config.ini files disagree with the
// disk about case all the time.

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

class FolderNames;
struct HeldFolder;

class MachineRoot {
 public:
  /// $KESTREL_ROOT, else $XDG_DATA_HOME/kestrelex, else
  /// ~/.local/share/kestrelex.
  MachineRoot();
  explicit MachineRoot(std::string root);

  const std::string& root() const { return root_; }
  /// Creates the root with its dosdevices (c: and z:) and drive_c when they
  /// are missing.  False when the root cannot be made.
  bool Ensure();

  /// What resolving a path learned on the way, so that the caller need
  /// not ask the disk again.
  struct Found {
    bool driveRoot = false;  ///< the path names the root folder of a drive
    bool exists = false;     ///< `st` holds the lstat of the host path
    /// The path names nothing, in a folder that is there.
    bool missingInExistingFolder = false;
    struct stat st {};
    /// With missingInExistingFolder, when known: that folder held open, the
    /// one the path led to when it was found missing there.
    std::shared_ptr<const HeldFolder> folder;
  };
  /// The host path of a Windows path ("X:\a\b", "\a" on the current
  /// drive, or relative to the current directory).  A path on a drive
  /// leads through the drive's link ($KESTREL_ROOT/dosdevices/x:/a/b), as
  /// Wine's paths do, so every call made with it follows the link as it
  /// is at that moment: a drive that subst re-points is never used in its
  /// old place.  False with error 3 (path not found) when the path names
  /// no drive the machine has, with error 123 (invalid name) when it
  /// holds a zero character.
  /// `expectNew` says the path most likely names nothing yet (the target
  /// of a copy): its folder is asked first.
  bool ToHost(std::wstring_view windowsPath, std::string& host, std::uint32_t& error, Found* found = nullptr,
              bool expectNew = false);
  /// Tells that this process has just made the file or folder at `host`
  /// (a path from ToHost that named nothing), so that the next lookup in
  /// its folder need not list the folder again.
  void Made(std::string_view host, bool folder);
  /// A host path from ToHost with its drive's link replaced by the folder
  /// the link leads to now, for paths handed to other programs (which
  /// would show or keep the link's name).  Other paths are returned as
  /// they are.
  std::string PlainHost(const std::string& host);
  /// The Windows form of a host path: a path through a drive's link on
  /// that drive, any other through the drive whose target is its longest
  /// prefix ("/srv/games/Foo" is "Z:\srv\games\Foo").  Empty when no
  /// drive holds it.
  std::wstring ToWindows(std::string_view hostPath);
  /// The canonical host folder of a drive letter, or empty.
  std::string DriveTarget(wchar_t letter);
  /// The letters of the drives present, in order.
  std::vector<wchar_t> Drives();
  struct Drive {
    wchar_t letter;      ///< 'A' to 'Z'
    std::string target;  ///< its canonical host folder
  };
  /// The drives present with their folders, in letter order.
  std::vector<Drive> DriveTable();

 private:
  /// Canonical targets of drive links by letter, with the link text they
  /// were found for; shared by copies of this root.
  struct DriveCache {
    std::mutex lock;
    std::map<wchar_t, std::pair<std::string, std::string>> canonical;
  };

  /// The drive link's path for a letter, present or not.
  std::string DriveLink(wchar_t letter) const;
  void AppendDriveLink(std::string& out, wchar_t letter) const;

  std::string root_;
  bool ensured_ = false;
  std::shared_ptr<DriveCache> drives_;
  /// Names of folders that new names were looked up in, shared likewise.
  std::shared_ptr<FolderNames> names_;
};

/// mkdir -p: makes a host folder with its missing parents.  True when the
/// folder is there afterwards.
bool MakeHostDirs(const std::string& path);

/// A host path made absolute and lexically clean ("a/../b" is "b", no "."
/// or doubled "/"), without following links.
std::string NormalizeHostPath(std::string_view path);

}  // namespace kestrel
