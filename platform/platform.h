#pragma once
// The launcher reaches the machine only through this interface, so that its
// logic builds and runs anywhere: on Windows the Win32 half stands behind
// it, on Linux a Windows-like machine model, and in unit tests an in-memory
// fake that records every call.
//
// Operations are named after the Windows calls they stand for, wide "W"
// variants included, and keep their meaning: paths are Windows paths
// (drive letters, backslashes), names of files, sections and keys match
// without regard to case, and every operation that can fail sets the
// thread's last error to a Windows error code.  Where Windows fills a
// caller's buffer, the buffer's size in characters is an argument and the
// result is cut to fit, never overflowed.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "skin/skin_image.h"

namespace kestrel {

struct LaunchContext;

/// A process, thread, mutex, process snapshot, folder listing or registry
/// key.  Each kind fails with one value, as its Windows call does: a
/// folder listing (FindFirstFileW) or a snapshot with kInvalidHandleValue,
/// every other kind with kNoHandle.
using Handle = std::uintptr_t;
inline constexpr Handle kNoHandle = 0;
/// INVALID_HANDLE_VALUE.
inline constexpr Handle kInvalidHandleValue = static_cast<Handle>(-1);

/// The largest file read whole (profile files, registry templates, skin
/// archives): 64 MiB, far below what a 32-bit process can hold.
inline constexpr std::size_t kMaxWholeFileBytes = std::size_t{64} << 20;

/// Windows error codes the logic and the platforms name.
namespace win {
inline constexpr std::uint32_t kSuccess = 0;
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidHandle = 6;
inline constexpr std::uint32_t kNotEnoughMemory = 8;
inline constexpr std::uint32_t kBadFormat = 11;
inline constexpr std::uint32_t kSharingViolation = 32;
inline constexpr std::uint32_t kFileExists = 80;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kInvalidName = 123;  ///< ERROR_INVALID_NAME
inline constexpr std::uint32_t kFilenameTooLong = 206;  ///< ERROR_FILENAME_EXCED_RANGE
inline constexpr std::uint32_t kDirNotEmpty = 145;
inline constexpr std::uint32_t kAlreadyExists = 183;
inline constexpr std::uint32_t kBadExeFormat = 193;
inline constexpr std::uint32_t kNoMoreFiles = 18;
inline constexpr std::uint32_t kMoreData = 234;
inline constexpr std::uint32_t kDirectory = 267;  ///< ERROR_DIRECTORY: not a directory
inline constexpr std::uint32_t kNoAssociation = 1155;
inline constexpr std::uint32_t kResourceDataNotFound = 1812;
inline constexpr std::uint32_t kResourceTypeNotFound = 1813;

/// Special folders (CSIDL numbers) the logic asks for by name.
inline constexpr int kCsidlAppData = 26;
inline constexpr int kCsidlSystem = 37;

/// Program start: SHELLEXECUTEINFOW's mask that asks for the process
/// handle, and CreateProcessW's priority class.
inline constexpr std::uint32_t kSeeMaskNoCloseProcess = 0x40;
inline constexpr std::uint32_t kNormalPriorityClass = 0x20;
/// CoInitializeEx: a single-threaded apartment without the OLE 1.0 DDE
/// window (COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE), as the
/// shell's program starts ask of the thread that calls them.
inline constexpr std::uint32_t kCoInitApartmentThreaded = 0x2;
inline constexpr std::uint32_t kCoInitDisableOle1Dde = 0x4;

/// Process snapshot and termination.
inline constexpr std::uint32_t kTh32csSnapProcess = 0x2;
inline constexpr std::uint32_t kProcessTerminate = 0x1;

/// WaitForSingleObject
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

/// ShowWindow modes used by the launcher.
inline constexpr int kSwHide = 0;
inline constexpr int kSwShowNormal = 1;
inline constexpr int kSwShow = 5;
inline constexpr int kSwShowMinimized = 6;

/// File attributes.
inline constexpr std::uint32_t kFileAttributeReadonly = 0x01;
inline constexpr std::uint32_t kFileAttributeHidden = 0x02;
inline constexpr std::uint32_t kFileAttributeSystem = 0x04;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeArchive = 0x20;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;
/// A symbolic link or junction; with the directory bit it stands for a folder.
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFF;

/// RegOpenKeyExW access.
inline constexpr std::uint32_t kKeyRead = 0x20019;
/// Display settings: EnumDisplaySettingsW mode numbers, DEVMODEW field
/// bits, ChangeDisplaySettingsW flags and results.
inline constexpr std::uint32_t kEnumCurrentSettings = 0xFFFFFFFF;
inline constexpr std::uint32_t kEnumRegistrySettings = 0xFFFFFFFE;
inline constexpr std::uint32_t kDmBitsPerPel = 0x00040000;
inline constexpr std::uint32_t kDmPelsWidth = 0x00080000;
inline constexpr std::uint32_t kDmPelsHeight = 0x00100000;
inline constexpr std::uint32_t kDmDisplayFrequency = 0x00400000;
inline constexpr std::uint32_t kCdsUpdateRegistry = 0x1;
inline constexpr std::uint32_t kCdsTest = 0x2;
inline constexpr long kDispChangeSuccessful = 0;
inline constexpr long kDispChangeFailed = -1;
inline constexpr long kDispChangeBadMode = -2;
inline constexpr long kDispChangeBadFlags = -4;
inline constexpr long kDispChangeBadParam = -5;

/// MessageBoxW types and results.
inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kMbIconWarning = 0x30;
inline constexpr std::uint32_t kMbIconInformation = 0x40;
inline constexpr int kIdOk = 1;

/// VS_FIXEDFILEINFO's signature.
inline constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

/// Registry value types.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;
}  // namespace win

/// One entry of a directory enumeration (the parts of WIN32_FIND_DATAW
/// the launcher uses).
struct FindDataW {
  std::uint32_t attributes = 0;  ///< FILE_ATTRIBUTE_* bits
  std::uint64_t fileSize = 0;
  std::wstring fileName;  ///< the long name, without folder
};

/// One entry of a process snapshot (PROCESSENTRY32W): the process's id,
/// its parent's, and its executable's file name without folder, at most
/// 259 characters.
struct ProcessEntry {
  std::uint32_t processId = 0;
  std::uint32_t parentProcessId = 0;
  std::wstring exeFile;
};

/// The fields of DEVMODEW the launcher reads and sets.  `fields` holds the
/// kDm* bits of the members that are set.
struct DisplayMode {
  std::uint32_t bitsPerPel = 0;
  std::uint32_t pelsWidth = 0;
  std::uint32_t pelsHeight = 0;
  std::uint32_t displayFrequency = 0;
  std::uint32_t fields = 0;
};

/// VS_FIXEDFILEINFO, the fixed part of a file's version resource.  Each
/// version is two halves: the high half holds the first two numbers (the
/// first in its upper 16 bits), the low half the last two.
struct FixedFileInfo {
  std::uint32_t signature = 0;
  std::uint32_t strucVersion = 0;
  std::uint32_t fileVersionMS = 0;
  std::uint32_t fileVersionLS = 0;
  std::uint32_t productVersionMS = 0;
  std::uint32_t productVersionLS = 0;
  std::uint32_t fileFlagsMask = 0;
  std::uint32_t fileFlags = 0;
  std::uint32_t fileOS = 0;
  std::uint32_t fileType = 0;
  std::uint32_t fileSubtype = 0;
  std::uint32_t fileDateMS = 0;
  std::uint32_t fileDateLS = 0;
};

/// The registry roots the launcher uses.
enum class RegRoot { kLocalMachine, kCurrentUser };

/// The shell's active-desktop object (IActiveDesktop), which sets the
/// wallpaper in three steps.  Each returns true on success (S_OK).
class ActiveDesktop {
 public:
  virtual ~ActiveDesktop() = default;
  virtual bool SetWallpaper(const std::wstring& file) = 0;
  /// IActiveDesktop::SetWallpaperOptions with the style number
  /// (0 centred, 1 tiled, 2 stretched), passed through unchanged.
  virtual bool SetWallpaperOptions(int style) = 0;
  /// IActiveDesktop::ApplyChanges with AD_APPLY_* flags (7: save,
  /// regenerate and refresh).
  virtual bool ApplyChanges(std::uint32_t flags) = 0;
};

/// A fixed block of memory of exactly the size asked for (GlobalAlloc with
/// GMEM_FIXED), freed (GlobalFree) when destroyed.  Its bytes are not
/// cleared.
class FixedMemoryBlock {
 public:
  virtual ~FixedMemoryBlock() = default;
  virtual std::span<std::uint8_t> bytes() = 0;
};

/// How many of a file's first bytes DecodeImageFromFile shows its `admit`.
inline constexpr std::size_t kImageHeadBytes = 64;

class Platform {
 public:
  virtual ~Platform() = default;

