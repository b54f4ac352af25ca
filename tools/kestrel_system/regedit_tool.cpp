// regedit: imports and exports registry files against the machine's
// registry store, as the Windows registry editor does on its command line.

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/linux/ansi_code_page.h"
#include "platform/linux/registry_store.h"
#include "platform/model/registry_api.h"
#include "text/nocase.h"
#include "text/utf.h"
#include "tools/kestrel_system/system_tool.h"

namespace kestrel {

namespace {

constexpr int kFailed = 1;

bool IsSwitch(const std::string& arg, char letter) {
  return arg.size() == 2 && (arg[0] == '/' || arg[0] == '-') && (arg[1] | 0x20) == letter;
}

/// The root a key name starts with, the path below it in the hive, and the
/// key's name as an export writes it (the root's full name, the rest as
/// given).
bool SplitRoot(const std::wstring& key, RegRoot& root, std::wstring& path, std::wstring& display) {
  std::wstring rootName;
  std::size_t cut = key.find(L'\\');
  std::wstring head = key.substr(0, cut);
  std::wstring rest = cut == std::wstring::npos ? L"" : key.substr(cut + 1);
  while (!rest.empty() && rest.back() == L'\\') rest.pop_back();
  if (EqualsNoCase(head, L"HKEY_LOCAL_MACHINE") || EqualsNoCase(head, L"HKLM")) {
    root = RegRoot::kLocalMachine;
    rootName = L"HKEY_LOCAL_MACHINE";
  } else if (EqualsNoCase(head, L"HKEY_CURRENT_USER") || EqualsNoCase(head, L"HKCU")) {
    root = RegRoot::kCurrentUser;
    rootName = L"HKEY_CURRENT_USER";
  } else if (EqualsNoCase(head, L"HKEY_CLASSES_ROOT") || EqualsNoCase(head, L"HKCR")) {
    root = RegRoot::kLocalMachine;
    rootName = L"HKEY_CLASSES_ROOT";
    path = rest.empty() ? L"SOFTWARE\\Classes" : L"SOFTWARE\\Classes\\" + rest;
    display = rest.empty() ? rootName : rootName + L"\\" + rest;
    return true;
  } else {
    return false;
  }
  path = rest;
  display = rest.empty() ? rootName : rootName + L"\\" + rest;
  return true;
}

void CopyBranch(const RegistryKey& from, RegistryTree& to, const std::wstring& path) {
  to.CreateKey(path);
  for (const auto& [name, value] : from.values()) to.SetValue(path, name, value);
  for (const auto& entry : from.subkeys())
    CopyBranch(*entry.second, to, path.empty() ? entry.second->name() : path + L"\\" + entry.second->name());
}

bool WriteHostFile(const std::string& host, const std::string& bytes) {
  std::ofstream out(host, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out.flush());
}

int Import(RegistryStore& store, MachineRoot& root, const std::string& file, ToolContext& c) {
  std::string host;
  std::uint32_t error;
  std::ifstream in;
  if (root.ToHost(Utf8ToWide(file), host, error)) in.open(host, std::ios::binary);
  if (!in) {
    c.err << "Cannot import " << file << ": Error opening the file.\n";
    return kFailed;
  }
  std::stringstream bytes;
  bytes << in.rdbuf();
  RegFileImport result = store.Import(bytes.str(), error);
  if (!result.recognized) {
    c.err << "Cannot import " << file << ": The specified file is not a registry script.\n";
    return kFailed;
  }
  for (const RegFileProblem& p : result.problems)
    c.err << "regedit: " << file << ": line " << p.line << ": " << WideToUtf8(p.reason) << "\n";
  if (error != 0) {
    c.err << "Cannot import " << file << ": Error accessing the registry (error " << error << ").\n";
    return kFailed;
  }
  return result.problems.empty() ? 0 : kFailed;
}

int Export(RegistryStore& store, MachineRoot& root, const std::string& file, const std::string& key,
           ToolContext& c) {
  const std::wstring header = L"Windows Registry Editor Version 5.00\r\n";
  std::wstring text;
  if (key.empty()) {
    // The whole registry: both hives under one header.
    for (RegRoot hive : {RegRoot::kLocalMachine, RegRoot::kCurrentUser}) {
      std::string bytes;
      store.ReadBranch(hive, L"", [&](const RegistryKey* all) {
        RegistryTree copy;
        if (all) CopyBranch(*all, copy, L"");
        bytes = ExportRegFile(copy, RegRootName(hive));
      });
      std::wstring part = Utf16LeToWide(bytes.substr(2));
      if (text.empty()) text = part.substr(0, part.size() - 2);
      else text += part.substr(header.size());
    }
  } else {
    RegRoot hive;
    std::wstring path, full;
    if (!SplitRoot(Utf8ToWide(key), hive, path, full)) {
      c.err << "Cannot export " << file << ": Error accessing the registry.\n";
      return kFailed;
    }
    bool found = false;
    std::string bytes;
    store.ReadBranch(hive, path, [&](const RegistryKey* branch) {
      if (!branch) return;
      found = true;
      RegistryTree copy;
      CopyBranch(*branch, copy, L"");
      bytes = ExportRegFile(copy, full);
    });
    if (!found) {
      c.err << "Cannot export " << file << ": Error accessing the registry.\n";
      return kFailed;
    }
    text = Utf16LeToWide(bytes.substr(2));
  }
  std::string host;
  std::uint32_t error;
  if (!root.ToHost(Utf8ToWide(file), host, error) || !WriteHostFile(host, "\xFF\xFE" + WideToUtf16Le(text))) {
    c.err << "Cannot export " << file << ": Error opening the file.\n";
    return kFailed;
  }
  return 0;
}

}  // namespace

int RunRegedit(const std::vector<std::string>& args, ToolContext& c) {
  bool exportMode = false;
  std::vector<std::string> rest;
  for (const std::string& a : args) {
    if (IsSwitch(a, 's')) continue;  // silent: there is no dialogue here anyway
    if (IsSwitch(a, 'e')) exportMode = true;
    else rest.push_back(a);
  }
  if (rest.empty() || (!exportMode && rest.size() > 1) || (exportMode && rest.size() > 2)) {
    c.err << "usage: regedit [/s] FILE | regedit /e FILE [KEY]\n";
    return kFailed;
  }
  if (!c.root.Ensure()) {
    c.err << "regedit: the machine root " << c.root.root() << " cannot be made\n";
    return kFailed;
  }
  AnsiCodePage acp;
  RegistryStore store(
      c.root.root(), [&](const std::wstring& message) { c.err << WideToUtf8(message) << "\n"; },
      [&](std::string_view bytes) { return acp.ToWide(bytes); });
  if (exportMode) return Export(store, c.root, rest[0], rest.size() > 1 ? rest[1] : std::string(), c);
  return Import(store, c.root, rest[0], c);
}

}  // namespace kestrel
