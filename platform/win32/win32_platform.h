#pragma once
// The launcher's platform on Windows: every operation is the Windows call
// it is named after, with the arguments the launcher has always passed.
// Each operation leaves the thread's last error as that call left it, so a
// log line's "code=%d" shows the call's own result.

#include "platform/platform.h"

namespace kestrel {

class Win32Platform : public Platform {
 public:
  Win32Platform() = default;
  ~Win32Platform() override = default;

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
  std::uintptr_t gdiplusToken_ = 0;  ///< the graphics library is never shut down explicitly
};

}  // namespace kestrel
