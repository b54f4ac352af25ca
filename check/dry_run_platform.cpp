#include "check/dry_run_platform.h"

#include "platform/model/logical_drives.h"
#include "platform/model/profile_writer.h"
#include "platform/model/reg_file.h"
#include "platform/model/registry_api.h"
#include "platform/model/registry_tree.h"
#include "platform/model/wildcard.h"
#include "text/nocase.h"
#include "text/path_buffer.h"
#include "text/utf.h"

namespace kestrel::check {

namespace {

std::string Utf8(std::wstring_view text) { return WideToUtf8(text); }

std::string ShowName(int showMode) {
  switch (showMode) {
    case win::kSwHide: return "hidden";
    case win::kSwShowNormal: return "normal";
    case win::kSwShow: return "shown";
    case win::kSwShowMinimized: return "minimized";
    default: return std::to_string(showMode);
  }
}

std::string TypeName(std::uint32_t type) {
  switch (type) {
    case win::kRegSz: return "REG_SZ";
    case win::kRegExpandSz: return "REG_EXPAND_SZ";
    case win::kRegBinary: return "REG_BINARY";
    case win::kRegDword: return "REG_DWORD";
    case win::kRegMultiSz: return "REG_MULTI_SZ";
    case win::kRegQword: return "REG_QWORD";
    default: return "type " + std::to_string(type);
  }
}

/// A value's data as people read it: text for the string types, a number
/// for a DWORD, hex bytes otherwise.
std::string DataText(std::uint32_t type, std::span<const std::uint8_t> data) {
  if (type == win::kRegSz || type == win::kRegExpandSz || type == win::kRegMultiSz) {
    std::wstring text = Utf16LeToWide(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    if (type == win::kRegMultiSz)
      for (wchar_t& c : text)
        if (c == L'\0') c = L'|';
    return Utf8(text);
  }
  if (type == win::kRegDword && data.size() == 4)
    return std::to_string(std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 | std::uint32_t{data[2]} << 16 |
                          std::uint32_t{data[3]} << 24);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < data.size() && i < 64; ++i) {
    if (i) hex += ',';
    hex += kHex[data[i] >> 4];
    hex += kHex[data[i] & 15];
  }
  if (data.size() > 64) hex += ",...";
  return "hex:" + hex;
}

/// The bytes a write changed: "a..b of N -> M bytes" (old range, new length).
std::string ChangedRange(std::string_view before, std::string_view after, bool existed) {
  if (!existed) return "new file, " + std::to_string(after.size()) + " bytes";
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
    ++suffix;
  if (prefix == before.size() && prefix == after.size()) return "unchanged";
  return "bytes " + std::to_string(prefix) + ".." + std::to_string(before.size() - suffix) + " of " +
         std::to_string(before.size()) + " replaced by " + std::to_string(after.size() - suffix - prefix) + " bytes";
}

/// The program a command line starts: its quoted first part, or its
/// first word.
std::wstring ProgramOf(const std::wstring& commandLine) {
  if (!commandLine.empty() && commandLine[0] == L'"') {
    std::size_t end = commandLine.find(L'"', 1);
    return commandLine.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
  }
  return commandLine.substr(0, commandLine.find(L' '));
}

/// A full Windows path ("X:\..." or "\\server\..."): one whose existence
/// decides the start.  Bare names are searched for the Windows way.
bool IsFullPath(std::wstring_view path) {
  return (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') || path.starts_with(L"\\\\");
}

bool NamedAs(std::wstring_view file, std::wstring_view stem) {
  std::wstring_view name = PathFindFileName(file);
  return EqualsNoCase(name, stem) || EqualsNoCase(name, std::wstring(stem) + L".exe");
}

/// An active desktop whose steps are recorded, and carried out when it
/// wraps a real one.
class RecordingDesktop : public ActiveDesktop {
 public:
  RecordingDesktop(DryRunPlatform& os, std::unique_ptr<ActiveDesktop> real) : os_(os), real_(std::move(real)) {}
  bool SetWallpaper(const std::wstring& file) override {
    bool ok = real_ ? real_->SetWallpaper(file) : true;
    os_.Record({"wallpaper", {{"file", Utf8(file)}}, ok});
    return ok;
  }
  bool SetWallpaperOptions(int style) override {
    bool ok = real_ ? real_->SetWallpaperOptions(style) : true;
    os_.Record({"wallpaper", {{"style", std::to_string(style)}}, ok});
    return ok;
  }
  bool ApplyChanges(std::uint32_t flags) override {
    bool ok = real_ ? real_->ApplyChanges(flags) : true;
    os_.Record({"wallpaper", {{"apply", std::to_string(flags)}}, ok});
    return ok;
  }

 private:
  DryRunPlatform& os_;
  std::unique_ptr<ActiveDesktop> real_;
};

/// The last error as the launcher's own operation left it, put back after
/// the reads the recorder makes for its plan.
class KeepLastError {
 public:
  explicit KeepLastError(Platform& os) : os_(os), code_(os.GetLastError()) {}
  ~KeepLastError() { os_.SetLastError(code_); }

 private:
  Platform& os_;
  std::uint32_t code_;
};

void ListValues(const RegistryKey& key, const std::string& path, std::vector<std::string>& notes) {
  for (const auto& [name, value] : key.values())
    notes.push_back(path + ": " + (name.empty() ? std::string("@") : Utf8(name)) + " (" + TypeName(value.type) +
                    ") = " + DataText(value.type, value.data));
  for (const auto& [folded, sub] : key.subkeys()) ListValues(*sub, path + "\\" + Utf8(sub->name()), notes);
}

}  // namespace

DryRunPlatform::DryRunPlatform(Platform& real, Mode mode) : real_(real), mode_(mode) {}
DryRunPlatform::~DryRunPlatform() = default;

void DryRunPlatform::Record(PlanStep step) {
  std::lock_guard lock(mutex_);
  plan_.push_back(std::move(step));
}

// --- Overlay ------------------------------------------------------------------

std::wstring DryRunPlatform::Resolve(const std::wstring& path) const {
  std::lock_guard lock(mutex_);
  if (path.size() < 2 || path[1] != L':') return path;
  auto mapped = mappedDrives_.find(static_cast<wchar_t>(FoldCase(path[0])));
  if (mapped == mappedDrives_.end()) return path;
  std::wstring folder = mapped->second;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder + path.substr(2);
}

namespace {
// One key per place: case folded, doubled backslashes (a folder joined
// with a name that starts with one) and a closing one dropped.
std::wstring OverlayKey(const std::wstring& path) {
  std::wstring key;
  for (std::size_t i = 0; i < path.size(); ++i)
    if (!(path[i] == L'\\' && i > 1 && path[i - 1] == L'\\')) key += path[i];
  while (key.size() > 3 && key.back() == L'\\') key.pop_back();
  return ToUpperNoCase(key);
}
}  // namespace

const DryRunPlatform::Entry* DryRunPlatform::Overlay(const std::wstring& path) const {
  std::lock_guard lock(mutex_);
  if (overlay_.empty()) return nullptr;
  std::wstring key = OverlayKey(Resolve(path));
  auto found = overlay_.find(key);
  if (found != overlay_.end()) return &found->second;
  // A path below a deleted folder is gone with it.
  for (std::size_t cut = key.rfind(L'\\'); cut != std::wstring::npos && cut > 2; cut = key.rfind(L'\\', cut - 1)) {
    auto parent = overlay_.find(key.substr(0, cut));
    if (parent != overlay_.end()) return parent->second.kind == Entry::kDeleted ? &parent->second : nullptr;
  }
  return nullptr;
}

void DryRunPlatform::SetOverlay(const std::wstring& path, Entry entry) {
  std::lock_guard lock(mutex_);
  entry.path = Resolve(path);
  overlay_[OverlayKey(entry.path)] = std::move(entry);
}

bool DryRunPlatform::Exists(const std::wstring& path) {
  if (const Entry* entry = Overlay(path)) return entry->kind != Entry::kDeleted;
  return real_.PathFileExistsW(Resolve(path));
}

bool DryRunPlatform::CurrentBytes(const std::wstring& path, std::string& bytes) {
  if (const Entry* entry = Overlay(path)) {
    if (entry->kind != Entry::kFile) {
      real_.SetLastError(entry->kind == Entry::kDeleted ? win::kFileNotFound : win::kAccessDenied);
      return false;
    }
    if (entry->source.empty()) {
      bytes = entry->bytes;
      return true;
    }
    return CurrentBytes(entry->source, bytes);
  }
  return real_.ReadFileBytes(Resolve(path), bytes);
}

Handle DryRunPlatform::NewHandle(std::uint32_t processId) {
  std::lock_guard lock(mutex_);
  // The address of a byte of our own can be no handle of the real platform.
  auto token = std::make_unique<char>();
  Handle handle = reinterpret_cast<Handle>(token.get());
  ownHandles_[handle] = std::move(token);
  if (processId) handleProcessIds_[handle] = processId;
  return handle;
}

bool DryRunPlatform::OwnHandle(Handle handle) const {
  std::lock_guard lock(mutex_);
  return ownHandles_.contains(handle);
}

// --- Start-up and diagnostics ---------------------------------------------------

void DryRunPlatform::InitializeFramework() { real_.InitializeFramework(); }
std::wstring DryRunPlatform::GetModuleFileNameW() {
  return moduleFileName_ ? FitBuffer(*moduleFileName_) : real_.GetModuleFileNameW();
}
std::wstring DryRunPlatform::GetCommandLineW() { return commandLine_ ? *commandLine_ : real_.GetCommandLineW(); }
std::wstring DryRunPlatform::NativePathToWindows(const std::wstring& path) { return real_.NativePathToWindows(path); }
std::uint32_t DryRunPlatform::GetLastError() { return real_.GetLastError(); }
void DryRunPlatform::SetLastError(std::uint32_t code) { real_.SetLastError(code); }

void DryRunPlatform::OutputDebugStringW(const std::wstring& message) {
  // The real diagnostics append to a log file: a write the dry run keeps
  // to its plan.
  if (!dry()) real_.OutputDebugStringW(message);
  Record({"log", {{"message", Utf8(message)}}});
}

// --- Files ------------------------------------------------------------------------

bool DryRunPlatform::PathFileExistsW(const std::wstring& path) {
  if (!dry()) return real_.PathFileExistsW(path);
  if (const Entry* entry = Overlay(path)) {
    if (entry->kind == Entry::kDeleted) real_.SetLastError(win::kFileNotFound);
    return entry->kind != Entry::kDeleted;
  }
  return real_.PathFileExistsW(Resolve(path));
}

bool DryRunPlatform::ReadFileBytes(const std::wstring& path, std::string& bytes) {
  return dry() ? CurrentBytes(path, bytes) : real_.ReadFileBytes(path, bytes);
}

bool DryRunPlatform::PathIsDirectoryW(const std::wstring& path) {
  if (!dry()) return real_.PathIsDirectoryW(path);
  if (const Entry* entry = Overlay(path)) return entry->kind == Entry::kFolder;
  return real_.PathIsDirectoryW(Resolve(path));
}

std::uint32_t DryRunPlatform::GetFileAttributesW(const std::wstring& path) {
  if (!dry()) return real_.GetFileAttributesW(path);
  if (const Entry* entry = Overlay(path)) {
    switch (entry->kind) {
      case Entry::kFile: return win::kFileAttributeArchive;
      case Entry::kFolder: return win::kFileAttributeDirectory;
      case Entry::kDeleted: real_.SetLastError(win::kFileNotFound); return win::kInvalidFileAttributes;
    }
  }
  return real_.GetFileAttributesW(Resolve(path));
}

bool DryRunPlatform::SetFileAttributesW(const std::wstring& path, std::uint32_t attributes) {
  bool ok;
  if (dry()) {
    ok = Exists(path);
    real_.SetLastError(ok ? win::kSuccess : win::kFileNotFound);
  } else {
    ok = real_.SetFileAttributesW(path, attributes);
  }
  Record({"set-attributes", {{"path", Utf8(path)}, {"attributes", std::to_string(attributes)}}, ok});
  return ok;
}

Handle DryRunPlatform::FindFirstFileW(const std::wstring& pattern, FindDataW& data) {
  if (!dry()) return real_.FindFirstFileW(pattern, data);
  // The real listing without what the dry run deleted, with what it made.
  std::size_t cut = pattern.rfind(L'\\');
  std::wstring folder = cut == std::wstring::npos ? std::wstring() : pattern.substr(0, cut + 1);
  std::wstring namePattern = pattern.substr(folder.size());
  Listing listing;
  FindDataW found;
  Handle real = real_.FindFirstFileW(Resolve(pattern), found);
  std::uint32_t realError = real == kInvalidHandleValue ? real_.GetLastError() : win::kSuccess;
  if (real != kInvalidHandleValue) {
    do {
      const Entry* entry = found.fileName == L"." || found.fileName == L".." ? nullptr : Overlay(folder + found.fileName);
      if (!entry || entry->kind != Entry::kDeleted) listing.entries.push_back(found);
    } while (real_.FindNextFileW(real, found));
    real_.FindClose(real);
  }
  {
    std::lock_guard lock(mutex_);
    const std::wstring folderKey = OverlayKey(Resolve(folder));
    for (const auto& [key, entry] : overlay_) {
      if (entry.kind == Entry::kDeleted || key.size() <= folderKey.size() + 1) continue;
      std::size_t nameStart = key.rfind(L'\\') + 1;
      if (key.compare(0, nameStart, folderKey + (folderKey.ends_with(L'\\') ? L"" : L"\\")) != 0) continue;
      std::wstring name = entry.path.substr(entry.path.rfind(L'\\') + 1);
      if (!MatchesWildcard(namePattern, name)) continue;
      bool listed = false;
      for (const FindDataW& e : listing.entries) listed = listed || EqualsNoCase(e.fileName, name);
      if (listed) continue;
      FindDataW made;
      made.fileName = name;
      made.attributes = entry.kind == Entry::kFolder ? win::kFileAttributeDirectory : win::kFileAttributeArchive;
      made.fileSize = entry.bytes.size();
      listing.entries.push_back(std::move(made));
    }
  }
  if (listing.entries.empty()) {
    real_.SetLastError(realError == win::kPathNotFound && !Exists(folder) ? win::kPathNotFound : win::kFileNotFound);
    return kInvalidHandleValue;
  }
  data = listing.entries[0];
  listing.next = 1;
  Handle handle = NewHandle();
  std::lock_guard lock(mutex_);
  listings_[handle] = std::move(listing);
  return handle;
}

bool DryRunPlatform::FindNextFileW(Handle find, FindDataW& data) {
  {
    std::lock_guard lock(mutex_);
    auto listing = listings_.find(find);
    if (listing != listings_.end()) {
      if (listing->second.next >= listing->second.entries.size()) {
        real_.SetLastError(win::kNoMoreFiles);
        return false;
      }
      data = listing->second.entries[listing->second.next++];
      return true;
    }
  }
  return real_.FindNextFileW(find, data);
}

bool DryRunPlatform::FindClose(Handle find) {
  std::lock_guard lock(mutex_);
  if (listings_.erase(find)) {
    ownHandles_.erase(find);
    return true;
  }
  return real_.FindClose(find);
}

bool DryRunPlatform::CopyFileW(const std::wstring& existingFile, const std::wstring& newFile, bool failIfExists) {
  bool ok;
  if (dry()) {
    std::uint32_t target = GetFileAttributesW(newFile);
    if (!Exists(existingFile) || PathIsDirectoryW(existingFile)) {
      real_.SetLastError(win::kFileNotFound);
      ok = false;
    } else if (target != win::kInvalidFileAttributes && failIfExists) {
      real_.SetLastError(win::kFileExists);
      ok = false;
    } else if (target != win::kInvalidFileAttributes &&
               (target & (win::kFileAttributeReadonly | win::kFileAttributeDirectory))) {
      real_.SetLastError(win::kAccessDenied);
      ok = false;
    } else {
      Entry copy;
      copy.source = Resolve(existingFile);
      SetOverlay(newFile, std::move(copy));
      real_.SetLastError(win::kSuccess);
      ok = true;
    }
  } else {
    ok = real_.CopyFileW(existingFile, newFile, failIfExists);
  }
  Record({"copy-file",
          {{"from", Utf8(existingFile)}, {"to", Utf8(newFile)}, {"replace", failIfExists ? "no" : "yes"}},
          ok});
  return ok;
}

bool DryRunPlatform::CreateDirectoryW(const std::wstring& path) {
  bool ok;
  if (dry()) {
    std::wstring parent = path;
    while (parent.size() > 3 && parent.back() == L'\\') parent.pop_back();
    PathRemoveFileSpec(parent);
    if (Exists(path)) {
      real_.SetLastError(win::kAlreadyExists);
      ok = false;
    } else if (!parent.empty() && !Exists(parent)) {
      real_.SetLastError(win::kPathNotFound);
      ok = false;
    } else {
      SetOverlay(path, Entry(Entry::kFolder));
      real_.SetLastError(win::kSuccess);
      ok = true;
    }
  } else {
    ok = real_.CreateDirectoryW(path);
  }
  Record({"create-folder", {{"path", Utf8(path)}}, ok});
  return ok;
}

bool DryRunPlatform::DeleteFileW(const std::wstring& path) {
  bool ok = dry() ? DryDelete(path, Entry::kFile) : real_.DeleteFileW(path);
  Record({"delete-file", {{"path", Utf8(path)}}, ok});
  return ok;
}

bool DryRunPlatform::RemoveDirectoryW(const std::wstring& path) {
  bool ok = dry() ? DryDelete(path, Entry::kFolder) : real_.RemoveDirectoryW(path);
  Record({"remove-folder", {{"path", Utf8(path)}}, ok});
  return ok;
}

bool DryRunPlatform::DryDelete(const std::wstring& path, Entry::Kind kind) {
  std::uint32_t attributes = GetFileAttributesW(path);
  if (attributes == win::kInvalidFileAttributes) return false;  // the error is set
  const bool folder = (attributes & win::kFileAttributeDirectory) != 0;
  // DeleteFileW refuses a folder or a read-only file; RemoveDirectoryW
  // refuses what is not a folder.
  std::uint32_t refused = win::kSuccess;
  if (kind == Entry::kFile && (folder || (attributes & win::kFileAttributeReadonly))) refused = win::kAccessDenied;
  if (kind == Entry::kFolder && !folder) refused = win::kDirectory;
  real_.SetLastError(refused);
  if (refused != win::kSuccess) return false;
  SetOverlay(path, Entry(Entry::kDeleted));
  return true;
}

bool DryRunPlatform::WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  bool ok;
  if (dry()) {
    std::wstring parent = path;
    PathRemoveFileSpec(parent);
    if (PathIsDirectoryW(path)) {
      real_.SetLastError(win::kAccessDenied);
      ok = false;
    } else if (!parent.empty() && !Exists(parent)) {
      real_.SetLastError(win::kPathNotFound);
      ok = false;
    } else {
      Entry file;
      file.bytes = std::string(bytes);
      SetOverlay(path, std::move(file));
      real_.SetLastError(win::kSuccess);
      ok = true;
    }
  } else {
    ok = real_.WriteFileBytes(path, bytes);
  }
  Record({"write-file", {{"path", Utf8(path)}, {"bytes", std::to_string(bytes.size())}}, ok});
  return ok;
}

// --- Drives ---------------------------------------------------------------------

std::uint32_t DryRunPlatform::GetLogicalDriveStringsW(std::uint32_t bufferChars, std::wstring& buffer) {
  if (!dry()) return real_.GetLogicalDriveStringsW(bufferChars, buffer);
  // The real drives with the letters the dry run has mapped.
  std::wstring real;
  const std::uint32_t needed = real_.GetLogicalDriveStringsW(0, real);
  real_.GetLogicalDriveStringsW(needed, real);
  bool present[26] = {};
  for (std::size_t at = 0; at < real.size(); at += 4)
    if (real[at] >= L'A' && real[at] <= L'Z') present[real[at] - L'A'] = true;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [letter, folder] : mappedDrives_)
      if (letter >= L'A' && letter <= L'Z') present[letter - L'A'] = true;
  }
  std::vector<wchar_t> letters;
  for (int i = 0; i < 26; ++i)
    if (present[i]) letters.push_back(static_cast<wchar_t>(L'A' + i));
  return LogicalDriveStrings(letters, bufferChars, buffer);
}

