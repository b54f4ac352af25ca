#pragma once
// The application framework's shape, on every platform: one application
// object, created before start-up; the framework calls its InitInstance,
// then runs the message loop when InitInstance asks for one, and ends the
// program with ExitInstance's result.  The launcher's InitInstance always
// returns false, so its whole life is that one call.

namespace kestrel {

class CWinApp {
 public:
  CWinApp() = default;
  virtual ~CWinApp() = default;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  /// The start-up routine: true to go on into the message loop, false to
  /// end the program at once.
  virtual bool InitInstance() = 0;
  /// The message loop, until the program is asked to end; returns the exit
  /// code.  The launcher keeps no window of its own once start-up has
  /// returned (the chooser runs its own modal loop inside it), so the
  /// default has no loop to run and ends at once.
  virtual int Run() { return ExitInstance(); }
  /// The last call of the program's life; its result is the exit code.
  virtual int ExitInstance() { return 0; }
};

/// The framework's entry: InitInstance, then Run or, when start-up
/// declined, ExitInstance.  Returns the program's exit code.
int AfxWinMain(CWinApp& app);

}  // namespace kestrel