  // --- Process start-up --------------------------------------------------

  /// The framework's application start-up, the OLE and component-object
  /// libraries, control hosting and the graphics library (GDI+).
  virtual void InitializeFramework() = 0;
  /// GetModuleFileNameW of the launcher itself, cut to 259 characters.
  virtual std::wstring GetModuleFileNameW() = 0;
  /// GetCommandLineW: the whole command line, the program's name first.
  virtual std::wstring GetCommandLineW() = 0;
  /// On Windows the path as it stands.  On a platform whose own paths are
  /// not Windows paths (a Linux "/srv/games/Foo"), the same place in Windows
  /// form ("Z:\srv\games\Foo"); text that is not such a path is returned
  /// unchanged.
  virtual std::wstring NativePathToWindows(const std::wstring& path) = 0;

  // --- Errors and diagnostics --------------------------------------------

  virtual std::uint32_t GetLastError() = 0;
  virtual void SetLastError(std::uint32_t code) = 0;
  /// OutputDebugStringW: one diagnostic message, without a line end.
  virtual void OutputDebugStringW(const std::wstring& message) = 0;

  // --- Files ---------------------------------------------------------------

  /// PathFileExistsW: true when a file or a directory is there.
  virtual bool PathFileExistsW(const std::wstring& path) = 0;
  /// Reads a whole file (CreateFileW, GetFileSize, ReadFile, CloseHandle).
  /// False with the last error set when it cannot be opened or read; a file
  /// larger than kMaxWholeFileBytes is refused with 223
  /// (ERROR_FILE_TOO_LARGE) and a "MSG: File not read, larger than ..."
  /// line.
  virtual bool ReadFileBytes(const std::wstring& path, std::string& bytes) = 0;