// --- Profiles ---------------------------------------------------------------------

std::wstring DryRunPlatform::GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                      const std::wstring& defaultValue, std::uint32_t bufferChars,
                                                      const std::wstring& file) {
  return real_.GetPrivateProfileStringW(section, key, defaultValue, bufferChars, dry() ? Resolve(file) : file);
}

int DryRunPlatform::GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, int defaultValue,
                                          const std::wstring& file) {
  return real_.GetPrivateProfileIntW(section, key, defaultValue, dry() ? Resolve(file) : file);
}

std::uint32_t DryRunPlatform::GetPrivateProfileSectionW(const std::wstring& section, std::wstring& buffer,
                                                        std::uint32_t bufferChars, const std::wstring& file) {
  return real_.GetPrivateProfileSectionW(section, buffer, bufferChars, dry() ? Resolve(file) : file);
}

bool DryRunPlatform::WritePrivateProfileStringW(const std::wstring& section, const std::optional<std::wstring>& key,
                                                const std::optional<std::wstring>& value, const std::wstring& file) {
  std::string before, after;
  bool existed;
  {
    KeepLastError keep(real_);
    existed = dry() ? CurrentBytes(file, before) : real_.ReadFileBytes(file, before);
  }
  bool ok;
  if (dry()) {
    AnsiCodec ansi{[this](std::string_view b) { return real_.AnsiToWide(b); },
                   [this](std::wstring_view t) { return real_.WideToAnsi(t); }};
    std::optional<std::string> written = ProfileWrite(before, section, key, value, ansi);
    ok = written.has_value();
    if (ok) {
      after = *written;
      Entry entry;
      entry.bytes = after;
      SetOverlay(file, std::move(entry));
    }
    real_.SetLastError(ok ? win::kSuccess : win::kInvalidParameter);
  } else {
    ok = real_.WritePrivateProfileStringW(section, key, value, file);
    KeepLastError keep(real_);
    real_.ReadFileBytes(file, after);
  }
  Record({"write-profile",
          {{"file", Utf8(file)},
           {"section", Utf8(section)},
           {"key", key ? Utf8(*key) : "(the whole section)"},
           {"value", value ? Utf8(*value) : "(removed)"},
           {"change", ok ? ChangedRange(before, after, existed) : "none"}},
          ok});
  return ok;
}

