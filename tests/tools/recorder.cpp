// A stand-in for a game, an installer or any program the launcher starts:
// it appends what it was started with to the file named by KESTREL_RECORD
// (or "record.txt" beside itself), one "arg=" line per argument, then its
// working directory and a closing "done" line, all in UTF-8.  With the
// arguments "--sleep <ms>" it lingers that long first, as an installer that
// takes its time or a program that keeps running.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Utf8(const std::filesystem::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

int Record(const std::vector<std::filesystem::path>& argv) {
  for (std::size_t i = 1; i + 1 < argv.size(); ++i)
    if (argv[i] == "--sleep")
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(Utf8(argv[i + 1]).c_str())));
  std::filesystem::path file;
  if (const char* record = std::getenv("KESTREL_RECORD"); record && *record) {
    std::string name = record;
    file = std::filesystem::path(std::u8string(name.begin(), name.end()));
  } else {
    file = argv[0].parent_path() / "record.txt";
  }
  std::string text = "program=" + Utf8(argv[0].filename()) + "\n";
  for (std::size_t i = 1; i < argv.size(); ++i) text += "arg=" + Utf8(argv[i]) + "\n";
  std::error_code ec;
  text += "cwd=" + Utf8(std::filesystem::current_path(ec)) + "\ndone\n";
#ifdef _WIN32
  FILE* out = _wfopen(file.c_str(), L"ab");
#else
  FILE* out = std::fopen(file.c_str(), "ab");
#endif
  if (out) {
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
  }
  return argv.size() > 1 && argv[1] == "--fail" ? 3 : 0;
}

}  // namespace

// Windows hands the arguments over in UTF-16; the narrow ones would be cut
// to the ANSI code page.
#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  return Record(std::vector<std::filesystem::path>(argv, argv + argc));
}
