// Running programs on the Windows build: CreateProcessW with the machine's
// environment; the single-instance mutex is a real named mutex.

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/model/command_line_args.h"
#include "tests/e2e/e2e_support.h"
#include "text/nocase.h"
#include "text/utf.h"

namespace kestrel::e2e {

std::string ProgramFile(const std::string& stem) { return stem + ".exe"; }
bool ProfilesReadBomlessUtf8() { return false; }
std::string StartedName(const std::string& asWritten, const std::string&) { return asWritten; }

std::string ProgramBesideTests(const std::string& stem) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::filesystem::path path = std::filesystem::path(self).parent_path() / Utf8ToWide(ProgramFile(stem));
  return WideToUtf8(path.wstring());
}

std::wstring TempMachine::Windows(const std::string& relative) const { return Utf8ToWide(Host(relative)); }

void TempMachine::Install(const std::string& program, const std::string& relative) const {
  // MinGW's std::filesystem cannot copy onto a name outside the ANSI code
  // page under Wine; the Windows call can.
  if (!::CopyFileW(Utf8ToWide(program).c_str(), Utf8ToWide(Host(relative)).c_str(), FALSE))
    throw std::runtime_error("cannot install " + program + " as " + relative);
}

namespace {

/// Starts `program` with the machine's environment; null when it cannot.
HANDLE Spawn(const TempMachine& m, const std::string& program, const std::vector<std::string>& args,
             const std::string& standardOutput = {}) {
  // The environment of this process without its KESTREL_ variables, plus
  // the machine's own, sorted as Windows keeps an environment block.
  std::vector<std::wstring> env{L"KESTREL_LOG=" + Utf8ToWide(m.log()), L"KESTREL_RECORD=" + Utf8ToWide(m.record())};
  if (wchar_t* block = ::GetEnvironmentStringsW()) {
    for (const wchar_t* e = block; *e; e += wcslen(e) + 1) {
      std::wstring entry = e;
      if (!EqualsNoCase(entry.substr(0, 8), L"KESTREL_")) env.push_back(entry);
    }
    ::FreeEnvironmentStringsW(block);
  }
  std::sort(env.begin(), env.end(), [](const std::wstring& a, const std::wstring& b) {
    return ToUpperNoCase(a) < ToUpperNoCase(b);
  });
  std::wstring block;
  for (const std::wstring& e : env) block += e + L'\0';
  block += L'\0';

  // The command line a menu would pass: the arguments as they are, quoted
  // where they hold a blank.
  std::vector<std::wstring> words{Utf8ToWide(program)};
  for (const std::string& a : args) words.push_back(Utf8ToWide(a));
  std::wstring commandLine = JoinCommandLine(words);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!standardOutput.empty()) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    output = ::CreateFileW(Utf8ToWide(standardOutput).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return nullptr;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  }
  PROCESS_INFORMATION process{};
  BOOL started = ::CreateProcessW(words[0].c_str(), commandLine.data(), nullptr, nullptr, output != INVALID_HANDLE_VALUE,
                                  CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &process);
  if (output != INVALID_HANDLE_VALUE) ::CloseHandle(output);
  if (!started) return nullptr;
  ::CloseHandle(process.hThread);
  return process.hProcess;
}

}  // namespace

int TempMachine::RunProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::string& standardOutput) const {
  HANDLE process = Spawn(*this, program, args, standardOutput);
  if (!process) return -1;
  ::WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process, &code);
  ::CloseHandle(process);
  return static_cast<int>(code);
}

std::unique_ptr<StartedProgram> TempMachine::Start(const std::string& program,
                                                   const std::vector<std::string>& args) const {
  HANDLE process = Spawn(*this, program, args);
  if (!process) throw std::runtime_error("cannot start " + program);
  return std::make_unique<StartedProgram>(reinterpret_cast<std::uintptr_t>(process));
}

bool StartedProgram::Running() {
  if (!ended_ && ::WaitForSingleObject(reinterpret_cast<HANDLE>(id_), 0) != WAIT_TIMEOUT) ended_ = true;
  return !ended_;
}

void StartedProgram::End() {
  // By the handle this test got when it started the program: nothing else
  // can be ended here.
  if (Running()) {
    ::TerminateProcess(reinterpret_cast<HANDLE>(id_), 1);
    ::WaitForSingleObject(reinterpret_cast<HANDLE>(id_), INFINITE);
    ended_ = true;
  }
}

StartedProgram::~StartedProgram() {
  End();
  ::CloseHandle(reinterpret_cast<HANDLE>(id_));
}

void TempMachine::LayOutMachine() const {}  // a Windows PC has its folders

void TempMachine::SetMachineString(const std::wstring& subKey, const std::wstring& name, const std::wstring& value) {
  DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  if (::SHSetValueW(HKEY_LOCAL_MACHINE, subKey.c_str(), name.c_str(), REG_SZ, value.c_str(), bytes) != ERROR_SUCCESS)
    throw std::runtime_error("cannot write the registry");
  undo_.push_back([subKey, name] { ::SHDeleteValueW(HKEY_LOCAL_MACHINE, subKey.c_str(), name.c_str()); });
}

std::wstring TempMachine::UserString(const std::wstring& subKey, const std::wstring& name) const {
  wchar_t data[1024] = {};
  DWORD type = 0, size = sizeof data - sizeof(wchar_t);
  if (::SHGetValueW(HKEY_CURRENT_USER, subKey.c_str(), name.c_str(), &type, data, &size) != ERROR_SUCCESS)
    return std::wstring();
  return data;
}

void TempMachine::RemoveMachineKeyWhenDone(const std::wstring& subKey) {
  undo_.push_back([subKey] { ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, subKey.c_str()); });
}

void TempMachine::RemoveMachineValueWhenDone(const std::wstring& subKey, const std::wstring& name) {
  undo_.push_back([subKey, name] { ::SHDeleteValueW(HKEY_LOCAL_MACHINE, subKey.c_str(), name.c_str()); });
}

void TempMachine::RemoveUserKeyWhenDone(const std::wstring& subKey) {
  undo_.push_back([subKey] { ::SHDeleteKeyW(HKEY_CURRENT_USER, subKey.c_str()); });
}

int TempMachine::DisplayBits(bool stored) const {
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  if (!::EnumDisplaySettingsW(nullptr, stored ? ENUM_REGISTRY_SETTINGS : ENUM_CURRENT_SETTINGS, &mode)) return -1;
  return static_cast<int>(mode.dmBitsPerPel);
}

void TempMachine::RestoreDisplayWhenDone() {
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  if (!::EnumDisplaySettingsW(nullptr, ENUM_REGISTRY_SETTINGS, &mode)) return;
  undo_.push_back([mode]() mutable {
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    ::ChangeDisplaySettingsW(&mode, CDS_UPDATEREGISTRY);
  });
}

std::wstring TempMachine::KnownFolderWindows(int csidl) const {
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) throw std::runtime_error("no known folder");
  return path;
}

std::string TempMachine::KnownFolder(int csidl) const { return WideToUtf8(KnownFolderWindows(csidl)); }

int TempMachine::RunHoldingMutex(const std::string& name, const std::string& program,
                                 const std::vector<std::string>& args) const {
  HANDLE mutex = ::CreateMutexW(nullptr, TRUE, Utf8ToWide(name).c_str());
  if (!mutex) return -1;
  holdingMutex_ = true;
  int rc = Run(program, args);
  holdingMutex_ = false;
  ::CloseHandle(mutex);
  return rc;
}

}  // namespace kestrel::e2e