// --- Programs ---------------------------------------------------------------------

bool DryRunPlatform::RecordStart(const std::wstring& how, const std::wstring& file, const std::wstring& parameters,
                                 const std::wstring& directory, int showMode, bool waitable,
                                 std::optional<bool> realResult) {
  bool ok;
  if (realResult) {
    ok = *realResult;
  } else {
    // A program named by its full path that is not there cannot start.
    ok = !IsFullPath(file) || Exists(file);
    real_.SetLastError(ok ? win::kSuccess : win::kFileNotFound);
  }
  PlanStep step{"start",
                {{"how", Utf8(how)},
                 {"file", Utf8(file)},
                 {"parameters", Utf8(parameters)},
                 {"folder", Utf8(directory)},
                 {"window", ShowName(showMode)}},
                ok};
  (void)waitable;
  Record(std::move(step));
  NoteSubst(file, parameters, ok);
  NoteRegistryImport(file, parameters, ok);
  return ok;
}

void DryRunPlatform::NoteSubst(const std::wstring& file, const std::wstring& parameters, bool ok) {
  if (!ok || !NamedAs(file, L"subst") || parameters.size() < 2 || parameters[1] != L':') return;
  wchar_t letter = static_cast<wchar_t>(FoldCase(parameters[0]));
  std::wstring rest = parameters.substr(2);
  while (!rest.empty() && rest.front() == L' ') rest.erase(0, 1);
  std::string drive = Utf8(parameters.substr(0, 2));
  if (EqualsNoCase(rest, L"/D")) {
    Record({"drive-remove", {{"drive", drive}}});
    std::lock_guard lock(mutex_);
    mappedDrives_.erase(letter);
    return;
  }
  std::wstring folder = rest;
  if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') folder = folder.substr(1, folder.size() - 2);
  Record({"drive-map", {{"drive", drive}, {"folder", Utf8(folder)}}});
  // Later steps reach the game through the new letter.
  if (dry()) {
    std::lock_guard lock(mutex_);
    mappedDrives_[letter] = folder;
  }
}

