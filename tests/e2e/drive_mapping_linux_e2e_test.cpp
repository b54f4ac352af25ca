// Drive mapping on the Linux machine model, where the game's subst.exe is
// served by the machine's subst tool: a substitution really maps a letter
// onto the game's folder, so the launch can be followed through the drive.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/e2e_support.h"
#include "text/utf.h"

namespace kestrel::e2e {
namespace {

namespace fs = std::filesystem;

/// The folder a drive letter of the machine leads to, or empty.
std::string DriveTarget(const TempMachine& m, char letter) {
  std::error_code ec;
  fs::path link = m.Host(std::string("root/dosdevices/") + letter + ":");
  if (!fs::is_symlink(link, ec)) return std::string();
  return fs::canonical(link, ec).string();
}

std::string Real(const TempMachine& m, const std::string& relative) { return fs::canonical(m.Host(relative)).string(); }

/// A game whose Config.ini holds `actionFirst`, with the recorder as its
/// game.exe and a subst.exe in GamePatch (the machine's tool stands in).
void MakeGame(const TempMachine& m, const std::string& folder, const std::string& actionFirst) {
  m.MakeDir(folder + "/GamePatch");
  m.Install(KESTREL_RECORDER, folder + "/game.exe");
  m.Write(folder + "/GamePatch/Config.ini", "[action_first]\r\n" + actionFirst);
  m.Write(folder + "/GamePatch/subst.exe", "");
}

/// A drive the operator made by hand: a fixed drive, never removed.
void FixedDrive(const TempMachine& m, char letter, const std::string& folder) {
  m.MakeDir(folder);
  m.MakeDir("root/dosdevices");
  fs::create_directory_symlink(fs::path(m.Host(folder)), m.Host(std::string("root/dosdevices/") + letter + ":"));
}

TEST(DriveMappingE2E, SubstFlagLaunchesThroughTheDriveAndTheNextLaunchClearsItFirst) {
  TempMachine m;
  FixedDrive(m, 'd', "Fixed");
  MakeGame(m, "游戏 Foo", "substFlag=1\r\n");
  MakeGame(m, "Bar", "substFlag=1\r\n");
  const std::string foo = WideToUtf8(m.Windows("游戏 Foo"));

  ASSERT_EQ(m.Run(KESTREL_EXE, {foo + "|game.exe|-window"}), 0);
  // D: is the operator's, so E: is the first free letter.
  EXPECT_EQ(DriveTarget(m, 'e'), Real(m, "游戏 Foo"));
  EXPECT_EQ(m.WaitForRecord(), (std::vector<std::string>{"program=game.exe", "arg=-window",
                                                         "cwd=" + Real(m, "游戏 Foo"), "done"}));
  EXPECT_EQ(m.LogLines(), (std::vector<std::string>{
                              "MSG: Init base value from cmdLine succeed",
                              "MSG: subst succeed, drive=E:, dir=" + foo + "\\",
                              "MSG: Execute: file=E:\\game.exe, param=-window, workdir=E:, code=0",
                          }));
  EXPECT_FALSE(fs::exists(m.Host("游戏 Foo/CheckExist.kestrel")));

  // The next launch removes E: before it looks for a free letter, so E:
  // is taken again; the fixed D: is left alone.
  fs::remove(m.record());
  fs::remove(m.log());
  m.PlanDiffers("a dry run cannot tell the earlier launch's substitution E:, which subst frees, from a fixed drive");
  ASSERT_EQ(m.Run(KESTREL_EXE, {WideToUtf8(m.Windows("Bar")) + "|game.exe"}), 0);
  EXPECT_EQ(DriveTarget(m, 'e'), Real(m, "Bar"));
  EXPECT_EQ(DriveTarget(m, 'd'), Real(m, "Fixed"));
  EXPECT_EQ(DriveTarget(m, 'f'), "");
  EXPECT_EQ(m.WaitForRecord(), (std::vector<std::string>{"program=game.exe", "cwd=" + Real(m, "Bar"), "done"}));
  EXPECT_EQ(m.LogLines().at(1), "MSG: subst succeed, drive=E:, dir=" + WideToUtf8(m.Windows("Bar")) + "\\");
  EXPECT_FALSE(fs::exists(m.Host("Bar/CheckExist.kestrel")));
}

// A stand-in Virtual Drive Manager: it reads its "LastMounts" from the
// registry store with the machine's regedit, and after a second mounts the
// image by mapping the record's drive onto the image's folder.
std::string ManagerScript() {
  return R"(#!/bin/sh
tool=')" + ProgramBesideTests("kestrel-system") + R"('
export="$KESTREL_ROOT/manager-settings.reg"
# The tool takes Windows paths: the host's folders are on Z:.
"$tool" regedit /e "Z:$export" 'HKEY_CURRENT_USER\Software\Towodo Software\Virtual Drive Manager\Settings' || exit 1
# The value's bytes, from "hex(7):" to the line without a continuation.
hex=$(iconv -f UTF-16LE -t UTF-8 "$export" | tr -d '\r' |
      sed -n '/^"LastMounts"=hex(7):/,/[^\\]$/p' | sed 's/^"LastMounts"=hex(7)://; s/^ *//; s/\\$//' | tr -d '\n')
octal=$(echo "$hex" | tr ',' '\n' | awk '{ printf "\\%03o", index("0123456789abcdef", substr($1, 1, 1)) * 16 - 17 + index("0123456789abcdef", substr($1, 2, 1)) }')
printf "$octal" | iconv -f UTF-16LE -t UTF-8 | tr '\0' '\n' > "$KESTREL_ROOT/manager-mounts.txt"
drive=$(sed -n 1p "$KESTREL_ROOT/manager-mounts.txt")
image=$(sed -n 4p "$KESTREL_ROOT/manager-mounts.txt")
sleep 1
"$tool" subst "$drive" "${image%\\*}" || exit 1
printf "mounted %s %s\n" "$drive" "$image" >> "$KESTREL_RECORD"
)";
}

TEST(DriveMappingE2E, VirtualDriveIsMountedBeforeTheLaunchGoesOn) {
  TempMachine m;
  MakeGame(m, "Foo", "substFlag=1\r\nvirtualDriveFile=disc.iso\r\n");
  m.Write("Foo/GamePatch/disc.iso", "image");
  m.MakeDir("Foo/GamePatch/Virtual Drive Manager");
  const std::string manager = "Foo/GamePatch/Virtual Drive Manager/Virtual Drive Manager.exe";
  m.Write(manager, ManagerScript());
  fs::permissions(m.Host(manager), fs::perms::owner_all);

  ASSERT_EQ(m.Run(KESTREL_EXE, {WideToUtf8(m.Windows("Foo")) + "|game.exe"}), 0);
  // The game moved to D:, so the image is D:\GamePatch\disc.iso on E:.
  EXPECT_EQ(m.WaitForRecord(), (std::vector<std::string>{"mounted E: D:\\GamePatch\\disc.iso", "program=game.exe",
                                                         "cwd=" + Real(m, "Foo"), "done"}));
  EXPECT_EQ(ReadFile(m.Host("root/manager-mounts.txt")),
            "E:\nauto detect\ndisabled\nD:\\GamePatch\\disc.iso\n1\n\n");
  std::string settings = ReadFile(m.Host("root/manager-settings.reg"));
  for (const wchar_t* option : {L"\"MountPrevious\"=dword:00000001", L"\"XbtnQuit\"=dword:00000001"})
    EXPECT_NE(settings.find(WideToUtf16Le(option)), std::string::npos) << WideToUtf8(option);
  EXPECT_EQ(DriveTarget(m, 'd'), Real(m, "Foo"));
  EXPECT_EQ(DriveTarget(m, 'e'), Real(m, "Foo/GamePatch"));
  std::vector<std::string> log = m.LogLines();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2], "MSG: Virtual Drive Manager Load success.");
  EXPECT_EQ(log[3], "MSG: Execute: file=D:\\game.exe, param=, workdir=D:, code=0");
}

}  // namespace
}  // namespace kestrel::e2e
