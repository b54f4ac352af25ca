// Running programs on the Windows build: CreateProcessW with the machine's
// environment; the single-instance mutex is a real named mutex.

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/model/command_line_args.h"
#include "tests/e2e/e2e_support.h"
#include "util/nocase.h"
#include "util/utf.h"

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

int TempMachine::Run(const std::string& program, const std::vector<std::string>& args) const {
  // The environment of this process without its KESTREL_ variables, plus
  // the machine's own, sorted as Windows keeps an environment block.
  std::vector<std::wstring> env{L"KESTREL_LOG=" + Utf8ToWide(log()), L"KESTREL_RECORD=" + Utf8ToWide(record())};
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
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(words[0].c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        block.data(), nullptr, &startup, &process))
    return -1;
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

int TempMachine::RunHoldingMutex(const std::string& name, const std::string& program,
                                 const std::vector<std::string>& args) const {
  HANDLE mutex = ::CreateMutexW(nullptr, TRUE, Utf8ToWide(name).c_str());
  if (!mutex) return -1;
  int rc = Run(program, args);
  ::CloseHandle(mutex);
  return rc;
}

}  // namespace kestrel::e2e