void DryRunPlatform::NoteRegistryImport(const std::wstring& file, const std::wstring& parameters, bool ok) {
  if (!ok || !NamedAs(file, L"regedit") || !parameters.starts_with(L"/s ")) return;
  KeepLastError keep(real_);
  std::wstring regFile = parameters.substr(3);
  if (regFile.size() >= 2 && regFile.front() == L'"' && regFile.back() == L'"')
    regFile = regFile.substr(1, regFile.size() - 2);
  PlanStep step{"registry-import", {{"file", Utf8(regFile)}}};
  std::string bytes;
  if (!(dry() ? CurrentBytes(regFile, bytes) : real_.ReadFileBytes(regFile, bytes))) {
    step.notes.push_back("the file cannot be read: nothing is imported");
  } else {
    RegistryTree machine, user;
    RegFileImport result =
        ImportRegFile(bytes, StandardHives(machine, user), [this](std::string_view b) { return real_.AnsiToWide(b); });
    if (!result.recognized) step.notes.push_back("not a registry file (no header): nothing is imported");
    ListValues(machine.root(), Utf8(RegRootName(RegRoot::kLocalMachine)), step.notes);
    ListValues(user.root(), Utf8(RegRootName(RegRoot::kCurrentUser)), step.notes);
    for (const RegFileProblem& problem : result.problems)
      step.notes.push_back("line " + std::to_string(problem.line) + " skipped: " + Utf8(problem.reason));
  }
  Record(std::move(step));
}