  /// PathIsDirectoryW: true when a directory is there.
  virtual bool PathIsDirectoryW(const std::wstring& path) = 0;
  /// GetFileAttributesW: FILE_ATTRIBUTE_* bits, or kInvalidFileAttributes
  /// with the last error set.
  virtual std::uint32_t GetFileAttributesW(const std::wstring& path) = 0;
  /// SetFileAttributesW: of the bits only read-only counts here (on Linux
  /// it is the write permission); directories keep theirs.
  virtual bool SetFileAttributesW(const std::wstring& path, std::uint32_t attributes) = 0;
  /// FindFirstFileW on a pattern such as "C:\*.reg": Windows wildcard
  /// rules ("*", "?", "*.*" matches every name), names matched without
  /// regard to case, "." and ".." listed in folders below a drive's root.
  /// kInvalidHandleValue with error 2 (nothing matches) or 3 (no folder).
  virtual Handle FindFirstFileW(const std::wstring& pattern, FindDataW& data) = 0;
  /// FindNextFileW: false with error 18 (ERROR_NO_MORE_FILES) at the end,
  /// 6 (ERROR_INVALID_HANDLE) for a handle that is no open listing.
  virtual bool FindNextFileW(Handle find, FindDataW& data) = 0;
  /// FindClose: false with error 6 for a handle that is no open listing.
  virtual bool FindClose(Handle find) = 0;
  /// CopyFileW: with failIfExists an existing target is left alone (error
  /// 80); otherwise it is replaced, unless it is read-only (error 5).
  virtual bool CopyFileW(const std::wstring& existingFile, const std::wstring& newFile, bool failIfExists) = 0;
  /// CreateDirectoryW without security attributes: error 183 when
  /// something is there already, 3 when the parent folder is missing.
  virtual bool CreateDirectoryW(const std::wstring& path) = 0;
  /// DeleteFileW: a read-only file or a directory is not deleted (error 5).
  virtual bool DeleteFileW(const std::wstring& path) = 0;
  /// RemoveDirectoryW: only an empty directory (error 145 otherwise).
  virtual bool RemoveDirectoryW(const std::wstring& path) = 0;
  /// Creates or truncates a file and writes `bytes` (CreateFileW with
  /// GENERIC_WRITE and CREATE_ALWAYS, WriteFile, CloseHandle).  Empty bytes
  /// leave an empty file.  A link at the name is replaced by the new file,
  /// never written through.
  virtual bool WriteFileBytes(const std::wstring& path, std::string_view bytes) = 0;

