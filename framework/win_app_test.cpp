#include "framework/win_app.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrel {
namespace {

class RecordingApp : public CWinApp {
 public:
  explicit RecordingApp(bool start) : start_(start) {}
  bool InitInstance() override {
    calls += "init ";
    return start_;
  }
  int Run() override {
    calls += "run ";
    return 7;
  }
  int ExitInstance() override {
    calls += "exit ";
    return 3;
  }
  std::string calls;

 private:
  bool start_;
};

TEST(AfxWinMain, DeclinedStartUpEndsWithExitInstance) {
  RecordingApp app(false);
  EXPECT_EQ(AfxWinMain(app), 3);
  EXPECT_EQ(app.calls, "init exit ");
}

TEST(AfxWinMain, AcceptedStartUpRunsTheLoop) {
  RecordingApp app(true);
  EXPECT_EQ(AfxWinMain(app), 7);
  EXPECT_EQ(app.calls, "init run ");
}

}  // namespace
}  // namespace kestrel