namespace {

/// How a shell start is named in the plan: "shell open", or "shell" alone
/// for the default verb (an empty one).
std::wstring ShellHow(const std::wstring& verb) {
  std::wstring how = L"shell";
  if (!verb.empty()) how.append(L" ").append(verb);
  return how;
}

}  // namespace

std::intptr_t DryRunPlatform::ShellExecuteW(const std::wstring& verb, const std::wstring& file,
                                            const std::wstring& parameters, const std::wstring& directory,
                                            int showMode) {
  std::optional<bool> realResult;
  std::intptr_t result = 42;
  if (!dry()) {
    result = real_.ShellExecuteW(verb, file, parameters, directory, showMode);
    realResult = result > 32;
  }
  bool ok = RecordStart(ShellHow(verb), file, parameters, directory, showMode, false, realResult);
  if (dry() && !ok) result = 2;  // SE_ERR_FNF
  return result;
}

bool DryRunPlatform::ShellExecuteExW(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                     const std::wstring& parameters, const std::wstring& directory, int showMode,
                                     Handle* process) {
  std::optional<bool> realResult;
  if (!dry()) realResult = real_.ShellExecuteExW(mask, verb, file, parameters, directory, showMode, process);
  bool ok = RecordStart(ShellHow(verb), file, parameters, directory, showMode, true, realResult);
  if (dry() && process) *process = ok && (mask & win::kSeeMaskNoCloseProcess) ? NewHandle() : kNoHandle;
  if (process && *process != kNoHandle) {
    std::lock_guard lock(mutex_);
    startSteps_[*process] = plan_.size() - 1;
    while (plan_[startSteps_[*process]].action != "start") --startSteps_[*process];
  }
  return ok;
}

