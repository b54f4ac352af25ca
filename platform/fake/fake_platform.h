#pragma once
// An in-memory machine for unit tests: files and folders with Windows path
// rules, profile files, registry values, known folders, mutexes held by
// "other instances", a clock that Sleep moves without waiting, and a record
// of every call in order, log lines included.  Tests assert against the
// record: the exact operations, their arguments and their order.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "platform/model/folder_listing.h"
#include "platform/model/registry_tree.h"
#include "platform/platform.h"

namespace kestrel {

class ProfileText;

/// One recorded call: the operation's name and its arguments as text.
struct FakeCall {
  std::wstring op;
  std::vector<std::wstring> args;
  bool operator==(const FakeCall&) const = default;
};
std::ostream& operator<<(std::ostream& os, const FakeCall& call);

class FakePlatform : public Platform {
 public:
  FakePlatform();
  ~FakePlatform() override;

  // --- Setting up the machine --------------------------------------------
  std::wstring moduleFileName = L"C:\\Kestrel\\KestrelEx.exe";
  std::wstring commandLine = L"C:\\Kestrel\\KestrelEx.exe";
  /// Adds a file (and its folders).  Paths fold case; "/" is "\".
  void AddFile(const std::wstring& path, std::string bytes = {});
  /// Adds a profile file holding `text` (stored as UTF-8).
  void AddIni(const std::wstring& path, const std::wstring& text);
  void AddDirectory(const std::wstring& path);
  bool IsDirectory(const std::wstring& path) const;
  /// Marks a file read-only (or not).
  void SetReadOnly(const std::wstring& path, bool readOnly = true);
  bool IsReadOnly(const std::wstring& path) const;
  /// A registry key without values (uninstall entries and the like).
  void AddRegKey(RegRoot root, const std::wstring& subKey);
  /// The bytes of a file, or none.
  const std::string* FileBytes(const std::wstring& path) const;
  /// The variables a REG_EXPAND_SZ value is expanded with when it is read
  /// back (names without regard to case; an unknown one stays as written).
  std::map<std::wstring, std::wstring> environment;
  /// A mutex that another launcher holds.
  void HoldMutex(const std::wstring& name) { heldMutexes_.insert(name); }
  void SetKnownFolder(int csidl, const std::wstring& path) { knownFolders_[csidl] = path; }
  /// Makes an active-desktop step fail: "SetWallpaper", "SetWallpaperOptions",
  /// "ApplyChanges", or "Create" for no object at all.
  std::wstring failingDesktopStep;
  /// The last error a program start leaves for a file: when unset, 0 for a
  /// file that exists (or a URL) and 2 for one that does not.  For
  /// CreateProcessW the key is the program as the command line names it;
  /// a bare name (no folder) counts as found on the search path.
  std::map<std::wstring, std::uint32_t> startErrors;
  /// Called for every program that starts (ShellExecuteW, ShellExecuteExW,
  /// CreateProcessW) with the recorded call; returns the program's exit
  /// code.  A test uses it to give a stand-in program its effects.
  std::function<std::uint32_t(const FakeCall& start)> onStart;
  /// A process that another program started; returns its id.  Ids grow,
  /// and snapshots list processes by id.
  std::uint32_t AddProcess(const std::wstring& exeFile);
  /// The processes still running, by id.
  const std::map<std::uint32_t, std::wstring>& processes() const { return processes_; }
  /// Makes CreateToolhelp32Snapshot fail.
  bool failSnapshot = false;
  /// The primary display: its current mode and the stored one.
  DisplayMode display{32, 1920, 1080, 60, 0};
  DisplayMode storedDisplay{32, 1920, 1080, 60, 0};
  /// What MessageBoxW returns.
  int messageBoxResult = win::kIdOk;
  /// The chooser window: called by RunVersionChooser with the context,
  /// returns the modal result.  Unset: the window is never created (-1).
  std::function<int(LaunchContext& context)> onChooser;
  /// Makes GlobalAllocFixed fail, as it does without memory.
  bool failGlobalAlloc = false;
  /// Gives a file (added with AddFile) a version resource.  Files without
  /// one have a version only when their bytes are a PE image with one.
  void SetFileVersion(const std::wstring& path, const FixedFileInfo& info);

  // --- Reading the record --------------------------------------------------
  /// Every call in order.
  const std::vector<FakeCall>& calls() const { return calls_; }
  /// The calls that change something or take time: everything but queries.
  std::vector<FakeCall> Effects() const;
  /// The calls of one operation.
  std::vector<FakeCall> CallsOf(const std::wstring& op) const;
  /// The messages sent to the debugger output, in order.
  std::vector<std::wstring> Logs() const;
  /// Milliseconds spent in Sleep so far.
  std::uint64_t sleptMs() const { return clockMs_; }
  void ClearRecord() { calls_.clear(); }
  /// Records a call; for fakes of later operations and for test doubles.
  void Record(std::wstring op, std::vector<std::wstring> args = {});