  // --- Drives ----------------------------------------------------------------

  /// GetLogicalDriveStringsW into a buffer of `bufferChars` characters:
  /// "C:\", a zero, "Z:\", a zero, ...  Returns the characters filled
  /// (the final zero not counted) and sets `buffer` to them; when the
  /// buffer is too small, returns the size needed and leaves it empty.
  virtual std::uint32_t GetLogicalDriveStringsW(std::uint32_t bufferChars, std::wstring& buffer) = 0;

  // --- Profile (.ini) files --------------------------------------------------

  /// GetPrivateProfileStringW into a buffer of `bufferChars` characters:
  /// the value (one pair of surrounding quotes removed) or `defaultValue`,
  /// cut to bufferChars - 1 characters.
  virtual std::wstring GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                const std::wstring& defaultValue,
                                                std::uint32_t bufferChars, const std::wstring& file) = 0;
  /// GetPrivateProfileIntW: the number at the start of the value, or
  /// `defaultValue` when the key is missing or empty.
  virtual int GetPrivateProfileIntW(const std::wstring& section, const std::wstring& key, int defaultValue,
                                    const std::wstring& file) = 0;
  /// GetPrivateProfileSectionW into a buffer of `bufferChars` characters:
  /// `buffer` receives "key=value" lines (values as written, quotes kept),
  /// each ended by a zero, and one more zero at the end; a section too
  /// long is cut and the result is then bufferChars - 2.  Returns the
  /// characters filled without the last zero; 0 for a missing section.
  virtual std::uint32_t GetPrivateProfileSectionW(const std::wstring& section, std::wstring& buffer,
                                                  std::uint32_t bufferChars, const std::wstring& file) = 0;
  /// WritePrivateProfileStringW: sets one key, creating the section and
  /// the file when needed; no value deletes the key, no key deletes the
  /// section.  Every other line of the file stays as it was.
  virtual bool WritePrivateProfileStringW(const std::wstring& section, const std::optional<std::wstring>& key,
                                          const std::optional<std::wstring>& value, const std::wstring& file) = 0;

  // --- Programs, threads and synchronisation ---------------------------------