bool DryRunPlatform::CreateProcessW(const std::wstring& commandLine, std::uint32_t creationFlags, int showMode,
                                    const std::wstring& directory, Handle* process) {
  std::optional<bool> realResult;
  if (!dry()) realResult = real_.CreateProcessW(commandLine, creationFlags, showMode, directory, process);
  std::wstring program = ProgramOf(commandLine);
  std::wstring parameters = commandLine.substr(std::min(commandLine.size(), commandLine.find(program) + program.size() +
                                                                                (commandLine[0] == L'"' ? 1 : 0)));
  while (!parameters.empty() && parameters.front() == L' ') parameters.erase(0, 1);
  bool ok = RecordStart(L"process", program, parameters, directory, showMode, true, realResult);
  if (dry() && process) *process = ok ? NewHandle() : kNoHandle;
  if (ok && process && *process != kNoHandle) {
    std::lock_guard lock(mutex_);
    std::size_t index = plan_.size() - 1;
    while (plan_[index].action != "start") --index;
    startSteps_[*process] = index;
  }
  return ok;
}

bool DryRunPlatform::CloseHandle(Handle handle) {
  std::lock_guard lock(mutex_);
  startSteps_.erase(handle);
  if (ownHandles_.erase(handle)) {
    handleProcessIds_.erase(handle);
    return true;
  }
  handleProcessIds_.erase(handle);
  return real_.CloseHandle(handle);
}

