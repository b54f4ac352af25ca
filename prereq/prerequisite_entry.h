#pragma once

#include <cstdint>
#include <string>

namespace kestrel {

/// How an entry tells that its package is on the machine.
enum CheckKind : std::int32_t {
  FileVersion = 1,   ///< checkPath's file version equals checkVerion
  UninstallKey = 2,  ///< one of checkPath's names is an uninstall key
  FileExists = 3,    ///< one of checkPath's paths exists
};

/// Where an entry stands in a run.
enum EntryState : std::int32_t {
  Unchecked = 0,
  Missing = 1,
  Present = 2,
  Installing = 3,
  InstallerMissing = 4,
};

/// One runtime package, from one numbered section of Config.ini.  Text
/// fields hold at most 259 characters.
struct PrerequisiteEntry {
  std::int32_t checkType = 0;
  std::int32_t state = Unchecked;
  std::wstring instName;     ///< for log lines only
  std::wstring instFile;     ///< the installer, relative to the base directory
  std::wstring instParam;    ///< its arguments
  std::wstring checkPath;    ///< a file (kind 1), or up to ten "|"-separated names or paths
  std::wstring checkVerion;  ///< kind 1: the expected "a.b.c.d"
};

}  // namespace kestrel
