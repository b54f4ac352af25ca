#include "prereq/prerequisite_installer.h"

#include "core/fitted_path.h"
#include "core/log.h"
#include "core/split_list.h"
#include "prereq/file_version.h"
#include "text/nocase.h"
#include "text/path_buffer.h"
#include "text/wide_format.h"

namespace kestrel {

namespace {

constexpr std::size_t kMaxPieces = 10;
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

}  // namespace

bool PrerequisiteInstaller::LoadEntries(const std::wstring& configPath, const std::wstring& baseDirectory) {
  baseDirectory_ = baseDirectory;
  if (!os_.PathFileExistsW(configPath)) {
    LogMessage(os_, L"MSG: Install the runtime fails, the configuration file does not exist, code=%d",
               {LastErrorCode(os_)});
    return false;
  }
  for (int n = 1; n <= kLastPrerequisiteSection; ++n) {
    std::wstring section = std::to_wstring(n);
    int checkType = os_.GetPrivateProfileIntW(section, L"checkType", 0, configPath);
    if (checkType < FileVersion || checkType > FileExists) break;  // the list ends at the first gap
    PrerequisiteEntry entry;
    entry.checkType = checkType;
    auto read = [&](const wchar_t* key) { return os_.GetPrivateProfileStringW(section, key, L"", kMaxPath, configPath); };
    entry.checkPath = read(L"checkPath");
    entry.checkVerion = read(L"checkVerion");
    entry.instName = read(L"instName");
    entry.instFile = read(L"instFile");
    entry.instParam = read(L"instParam");
    entries_.push_back(std::move(entry));
  }
  return true;
}

void PrerequisiteInstaller::MarkPresent(PrerequisiteEntry& entry) {
  LogMessage(os_, L"MSG: lib=%s, module already installed.", {entry.instName});
  entry.state = Present;
}

void PrerequisiteInstaller::Check(PrerequisiteEntry& entry) {
  switch (entry.checkType) {
    case FileVersion: {
      // Plain text equality: "1.0" is not "1.0.0.0", and a newer version
      // counts as missing too.
      std::uint32_t high = 0, low = 0;
      if (QueryFileVersion(os_, entry.checkPath, high, low) &&
          EqualsNoCase(FormatWide(L"%u.%u.%u.%u", {high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF}),
                       entry.checkVerion)) {
        MarkPresent(entry);
      } else {
        entry.state = Missing;
      }
      break;
    }
    case UninstallKey:
      for (std::size_t i = 0; i < kMaxPieces; ++i) {
        std::optional<std::wstring> name = ListField(entry.checkPath, i);
        if (!name || name->empty()) break;  // an empty first piece leaves the entry Unchecked
        Handle key = kNoHandle;
        if (os_.RegOpenKeyExW(RegRoot::kLocalMachine, kUninstallKey + *name, win::kKeyRead, &key) == win::kSuccess) {
          os_.RegCloseKey(key);
          MarkPresent(entry);
          break;
        }
        entry.state = Missing;
      }
      break;
    case FileExists:
      for (std::size_t i = 0; i < kMaxPieces; ++i) {
        std::wstring path = ListField(entry.checkPath, i).value_or(L"");
        if (!path.empty() && os_.PathFileExistsW(path)) {
          MarkPresent(entry);
          break;
        }
        entry.state = Missing;
      }
      break;
  }
}

bool PrerequisiteInstaller::CheckAll() {
  for (PrerequisiteEntry& entry : entries_) Check(entry);
  return true;
}

void PrerequisiteInstaller::Install(PrerequisiteEntry& entry) {
  std::wstring path = JoinPath(baseDirectory_, entry.instFile);
  // A path too long for its buffer would be cut into another file's name:
  // such an installer counts as missing.
  if (!PathFits(os_, L"Install", path) || !os_.PathFileExistsW(path)) {
    entry.state = InstallerMissing;
    LogMessage(os_, L"MSG: Install: name=%s, file=%s, param=%s, code=%d",
               {entry.instName, path, entry.instParam, LastErrorCode(os_)});
    return;
  }

  std::size_t dot = path.rfind(L'.');
  std::wstring_view extension = dot == std::wstring::npos ? std::wstring_view(path) : std::wstring_view(path).substr(dot + 1);
  std::wstring_view fileName = PathFindFileName(path);
  std::wstring folder = DirectoryOf(path);

  Handle process = kNoHandle;
  if (EqualsNoCase(extension, L"msi") || EqualsNoCase(fileName, L"dotnetfx.exe")) {
    os_.ShellExecuteExW(win::kSeeMaskNoCloseProcess, L"", path, entry.instParam, L"", win::kSwHide, &process);
  } else {
    // The path is quoted, so "D:\Games\My Game\vc.exe" can never start
    // "D:\Games\My"; the parameters follow exactly as configured.
    std::wstring commandLine = L"\"" + path + L"\" " + entry.instParam;
    os_.CreateProcessW(commandLine, win::kNormalPriorityClass, win::kSwShow, folder, &process);
  }
  // A start that failed has nothing to wait for.
  if (process != kNoHandle) os_.WaitForSingleObject(process, win::kInfinite);
  entry.state = Present;
  LogMessage(os_, L"MSG: Install: name=%s, file=%s, param=%s, code=%d",
             {entry.instName, path, entry.instParam, LastErrorCode(os_)});
  if (process != kNoHandle) os_.CloseHandle(process);
}

bool PrerequisiteInstaller::InstallMissing() {
  for (PrerequisiteEntry& entry : entries_) {
    if (entry.state == Present) continue;
    entry.state = Installing;
    Install(entry);
  }
  return true;
}

void RunPrerequisiteInstaller(Platform& os, const LaunchContext& context) {
  PrerequisiteInstaller installer(os);
  if (installer.LoadEntries(ConfigPath(context), context.baseDir)) {
    installer.CheckAll();
    // Installers started through the shell (packages, .NET) need COM on
    // this thread, in a single-threaded apartment, as the shell asks.
    bool com = os.CoInitializeEx(win::kCoInitApartmentThreaded | win::kCoInitDisableOle1Dde);
    installer.InstallMissing();
    if (com) os.CoUninitialize();
  }
}

}  // namespace kestrel