  // --- Platform ------------------------------------------------------------
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
  bool GetExitCodeProcess(Handle process, std::uint32_t* exitCode) override;
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
  /// The stand-in decoder "decodes" bytes that begin with the PNG signature
  /// and a header chunk and end with an end chunk, into an image of the
  /// header's size whose pixels all hold the header's bit depth in each
  /// channel; any other bytes do not decode.
  std::unique_ptr<FixedMemoryBlock> GlobalAllocFixed(std::uint32_t size) override;
  SkinImagePtr DecodeImageFromMemory(FixedMemoryBlock& block) override;
  SkinImagePtr DecodeImageFromFile(const std::wstring& path,
                                   const std::function<bool(std::string_view head)>& admit) override;
  std::unique_ptr<ActiveDesktop> CreateActiveDesktop() override;
  std::string WideToAnsi(std::wstring_view text) override;
  std::wstring AnsiToWide(std::string_view bytes) override;

  /// A registry value as stored: type and bytes.
  using RegValue = RegistryValue;
  /// The value stored under root\subKey\valueName, or null.
  const RegValue* FindRegValue(RegRoot root, const std::wstring& subKey, const std::wstring& valueName) const;

  /// Text forms used in the record.
  static std::wstring WaitName(std::uint32_t milliseconds);
  static std::wstring HexNumber(std::uint32_t value);
  /// Bytes as two-digit hex numbers separated by blanks.
  static std::wstring Hex(std::span<const std::uint8_t> data);
  /// The record's name of a handle ("process3", "snapshot4"), or "invalid".
  std::wstring HandleName(Handle handle) const;

 private:
  static std::wstring Key(const std::wstring& path);
  static std::wstring Parent(const std::wstring& key);
  Handle NewHandle(const std::wstring& kind);
  RegistryTree& Hive(RegRoot root) { return root == RegRoot::kLocalMachine ? localMachine_ : currentUser_; }
  bool Fail(std::uint32_t error);
  /// 3 when the folder of a missing path is missing too, else 2.
  std::uint32_t MissingError(const std::wstring& key) const;
  /// The name as it was added (its case kept), for enumerations.
  std::wstring DisplayName(const std::wstring& key) const;
  std::string ProfileBytes(const std::wstring& file) const;
  /// A profile file's text, or null with the last error 2 (0 when read).
  std::unique_ptr<ProfileText> ReadProfile(const std::wstring& file);
  /// What a shell start of `file` in `directory` fails with: a configured
  /// start error, else 2 for a file that is not there (URLs always start).
  std::uint32_t ShellStartError(const std::wstring& file, const std::wstring& directory) const;
  /// A started program: runs onStart and returns a process handle.
  Handle StartProcess(const FakeCall& start);
  bool NextEntry(Handle snapshot, ProcessEntry& entry);
  /// The version block of a file, or 0 with the last error set.
  bool VersionBlock(const std::wstring& file, std::vector<std::uint8_t>& block);

  std::vector<FakeCall> calls_;
  std::map<std::wstring, std::string> files_;  // folded path -> bytes
  std::set<std::wstring> dirs_;                // folded paths
  std::set<std::wstring> heldMutexes_;
  std::set<std::wstring> ownMutexes_;
  std::map<int, std::wstring> knownFolders_;
  std::map<std::wstring, std::wstring> names_;  // folded path -> path as added
  std::set<std::wstring> readOnly_;             // folded paths
  RegistryTree localMachine_;
  RegistryTree currentUser_;
  std::map<Handle, std::wstring> handles_;
  std::map<Handle, std::pair<RegRoot, std::wstring>> openKeys_;
  std::map<Handle, FolderListing> finds_;
  /// Routines of started threads run when the thread is waited for, so the
  /// record shows them inside the wait; a thread never waited for never runs.
  std::map<Handle, std::function<void()>> pendingThreads_;
  std::map<Handle, std::uint32_t> exitCodes_;                 // process handles
  std::map<Handle, std::uint32_t> openedProcesses_;           // OpenProcess handles -> id
  std::map<Handle, std::pair<std::vector<ProcessEntry>, std::size_t>> snapshots_;
  std::map<std::uint32_t, std::wstring> processes_;           // id -> image name
  std::map<std::wstring, std::vector<std::uint8_t>> versions_;  // folded path -> version block
  std::uint32_t nextProcessId_ = 1000;
  Handle nextHandle_ = 0x100;
  std::uint32_t lastError_ = 0;
  std::uint64_t clockMs_ = 0;
};

}  // namespace kestrel