  /// ShellExecuteW with no owner window.  An empty verb is the default
  /// verb; empty parameters or directory are none.  Returns a value above
  /// 32 on success, and sets the last error either way.
  virtual std::intptr_t ShellExecuteW(const std::wstring& verb, const std::wstring& file,
                                      const std::wstring& parameters, const std::wstring& directory,
                                      int showMode) = 0;
  /// ShellExecuteExW with no owner window and the given SEE_MASK_* bits.
  /// Arguments and the last error as ShellExecuteW.  With
  /// kSeeMaskNoCloseProcess, `*process` receives a handle to wait on, or
  /// kNoHandle when the start failed or handed the file to a program
  /// already running.
  /// True when the file was started.
  virtual bool ShellExecuteExW(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                               const std::wstring& parameters, const std::wstring& directory, int showMode,
                               Handle* process) = 0;
  /// CreateProcessW with no application name: the program is found from
  /// the start of `commandLine` the Windows way.  No handles are inherited;
  /// the start-up information asks for `showMode` (STARTF_USESHOWWINDOW);
  /// an empty directory is the caller's own.  On success `*process` (when
  /// not null) receives the process handle, on failure kNoHandle; the
  /// thread handle is closed.
  virtual bool CreateProcessW(const std::wstring& commandLine, std::uint32_t creationFlags, int showMode,
                              const std::wstring& directory, Handle* process) = 0;
  /// CloseHandle of a process, thread, mutex or snapshot handle: false with
  /// error 6 (ERROR_INVALID_HANDLE) for a handle that is not open.
  virtual bool CloseHandle(Handle handle) = 0;
  /// CreateToolhelp32Snapshot: kInvalidHandleValue with the last error set
  /// when no snapshot can be taken.  With kTh32csSnapProcess it holds every
  /// running process, in a stable order.
  virtual Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) = 0;
  /// Process32FirstW / Process32NextW: the first or next entry of a
  /// snapshot; false with error 18 (ERROR_NO_MORE_FILES) after the last.
  virtual bool Process32FirstW(Handle snapshot, ProcessEntry& entry) = 0;
  virtual bool Process32NextW(Handle snapshot, ProcessEntry& entry) = 0;
  /// OpenProcess: a handle with the requested rights, or kNoHandle with
  /// error 87 (ERROR_INVALID_PARAMETER) when no such process runs.
  virtual Handle OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) = 0;
  /// TerminateProcess: ends the process at once; false with error 5 when
  /// it has ended already.
  virtual bool TerminateProcess(Handle process, std::uint32_t exitCode) = 0;
  /// CreateMutexW without security attributes.  When a mutex of that name
  /// already exists, the handle is still returned and the last error is
  /// 183 (ERROR_ALREADY_EXISTS); otherwise it is 0.  The mutex is never
  /// inherited by programs the launcher starts.  kNoHandle with the last
  /// error set when it cannot be created.
  virtual Handle CreateMutexW(const std::wstring& name, bool initialOwner) = 0;
  /// Starts a thread running `routine` (the runtime's _beginthreadex);
  /// kNoHandle when no thread can start.
  virtual Handle BeginThread(std::function<void()> routine) = 0;
  /// CoInitializeEx on the calling thread: true when COM is initialised
  /// there (also when it already was), and CoUninitialize must follow on
  /// the same thread; false when it cannot be (another apartment model).
  virtual bool CoInitializeEx(std::uint32_t coInit) = 0;
  virtual void CoUninitialize() = 0;
  /// WaitForSingleObject on a thread or process handle: kWaitObject0 once
  /// it has ended, kWaitTimeout, or kWaitFailed with the last error set.
  virtual std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;

  // --- Known folders and registry -------------------------------------------

  /// SHGetSpecialFolderPathW without creation: the folder of a CSIDL
  /// number, or empty when the machine has none.
  virtual std::wstring SHGetSpecialFolderPathW(int csidl) = 0;
  /// SHGetValueW: reads a value into `data` (its size is the buffer's).
  /// `*dataSize` receives the bytes written, or the bytes needed when the
  /// result is 234 (ERROR_MORE_DATA).  A REG_EXPAND_SZ comes back expanded.
  /// Returns 0 (ERROR_SUCCESS) or a Windows error code.
  virtual long SHGetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                           std::uint32_t* type, std::span<std::uint8_t> data, std::uint32_t* dataSize) = 0;
  /// SHSetValueW: writes a value, creating the key when it is missing.
  virtual long SHSetValueW(RegRoot root, const std::wstring& subKey, const std::wstring& valueName,
                           std::uint32_t type, std::span<const std::uint8_t> data) = 0;
  /// RegOpenKeyExW: opens an existing key and sets `*key`, to be closed
  /// with RegCloseKey; a Windows error code (2 when the key is missing)
  /// and `*key` kNoHandle when it cannot.
  virtual long RegOpenKeyExW(RegRoot root, const std::wstring& subKey, std::uint32_t samDesired, Handle* key) = 0;
  virtual long RegCloseKey(Handle key) = 0;

  // --- Display, message box and file versions ---------------------------------

  /// EnumDisplaySettingsW of the primary display: kEnumCurrentSettings,
  /// kEnumRegistrySettings, or the number of a supported mode from 0.
  virtual bool EnumDisplaySettingsW(std::uint32_t modeNum, DisplayMode& mode) = 0;
  /// ChangeDisplaySettingsW of the primary display.  Members whose kDm* bit
  /// is clear, or which are 0, keep their current value; a null mode
  /// returns to the stored one.  kCdsUpdateRegistry also stores the mode
  /// for later sessions.  Returns a kDispChange* code.
  virtual long ChangeDisplaySettingsW(const DisplayMode* mode, std::uint32_t flags) = 0;
  /// MessageBoxW with no owner window: shows the text and blocks until it
  /// is closed.  Returns the button pressed (kIdOk).
  virtual int MessageBoxW(const std::wstring& text, const std::wstring& caption, std::uint32_t type) = 0;
  /// Runs the version chooser window of the context's game modally (its
  /// skin, its "dlg_config" and its version buttons' action) and returns
  /// the modal result: 1 (IDOK), 2 (IDCANCEL), or -1 when the window could
  /// not be created.  Each build supplies its own window.
  virtual int RunVersionChooser(LaunchContext& context) = 0;
  /// GetFileVersionInfoSizeW: the size of the file's version resource, 0
  /// (with the last error set) when it has none.
  virtual std::uint32_t GetFileVersionInfoSizeW(const std::wstring& file) = 0;
  /// GetFileVersionInfoW into a block of `size` bytes (the size above).
  virtual bool GetFileVersionInfoW(const std::wstring& file, std::uint32_t size, std::vector<std::uint8_t>& block) = 0;
  /// VerQueryValueW of a version block's root (the sub-block L"\\"): its
  /// fixed file information.  False for any other sub-block, or when the
  /// block holds no fixed part.
  virtual bool VerQueryValueW(std::span<const std::uint8_t> block, const std::wstring& subBlock,
                              FixedFileInfo& info) = 0;

  // --- Skin images ------------------------------------------------------------

  /// GlobalAlloc(GMEM_FIXED, size): null when the memory is not there.
  virtual std::unique_ptr<FixedMemoryBlock> GlobalAllocFixed(std::uint32_t size) = 0;
  /// Decodes the PNG image in a block from GlobalAllocFixed, through a read
  /// stream over the block that leaves it to its owner (CreateStreamOnHGlobal
  /// without delete-on-release, GdipCreateBitmapFromStream), as a bitmap made
  /// with background colour 0 (GdipCreateHBITMAPFromBitmap).  The decoder's
  /// bitmap is disposed of and the stream released before it returns.  None
  /// when the bytes do not decode.
  virtual SkinImagePtr DecodeImageFromMemory(FixedMemoryBlock& block) = 0;
  /// Decodes the PNG image file at `path` (GdipCreateBitmapFromFile, then a
  /// bitmap with background colour 0) once `admit` has accepted its first
  /// bytes (up to kImageHeadBytes); the file cannot change in between.  None
  /// when the file is missing, not a regular file, refused or undecodable.
  virtual SkinImagePtr DecodeImageFromFile(const std::wstring& path,
                                           const std::function<bool(std::string_view head)>& admit) = 0;

  // --- Desktop and code pages ------------------------------------------------

  /// CoCreateInstance of the active-desktop object; null when it cannot be
  /// created.
  virtual std::unique_ptr<ActiveDesktop> CreateActiveDesktop() = 0;
  /// WideCharToMultiByte / MultiByteToWideChar with the ANSI code page.
  virtual std::string WideToAnsi(std::wstring_view text) = 0;
  virtual std::wstring AnsiToWide(std::string_view bytes) = 0;
};

/// The platform of the machine the launcher runs on.
std::unique_ptr<Platform> CreateSystemPlatform();

}  // namespace kestrel
