#pragma once
// A decorator over the real platform that lets the launcher's own logic
// run without touching the machine.  Reads pass through (files, profiles,
// registry, folder listings, the process snapshot); every write, start,
// kill and wait is recorded as a plan step and answered as if it had
// succeeded.  What the dry run has "written", "created" or "deleted" is
// kept in an overlay that later reads see, so that a step which reads back
// what an earlier one wrote takes the branch the real launch takes.
//
// In recording mode the same steps are recorded and every operation is
// carried out on the real platform as well: a real launch whose effects
// can be compared with the dry run's plan.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include "check/plan.h"
#include "platform/platform.h"

namespace kestrel::check {

class DryRunPlatform : public Platform {
 public:
  enum class Mode { kDryRun, kRecord };

  DryRunPlatform(Platform& real, Mode mode);
  ~DryRunPlatform() override;

  /// What GetCommandLineW and GetModuleFileNameW answer instead of the
  /// real ones (the launch being checked, not the checker's own).
  void SetCommandLine(std::wstring line) { commandLine_ = std::move(line); }
  void SetModuleFileName(std::wstring path) { moduleFileName_ = std::move(path); }
  /// Called on the launcher's worker thread before the prerequisite
  /// installer's routine, to describe its checks; returns the step.
  void SetWorkerAnnotator(std::function<PlanStep()> annotate) { annotateWorker_ = std::move(annotate); }
  /// Called instead of opening the chooser; the step it returns is
  /// recorded and its "result" field is the modal result.
  void SetChooserAnnotator(std::function<PlanStep(LaunchContext&)> annotate) { annotateChooser_ = std::move(annotate); }

  const Plan& plan() const { return plan_; }
  Plan TakePlan() { return std::move(plan_); }
  Mode mode() const { return mode_; }

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
  std::uint32_t GetPrivateProfileSectionW(const std::wstring& section, std::wstring& buffer,
                                          std::uint32_t bufferChars, const std::wstring& file) override;
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
  bool VerQueryValueW(std::span<const std::uint8_t> block, const std::wstring& subBlock, FixedFileInfo& info) override;
  std::unique_ptr<FixedMemoryBlock> GlobalAllocFixed(std::uint32_t size) override;
  SkinImagePtr DecodeImageFromMemory(FixedMemoryBlock& block) override;
  SkinImagePtr DecodeImageFromFile(const std::wstring& path,
                                   const std::function<bool(std::string_view head)>& admit) override;
  std::unique_ptr<ActiveDesktop> CreateActiveDesktop() override;
  std::string WideToAnsi(std::wstring_view text) override;
  std::wstring AnsiToWide(std::string_view bytes) override;

  /// Records a step (thread-safe; the worker thread records too).
  void Record(PlanStep step);

 private:
  bool dry() const { return mode_ == Mode::kDryRun; }
  /// The path with a drive the dry run has mapped replaced by its folder.
  std::wstring Resolve(const std::wstring& path) const;
  /// What the dry run has done to a path.
  struct Entry {
    enum Kind { kFile, kFolder, kDeleted };
    explicit Entry(Kind entryKind = kFile) : kind(entryKind) {}
    Kind kind;
    std::wstring path;    ///< as the launcher named it, for listings
    std::string bytes;    ///< a written file's contents
    std::wstring source;  ///< a copied file's source, read when asked
  };
  /// What the overlay knows of a path: nullptr when nothing.
  const Entry* Overlay(const std::wstring& path) const;
  void SetOverlay(const std::wstring& path, Entry entry);
  /// A dry run's DeleteFileW (kind kFile) or RemoveDirectoryW (kFolder):
  /// the error a real one would give, else the path marked deleted.
  bool DryDelete(const std::wstring& path, Entry::Kind kind);
  /// Whether a file or folder is there, after the dry run's own changes.
  bool Exists(const std::wstring& path);
  /// A file's bytes after the dry run's own changes; false when missing.
  bool CurrentBytes(const std::wstring& path, std::string& bytes);
  /// A new fake handle of the dry run's own.
  Handle NewHandle(std::uint32_t processId = 0);
  bool OwnHandle(Handle handle) const;
  /// Records a program start; false when a dry run knows it would fail.
  bool RecordStart(const std::wstring& how, const std::wstring& file, const std::wstring& parameters,
                   const std::wstring& directory, int showMode, bool waitable, std::optional<bool> realResult);
  void NoteSubst(const std::wstring& file, const std::wstring& parameters, bool ok);
  void NoteRegistryImport(const std::wstring& file, const std::wstring& parameters, bool ok);

  Platform& real_;
  Mode mode_;
  std::optional<std::wstring> commandLine_, moduleFileName_;
  std::function<PlanStep()> annotateWorker_;
  std::function<PlanStep(LaunchContext&)> annotateChooser_;

  mutable std::recursive_mutex mutex_;
  Plan plan_;
  std::map<std::wstring, Entry> overlay_;  ///< by folded, resolved path
  std::map<wchar_t, std::wstring> mappedDrives_;  ///< letter -> folder, mapped by the dry run
  std::map<Handle, std::unique_ptr<char>> ownHandles_;
  std::map<Handle, std::uint32_t> handleProcessIds_;
  std::map<Handle, std::size_t> startSteps_;  ///< process handle -> its start step
  std::map<std::uint32_t, std::wstring> processNames_;  ///< from the snapshots read
  struct Listing {
    std::vector<FindDataW> entries;
    std::size_t next = 0;
  };
  std::map<Handle, Listing> listings_;  ///< folder listings with the overlay's changes
};

}  // namespace kestrel::check