Handle DryRunPlatform::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) {
  return real_.CreateToolhelp32Snapshot(flags, processId);
}

bool DryRunPlatform::Process32FirstW(Handle snapshot, ProcessEntry& entry) {
  bool ok = real_.Process32FirstW(snapshot, entry);
  std::lock_guard lock(mutex_);
  if (ok) processNames_[entry.processId] = entry.exeFile;
  return ok;
}

bool DryRunPlatform::Process32NextW(Handle snapshot, ProcessEntry& entry) {
  bool ok = real_.Process32NextW(snapshot, entry);
  std::lock_guard lock(mutex_);
  if (ok) processNames_[entry.processId] = entry.exeFile;
  return ok;
}

Handle DryRunPlatform::OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) {
  if (dry()) {
    real_.SetLastError(win::kSuccess);
    return NewHandle(processId);
  }
  Handle handle = real_.OpenProcess(access, inheritHandle, processId);
  std::lock_guard lock(mutex_);
  if (handle != kNoHandle) handleProcessIds_[handle] = processId;
  return handle;
}

bool DryRunPlatform::TerminateProcess(Handle process, std::uint32_t exitCode) {
  bool ok = dry() ? process != kNoHandle : real_.TerminateProcess(process, exitCode);
  if (dry()) real_.SetLastError(ok ? win::kSuccess : win::kInvalidHandle);
  std::string name;
  {
    std::lock_guard lock(mutex_);
    auto id = handleProcessIds_.find(process);
    if (id != handleProcessIds_.end()) name = Utf8(processNames_[id->second]);
  }
  Record({"kill", {{"process", name}}, ok});
  return ok;
}

Handle DryRunPlatform::CreateMutexW(const std::wstring& name, bool initialOwner) {
  if (!dry()) return real_.CreateMutexW(name, initialOwner);
  // Even a moment's real mutex would turn a launcher started meanwhile
  // away: the check assumes no other launcher of this name runs.
  real_.SetLastError(win::kSuccess);
  return NewHandle();
}

Handle DryRunPlatform::BeginThread(std::function<void()> routine) {
  if (annotateWorker_) {
    KeepLastError keep(real_);
    Record(annotateWorker_());
  }
  if (!dry()) return real_.BeginThread(std::move(routine));
  // The launcher's thread waits for the worker at once: running it here
  // keeps the same order.
  routine();
  return NewHandle();
}

bool DryRunPlatform::CoInitializeEx(std::uint32_t coInit) { return real_.CoInitializeEx(coInit); }
void DryRunPlatform::CoUninitialize() { real_.CoUninitialize(); }

std::uint32_t DryRunPlatform::WaitForSingleObject(Handle handle, std::uint32_t milliseconds) {
  {
    std::lock_guard lock(mutex_);
    auto start = startSteps_.find(handle);
    if (start != startSteps_.end()) {
      PlanStep& step = plan_[start->second];
      step.fields.emplace_back("wait", milliseconds == win::kInfinite ? std::string("until it ends")
                                                                      : "up to " + std::to_string(milliseconds) + " ms");
      step.outcomeUnknown = true;
    }
  }
  if (OwnHandle(handle)) return win::kWaitObject0;
  return real_.WaitForSingleObject(handle, milliseconds);
}

void DryRunPlatform::Sleep(std::uint32_t milliseconds) {
  if (!dry()) real_.Sleep(milliseconds);
}

// --- Known folders and registry -----------------------------------------------------

std::wstring DryRunPlatform::SHGetSpecialFolderPathW(int csidl) { return real_.SHGetSpecialFolderPathW(csidl); }

long DryRunPlatform::SHGetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                                 std::uint32_t* type, std::span<std::uint8_t> data, std::uint32_t* dataSize) {
  return real_.SHGetValueW(root, subKey, valueName, type, data, dataSize);
}

