// The file actions of one launch on real folders: platform configuration
// into the application-data folder, personalization copies, the move onto
// another installed game (found through the game menu's registry record)
// with its deletion list, and the deletion list of that game's own
// Config.ini.  Both builds must leave the same trees and log the same
// lines; on Windows the known folders are the real ones, so everything put
// there carries a name unique to the run and is removed afterwards.

#include <gtest/gtest.h>

#include "actions/game_directory.h"
#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

constexpr int kAppData = 26;
constexpr int kLocalAppData = 28;

TEST(FileActionsE2E, AssociationDeletionPersonalizationAndPlatformFiles) {
  for (int overwrite : {0, 1}) {
    SCOPED_TRACE("overwrite=" + std::to_string(overwrite));
    TempMachine m;
    const std::string own = UniqueName("kxp", "");  // the run's own folder in each known folder
    const std::string id = UniqueName("", "").substr(3);
    const std::string appData = m.KnownFolder(kAppData) + "/" + own;
    const std::string localAppData = m.KnownFolder(kLocalAppData) + "/" + own;
    m.RemoveWhenDone(appData);
    m.RemoveWhenDone(localAppData);

    // The game the menu starts.
    m.MakeDir("Games/Foo/GamePatch/CSIDL_APPDATA/" + own + "/sub");
    m.MakeDir("Games/Foo/GamePatch/CSIDL_LOCAL_APPDATA/" + own);
    m.MakeDir("Games/Foo/data");
    m.MakeDir("Games/Foo/sub/GamePatch");
    m.Install(KESTREL_RECORDER, "Games/Foo/game.exe");
    m.Write("Games/Foo/data/new.dat", "new data");
    m.Write("Games/Foo/Kestrel.exe", "a launcher copy");
    m.Write("Games/Foo/sub/GamePatch/x.txt", "never copied");
    m.Write("Games/Foo/GamePatch/CSIDL_APPDATA/" + own + "/settings.ini", "new settings");
    m.Write("Games/Foo/GamePatch/CSIDL_APPDATA/" + own + "/sub/deep.txt", "deep");
    m.Write("Games/Foo/GamePatch/CSIDL_LOCAL_APPDATA/" + own + "/cache.txt", "new cache");
    const std::string bar = WideToUtf8(m.Windows("Games/Bar"));
    m.Write("Games/Foo/GamePatch/Config.ini",
            "[game_base]\r\nassocToGid=" + id +
                "\r\n"
                "[action_first]\r\ndelFileOrDirs=old.log|save|..\\keep.txt|\r\n"
                "[personalization]\r\noverwrite=" + std::to_string(overwrite) +
                "\r\n"
                "[set_platform]\r\nPlatformConfigFile=[AppData]\\" + own +
                "\\platform.ini\r\n"
                "[platform_Game1]\r\nAppName=Paths\r\nExe=[" + id + "]\\game.exe\r\nVer=3\r\n"
                "[platform_Game2]\r\nAppName=Options\r\nLang=zh\r\n"
                // platform_Game3 is missing: the sections end there.
                "[platform_Game4]\r\nAppName=Never\r\nX=1\r\n");
    const std::map<std::string, std::string> fooBefore = ReadTree(m.Host("Games/Foo"));

    // The game installed under the id, with what the lists name.
    m.MakeDir("Games/Bar/GamePatch");
    m.MakeDir("Games/Bar/save/deep");
    m.MakeDir("Games/Bar/data");
    m.Write("Games/Bar/GamePatch/Config.ini", "[action_first]\r\ndelFileOrDirs=bar_only.tmp\r\n");
    m.Write("Games/Bar/save/deep/slot.sav", "slot");
    m.Write("Games/Bar/old.log", "log");
    m.Write("Games/Bar/bar_only.tmp", "tmp");
    m.Write("Games/Bar/keep.txt", "bar's own");
    m.Write("Games/Bar/data/new.dat", "old data");
    m.Write("Games/keep.txt", "outside");
    m.SetMachineString(kGameInfoKey, Utf8ToWide(id), L"Bar|unused|" + m.Windows("Games/Bar") + L"|1");

    // What the player's folders held before.
    m.MakeDir(appData);
    m.MakeDir(localAppData);
    m.Write(appData + "/settings.ini", "old settings");
    m.Write(localAppData + "/cache.txt", "old cache");

    const std::string foo = WideToUtf8(m.Windows("Games/Foo"));
    ASSERT_EQ(m.Run(KESTREL_EXE, {foo + "|game.exe"}), 0);
    EXPECT_EQ(m.WaitForRecord(), (std::vector<std::string>{"program=game.exe", "cwd=" + m.Host("Games/Bar"), "done"}));

    const std::string recorder = ReadFile(KESTREL_RECORDER);
    EXPECT_EQ(ReadTree(m.Host("Games/Bar")), (std::map<std::string, std::string>{
                                                  {"GamePatch/", ""},
                                                  {"GamePatch/Config.ini", ReadFile(m.Host("Games/Bar/GamePatch/Config.ini"))},
                                                  {"data/", ""},
                                                  {"data/new.dat", "new data"},
                                                  {"game.exe", recorder},
                                                  {"keep.txt", "bar's own"},
                                                  {"sub/", ""},
                                              }));
    EXPECT_EQ(ReadFile(m.Host("Games/Bar/GamePatch/Config.ini")), "[action_first]\r\ndelFileOrDirs=bar_only.tmp\r\n");
    EXPECT_EQ(ReadFile(m.Host("Games/keep.txt")), "outside");
    EXPECT_EQ(ReadTree(m.Host("Games/Foo")), fooBefore);

    const std::string settings = overwrite ? "new settings" : "old settings";
    const std::string cache = overwrite ? "new cache" : "old cache";
    EXPECT_EQ(ReadTree(appData), (std::map<std::string, std::string>{
                                     {"PLATFORM.INI", "[Paths]\r\nExe=" + bar + "\\game.exe\r\nVer=3\r\n"
                                                      "[Options]\r\nLang=zh\r\n"},
                                     {"settings.ini", settings},
                                     {"sub/", ""},
                                     {"sub/deep.txt", "deep"},
                                 }));
    EXPECT_EQ(ReadTree(localAppData), (std::map<std::string, std::string>{{"cache.txt", cache}}));

    const std::string patch = foo + "\\GamePatch\\";
    const std::string appDataW = WideToUtf8(m.KnownFolderWindows(kAppData));
    const std::string localW = WideToUtf8(m.KnownFolderWindows(kLocalAppData));
    // The copy's code is whatever its last file operation left: a new file
    // in a new folder last for the application data, the kept cache file
    // (80, it exists) last for the local application data.
    const std::string localCode = overwrite ? "0" : "80";
    EXPECT_EQ(m.LogLines(), (std::vector<std::string>{
                                "MSG: Init base value from cmdLine succeed",
                                "MSG: DIR_SOURCE = " + patch + "CSIDL_APPDATA",
                                "MSG: DIR_TARGETDIR = " + appDataW,
                                "MSG: Copy succeed, " + patch + "CSIDL_APPDATA => " + appDataW + ", code=0",
                                "MSG: DIR_SOURCE = " + patch + "CSIDL_LOCAL_APPDATA",
                                "MSG: DIR_TARGETDIR = " + localW,
                                "MSG: Copy succeed, " + patch + "CSIDL_LOCAL_APPDATA => " + localW + ", code=" + localCode,
                                "MSG: Delete file succeed, file=" + bar + "\\old.log, code=0",
                                "MSG: Delete directory succeed, dir=" + bar + "\\save",
                                "MSG: Delete passed over, item=\"..\\keep.txt\" is not inside dir=" + bar + "\\",
                                "MSG: Delete passed over, item=\"\" is not inside dir=" + bar + "\\",
                                "MSG: assis to gid succeed, dir=" + bar + "\\, exe=game.exe, code=18",
                                "MSG: Delete file succeed, file=" + bar + "\\bar_only.tmp, code=0",
                                "MSG: Execute: file=" + bar + "\\game.exe, param=, workdir=" + bar + ", code=0",
                            }));
  }
}

}  // namespace
}  // namespace kestrel::e2e
