#pragma once
// Whether a wineserver serves a Wine prefix, and a hold that keeps one
// from starting.
//
// A wineserver takes a write lock (fcntl, first byte) on the file "lock" in
// its server folder before it loads the prefix's registry, and keeps it
// until it ends; a server that finds the lock taken leaves, and Wine's
// loader waits for the lock before it tries again.  So whoever holds that
// lock knows that no server has the registry in memory and that none will
// load it until the lock is let go.
//
// The server folder is /tmp/.wine-<uid>/server-<dev>-<inode> of the prefix
// folder; Debian's Wine puts it under /tmp/<tag> instead, with the tag in
// the prefix's file "wineserver" (made by the first Wine start).

#include <sys/types.h>

#include <string>

namespace kestrel {

class WineServerGuard {
 public:
  enum class State {
    kHeld,           ///< no server serves the prefix, and none can start while this lives
    kServerRunning,  ///< a server holds the lock
  };
  explicit WineServerGuard(const std::string& prefix);
  ~WineServerGuard();
  WineServerGuard(const WineServerGuard&) = delete;
  WineServerGuard& operator=(const WineServerGuard&) = delete;

  State state() const { return state_; }
  /// True when the prefix has Debian's tag file (so the hold covers every
  /// server that can start).
  bool Tagged() const { return tagged_; }
  /// True when the prefix had no Debian tag when the hold was taken and
  /// has one now: a server may have started in a folder this hold does
  /// not cover.
  bool ServerMayHaveStarted() const;
  /// True when a server holds the prefix's lock now (without taking it).
  /// Never call it while this process holds a guard: closing the lock
  /// file lets go of the process's lock on it.
  static bool ServerRunning(const std::string& prefix);

 private:
  static std::string ServerFolder(const std::string& prefix, bool& tagged);
  std::string prefix_;
  bool tagged_ = false;
  int fd_ = -1;
  State state_ = State::kHeld;
};

}  // namespace kestrel
