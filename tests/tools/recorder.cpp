// A stand-in for a game, an installer or any program the launcher starts:
// it appends what it was started with to the file named by KESTREL_RECORD
// (or "record.txt" beside itself), one "arg=" line per argument, then its
// working directory and a closing "done" line.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  std::string path;
  if (const char* record = std::getenv("KESTREL_RECORD"); record && *record) {
    path = record;
  } else {
    path = (std::filesystem::path(argv[0]).parent_path() / "record.txt").string();
  }
  std::string text = "program=" + std::filesystem::path(argv[0]).filename().string() + "\n";
  for (int i = 1; i < argc; ++i) text += std::string("arg=") + argv[i] + "\n";
  std::error_code ec;
  text += "cwd=" + std::filesystem::current_path(ec).string() + "\ndone\n";
  if (FILE* f = std::fopen(path.c_str(), "ab")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  return argc > 1 && std::string(argv[1]) == "--fail" ? 3 : 0;
}