long DryRunPlatform::SHSetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                                 std::uint32_t type, std::span<const std::uint8_t> data) {
  long result = dry() ? win::kSuccess : real_.SHSetValueW(root, subKey, valueName, type, data);
  Record({"registry-set",
          {{"key", Utf8(RegRootName(root)) + "\\" + Utf8(subKey)},
           {"name", Utf8(valueName)},
           {"type", TypeName(type)},
           {"data", DataText(type, data)}},
          result == win::kSuccess});
  return result;
}

long DryRunPlatform::RegOpenKeyExW(RegRoot root, const std::wstring& subKey, std::uint32_t samDesired, Handle* key) {
  return real_.RegOpenKeyExW(root, subKey, samDesired, key);
}

long DryRunPlatform::RegCloseKey(Handle key) { return real_.RegCloseKey(key); }

// --- Display, message box, chooser, versions ---------------------------------------------

bool DryRunPlatform::EnumDisplaySettingsW(std::uint32_t modeNum, DisplayMode& mode) {
  return real_.EnumDisplaySettingsW(modeNum, mode);
}

long DryRunPlatform::ChangeDisplaySettingsW(const DisplayMode* mode, std::uint32_t flags) {
  long result = dry() ? win::kDispChangeSuccessful : real_.ChangeDisplaySettingsW(mode, flags);
  PlanStep step{"display-mode", {}, result == win::kDispChangeSuccessful};
  if (!mode) {
    step.fields.emplace_back("mode", "the stored one");
  } else {
    if (mode->fields & win::kDmBitsPerPel) step.fields.emplace_back("bits", std::to_string(mode->bitsPerPel));
    if (mode->fields & win::kDmPelsWidth) step.fields.emplace_back("width", std::to_string(mode->pelsWidth));
    if (mode->fields & win::kDmPelsHeight) step.fields.emplace_back("height", std::to_string(mode->pelsHeight));
    if (mode->fields & win::kDmDisplayFrequency)
      step.fields.emplace_back("frequency", std::to_string(mode->displayFrequency));
  }
  step.fields.emplace_back("stored", flags & win::kCdsUpdateRegistry ? "yes" : "no");
  Record(std::move(step));
  return result;
}

int DryRunPlatform::MessageBoxW(const std::wstring& text, const std::wstring& caption, std::uint32_t type) {
  Record({"message-box", {{"caption", Utf8(caption)}, {"text", Utf8(text)}}});
  return dry() ? win::kIdOk : real_.MessageBoxW(text, caption, type);
}

int DryRunPlatform::RunVersionChooser(LaunchContext& context) {
  int result = 1;  // IDOK
  if (annotateChooser_) {
    KeepLastError keep(real_);
    PlanStep step = annotateChooser_(context);
    if (const std::string* r = step.Field("result")) result = std::stoi(*r);
    Record(std::move(step));
  }
  return dry() ? result : real_.RunVersionChooser(context);
}

std::uint32_t DryRunPlatform::GetFileVersionInfoSizeW(const std::wstring& file) {
  return real_.GetFileVersionInfoSizeW(dry() ? Resolve(file) : file);
}

bool DryRunPlatform::GetFileVersionInfoW(const std::wstring& file, std::uint32_t size, std::vector<std::uint8_t>& block) {
  return real_.GetFileVersionInfoW(dry() ? Resolve(file) : file, size, block);
}

bool DryRunPlatform::VerQueryValueW(std::span<const std::uint8_t> block, const std::wstring& subBlock,
                                    FixedFileInfo& info) {
  return real_.VerQueryValueW(block, subBlock, info);
}

std::unique_ptr<FixedMemoryBlock> DryRunPlatform::GlobalAllocFixed(std::uint32_t size) {
  return real_.GlobalAllocFixed(size);
}

SkinImagePtr DryRunPlatform::DecodeImageFromMemory(FixedMemoryBlock& block) { return real_.DecodeImageFromMemory(block); }

SkinImagePtr DryRunPlatform::DecodeImageFromFile(const std::wstring& path,
                                                 const std::function<bool(std::string_view head)>& admit) {
  return real_.DecodeImageFromFile(dry() ? Resolve(path) : path, admit);
}

std::unique_ptr<ActiveDesktop> DryRunPlatform::CreateActiveDesktop() {
  if (dry()) return std::make_unique<RecordingDesktop>(*this, nullptr);
  std::unique_ptr<ActiveDesktop> real = real_.CreateActiveDesktop();
  if (!real) return nullptr;
  return std::make_unique<RecordingDesktop>(*this, std::move(real));
}

std::string DryRunPlatform::WideToAnsi(std::wstring_view text) { return real_.WideToAnsi(text); }
std::wstring DryRunPlatform::AnsiToWide(std::string_view bytes) { return real_.AnsiToWide(bytes); }

}  // namespace kestrel::check
