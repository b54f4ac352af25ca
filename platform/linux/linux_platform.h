#pragma once
// The launcher's platform on Linux: a Windows-like machine model under one
// root folder (drive letters, profile files, program start), so that the
// same GamePatch folders and Windows-style paths work unchanged.

#include <fcntl.h>
#include <sys/stat.h>

#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/linux/ansi_code_page.h"
#include "platform/linux/display_settings.h"
#include "platform/linux/machine_root.h"
#include "platform/linux/registry_store.h"
#include "platform/linux/program_start.h"
#include "platform/model/folder_listing.h"
#include "platform/model/profile_text.h"
#include "platform/model/version_resource.h"
#include "platform/platform.h"

namespace kestrel {

/// Wine's Windows version name ("winxp") for compatibility layers
/// ("WINXPSP3", or several with spaces between), empty when none of them
/// names a Windows version.
std::wstring WineVersionOfLayers(std::wstring_view layers);


class LinuxPlatform : public Platform {
 public:
  LinuxPlatform();
  explicit LinuxPlatform(MachineRoot root);
  ~LinuxPlatform() override;

  MachineRoot& machine() { return root_; }
  /// The registry store (the system tools import into it directly).
  RegistryStore& registry() { return registry_; }

  void InitializeFramework() override;
  std::wstring GetModuleFileNameW() override;
  std::wstring GetCommandLineW() override;
  std::wstring NativePathToWindows(const std::wstring& path) override;
  std::uint32_t GetLastError() override;
  void SetLastError(std::uint32_t code) override;
  void OutputDebugStringW(const std::wstring& message) override;
  bool PathFileExistsW(const std::wstring& path) override;
  bool ReadFileBytes(const std::wstring& path, std::string& bytes) override;
  bool PathIsDirectoryW(const std::wstring& path) override;
  std::uint32_t GetFileAttributesW(const std::wstring& path) override;
  bool SetFileAttributesW(const std::wstring& path, std::uint32_t attributes) override;
  Handle FindFirstFileW(const std::wstring& pattern, FindDataW& data) override;
  bool FindNextFileW(Handle find, FindDataW& data) override;
  bool FindClose(Handle find) override;
  bool CopyFileW(const std::wstring& existingFile, const std::wstring& newFile, bool failIfExists) override;
  bool CreateDirectoryW(const std::wstring& path) override;
  bool DeleteFileW(const std::wstring& path) override;
  bool RemoveDirectoryW(const std::wstring& path) override;
  bool WriteFileBytes(const std::wstring& path, std::string_view bytes) override;
  std::uint32_t GetLogicalDriveStringsW(std::uint32_t bufferChars, std::wstring& buffer) override;
  std::wstring GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                        const std::wstring& defaultValue, std::uint32_t bufferChars,
                                        const std::wstring& file) override;
  int GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, int defaultValue,
                            const std::wstring& file) override;
  std::uint32_t GetPrivateProfileSectionW(const std::wstring& section, std::wstring& buffer, std::uint32_t bufferChars,
                                          const std::wstring& file) override;
  bool WritePrivateProfileStringW(const std::wstring& section, const std::optional<std::wstring>& key,
                                  const std::optional<std::wstring>& value, const std::wstring& file) override;
  std::intptr_t ShellExecuteW(const std::wstring& verb, const std::wstring& file, const std::wstring& parameters,
                              const std::wstring& directory, int showMode) override;
  bool ShellExecuteExW(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                       const std::wstring& parameters, const std::wstring& directory, int showMode,
                       Handle* process) override;
  bool CreateProcessW(const std::wstring& commandLine, std::uint32_t creationFlags, int showMode,
                      const std::wstring& directory, Handle* process) override;
  bool CloseHandle(Handle handle) override;
  Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) override;
  bool Process32FirstW(Handle snapshot, ProcessEntry& entry) override;
  bool Process32NextW(Handle snapshot, ProcessEntry& entry) override;
  Handle OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) override;
  bool TerminateProcess(Handle process, std::uint32_t exitCode) override;
  Handle CreateMutexW(const std::wstring& name, bool initialOwner) override;
  Handle BeginThread(std::function<void()> routine) override;
  bool CoInitializeEx(std::uint32_t coInit) override;
  void CoUninitialize() override;
  std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) override;
  void Sleep(std::uint32_t milliseconds) override;
  std::wstring SHGetSpecialFolderPathW(int csidl) override;
  long SHGetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName, std::uint32_t* type,
                   std::span<std::uint8_t> data, std::uint32_t* dataSize) override;
  long SHSetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName, std::uint32_t type,
                   std::span<const std::uint8_t> data) override;
  long RegOpenKeyExW(RegRoot root, const std::wstring& subKey, std::uint32_t samDesired, Handle* key) override;
  long RegCloseKey(Handle key) override;
  bool EnumDisplaySettingsW(std::uint32_t modeNum, DisplayMode& mode) override;
  long ChangeDisplaySettingsW(const DisplayMode* mode, std::uint32_t flags) override;
  int MessageBoxW(const std::wstring& text, const std::wstring& caption, std::uint32_t type) override;
  int RunVersionChooser(LaunchContext& context) override;
  std::uint32_t GetFileVersionInfoSizeW(const std::wstring& file) override;
  bool GetFileVersionInfoW(const std::wstring& file, std::uint32_t size, std::vector<std::uint8_t>& block) override;
  bool VerQueryValueW(std::span<const std::uint8_t> block, const std::wstring& subBlock,
                      FixedFileInfo& info) override;
  std::unique_ptr<FixedMemoryBlock> GlobalAllocFixed(std::uint32_t size) override;
  SkinImagePtr DecodeImageFromMemory(FixedMemoryBlock& block) override;
  SkinImagePtr DecodeImageFromFile(const std::wstring& path,
                                   const std::function<bool(std::string_view head)>& admit) override;
  std::unique_ptr<ActiveDesktop> CreateActiveDesktop() override;
  std::string WideToAnsi(std::wstring_view text) override;
  std::wstring AnsiToWide(std::string_view bytes) override;

 private:
  /// The parsed profile file at a host path, re-read when it changes; null
  /// when it cannot be read.  The caller shares ownership, so a reload on
  /// another thread never frees the text it is reading.
  std::shared_ptr<const ProfileText> LoadProfile(const std::wstring& file);
  /// ReadWholeFile with the last error set, and a diagnostic line naming
  /// `path` when the file is too large to read.
  bool ReadWhole(const std::wstring& path, const std::string& host, std::string& bytes);
  /// The host path of a Windows path, or false with the last error set.
  /// `found` receives what resolving learned of it (see MachineRoot).
  bool Resolve(std::wstring_view path, std::string& host, MachineRoot::Found* found = nullptr,
               bool expectNew = false);
  /// A profile file named without a folder lives in the Windows folder.
  std::wstring ProfileFilePath(const std::wstring& file);
  bool Fail(std::uint32_t error);
  bool FailErrno(int err);
  /// 3 when the folder of a missing host path is missing too, else 2.
  std::uint32_t MissingError(const std::string& host);
  /// The same, from what resolving learned when it could.
  std::uint32_t MissingError(const std::string& host, const MachineRoot::Found& found);
  Handle NewHandle();

  /// A process the launcher holds a handle to: a child it started (reaped
  /// by the wait) or one it opened by id (through a pidfd, so that a
  /// reused id never ends the wrong process).
  struct ProcessObject {
    pid_t pid = 0;
    bool child = false;
    int pidfd = -1;
    bool ended = false;
  };
  struct SnapshotObject {
    std::vector<ProcessEntry> entries;
    std::size_t next = 0;
  };

  /// Starts what `plan` says, detached or as a waitable child.
  bool Start(StartPlan plan, const std::wstring& directory, Handle* process);
  /// Reaps a child without blocking (or blocking, with `block`); true when
  /// it has ended.
  static bool Reap(ProcessObject& p, bool block);
  bool NextEntry(Handle snapshot, ProcessEntry& entry);

  struct CachedProfile {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    std::shared_ptr<const ProfileText> text;
  };

  MachineRoot root_;
  AnsiCodePage acp_;
  /// The machine's user name, looked up when first needed: most launches
  /// never ask the user database.
  const std::wstring& User();
  std::once_flag userOnce_;
  std::wstring user_;
  RegistryStore registry_;
  std::mutex lock_;  // guards the tables below; launcher logic itself is single-threaded
  std::map<std::string, CachedProfile> profiles_;
  std::map<Handle, std::thread> threads_;
  /// A folder an open listing holds open, with its path as the listing's
  /// pattern wrote it (up to and with its last separator).  While the
  /// listing is open, that path means this folder to Locate, as a search
  /// handle keeps its folder open on Windows: the entries a walk lists are
  /// acted on in the folder it listed, even if a folder above is renamed
  /// or a drive re-pointed meanwhile.  Whether a name is there, and what
  /// it is, is always asked of the disk.
  struct ListedFolder {
    std::wstring path;
    std::size_t hostLength = 0;  ///< of its host path
    int fd = -1;
    ~ListedFolder();
  };
  struct Find {
    FolderListing listing;
    std::shared_ptr<const ListedFolder> folder;  ///< null when not kept
  };
  /// Where a path leads: a folder descriptor (AT_FDCWD for none) and the
  /// path from it, with what keeps that folder open.
  struct Place {
    std::shared_ptr<const ListedFolder> folder;
    int fd = AT_FDCWD;
    std::string path;
  };
  /// Resolves `path` and stats what is there, following a link at its end
  /// with `follow`; false with the last error set (2 or 3 when nothing is
  /// there).  A name in a folder an open listing holds is reached through
  /// that listing's descriptor (see FindFirstFileW).
  bool Locate(const std::wstring& path, Place& place, struct stat& st, bool follow);
  std::map<Handle, Find> finds_;
  std::map<Handle, std::pair<RegRoot, std::wstring>> openKeys_;
  std::vector<std::thread> closedThreads_;  // handles closed before their end: joined at destruction
  std::map<Handle, ProcessObject> processes_;
  std::map<Handle, SnapshotObject> snapshots_;
  std::map<Handle, int> mutexes_;  // lock file descriptors
  DisplaySettings display_;
  VersionBlockPair versionPair_;
  Handle nextHandle_ = 0x100;  // taken, like every table here, under lock_
};

}  // namespace kestrel
