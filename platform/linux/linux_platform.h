#pragma once
// The launcher's platform on Linux: a Windows-like machine model under one
// root folder (drive letters, profile files, program start), so that the
// same GamePatch folders and Windows-style paths work unchanged.

#include <sys/stat.h>

#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/linux/ansi_code_page.h"
#include "platform/linux/machine_root.h"
#include "platform/model/profile_text.h"
#include "platform/platform.h"

namespace kestrel {

class LinuxPlatform : public Platform {
 public:
  LinuxPlatform();
  explicit LinuxPlatform(MachineRoot root);
  ~LinuxPlatform() override;

  MachineRoot& machine() { return root_; }

  void InitializeFramework() override;
  std::wstring GetModuleFileNameW() override;
  std::wstring GetCommandLineW() override;
  std::wstring NativePathToWindows(const std::wstring& path) override;
  std::uint32_t GetLastError() override;
  void SetLastError(std::uint32_t code) override;
  void OutputDebugStringW(const std::wstring& message) override;
  bool PathFileExistsW(const std::wstring& path) override;
  bool ReadFileBytes(const std::wstring& path, std::string& bytes) override;
  std::wstring GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                        const std::wstring& defaultValue, std::uint32_t bufferChars,
                                        const std::wstring& file) override;
  int GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, int defaultValue,
                            const std::wstring& file) override;
  std::intptr_t ShellExecuteW(const std::wstring& verb, const std::wstring& file, const std::wstring& parameters,
                              const std::wstring& directory, int showMode) override;
  Handle CreateMutexW(const std::wstring& name, bool initialOwner) override;
  Handle BeginThread(std::function<void()> routine) override;
  std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) override;
  void Sleep(std::uint32_t milliseconds) override;
  std::wstring SHGetSpecialFolderPathW(int csidl) override;
  long SHGetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName, std::uint32_t* type,
                   std::span<std::uint8_t> data, std::uint32_t* dataSize) override;
  long SHSetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName, std::uint32_t type,
                   std::span<const std::uint8_t> data) override;
  std::unique_ptr<ActiveDesktop> CreateActiveDesktop() override;
  std::string WideToAnsi(std::wstring_view text) override;
  std::wstring AnsiToWide(std::string_view bytes) override;

 private:
  /// The parsed profile file at a host path, re-read when it changes; null
  /// when it cannot be read.
  const ProfileText* LoadProfile(const std::wstring& file);

  struct CachedProfile {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    ProfileText text;
  };

  MachineRoot root_;
  AnsiCodePage acp_;
  std::mutex lock_;  // guards the tables below; launcher logic itself is single-threaded
  std::map<std::string, CachedProfile> profiles_;
  std::map<Handle, std::thread> threads_;
  Handle nextHandle_ = 0x100;
};

}  // namespace kestrel
