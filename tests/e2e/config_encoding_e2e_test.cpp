// The launcher started without a command line beside a GamePatch\Config.ini
// saved in UTF-16LE, in GBK (the ANSI code page of the machine model) and
// in UTF-8 starts the same game with the same parameters (on Windows, UTF-8
// needs its byte-order mark).

#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

TEST(ConfigEncodingE2E, EveryEncodingStartsTheSameGame) {
  const std::wstring config = L"[game_base]\r\nmainExe=游戏.exe\r\nparam=\"-窗口 -w\"\r\n";
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"UTF-16LE", "\xFF\xFE" + WideToUtf16Le(config)},
      {"GBK", "[game_base]\r\nmainExe=\xD3\xCE\xCF\xB7.exe\r\nparam=\"-\xB4\xB0\xBF\xDA -w\"\r\n"},
      {"UTF-8", WideToUtf8(config)},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + WideToUtf8(config)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempMachine m;
    m.MakeDir("Launcher/GamePatch");
    m.Install(KESTREL_EXE, "Launcher/" + ProgramFile("KestrelEx"));
    m.Install(KESTREL_RECORDER, "Launcher/\xE6\xB8\xB8\xE6\x88\x8F.exe");
    m.Write("Launcher/GamePatch/Config.ini", c.bytes);
    ASSERT_EQ(m.Run(m.Host("Launcher/" + ProgramFile("KestrelEx")), {}), 0);
    if (c.name == std::string("UTF-8") && !ProfilesReadBomlessUtf8()) {
      // Windows takes the bytes for GBK: the name it reads names no file,
      // so nothing starts.  Operators save Config.ini with a byte-order mark.
      EXPECT_EQ(ReadFile(m.record()), "");
      EXPECT_EQ(m.LogLines().at(1).rfind("MSG: Execute: file=", 0), 0u);
      EXPECT_EQ(m.LogLines().at(1).find("\xE6\xB8\xB8\xE6\x88\x8F"), std::string::npos);
      continue;
    }
    EXPECT_EQ(m.WaitForRecord(), (std::vector<std::string>{"program=\xE6\xB8\xB8\xE6\x88\x8F.exe",
                                                           "arg=-\xE7\xAA\x97\xE5\x8F\xA3", "arg=-w",
                                                           "cwd=" + m.Host("Launcher"), "done"}));
  }
}

}  // namespace
}  // namespace kestrel::e2e
