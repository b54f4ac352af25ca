#pragma once
// The chooser window's control ids and modal results.  Every click arrives
// as a command in one id range; only the first twenty version buttons act.

namespace kestrel {

inline constexpr int kChooserDialogTemplate = 102;  ///< dialog resource of the chooser window
inline constexpr int kApplicationIcon = 128;        ///< icon resource of the program

inline constexpr int kMinimizeButtonId = 4096;
inline constexpr int kMaximizeButtonId = 4097;
inline constexpr int kCloseButtonId = 4098;
inline constexpr int kFirstVersionButtonId = 4099;
/// Version buttons past the twentieth are shown but do nothing.
inline constexpr int kLastActingVersionButtonId = 4118;
inline constexpr int kActingVersionButtons = kLastActingVersionButtonId - kFirstVersionButtonId + 1;
/// The range of ids whose clicks go to the chooser's one command handler.
inline constexpr int kFirstChooserCommandId = 4096;
inline constexpr int kLastChooserCommandId = 4351;

/// Modal results: OK starts the game, Cancel ends the launcher, and -1 is a
/// window that could not be created (the game then starts directly).
inline constexpr int kModalOk = 1;
inline constexpr int kModalCancel = 2;
inline constexpr int kModalFailed = -1;

}  // namespace kestrel
