// The sample game's two programs for the Windows package, doing what the
// sample's shell scripts do on Linux:
//   game.exe ARGS...    says that it was started, with what, where and which
//                       edition is installed, and appends that line to
//                       started.txt beside itself;
//   switch.exe EDITION  installs the chosen edition: edition.txt in the
//                       working folder (the game's folder) holds its name.
// One source: KESTREL_SAMPLE_SWITCH picks the version switch.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
#ifdef KESTREL_SAMPLE_SWITCH
  const std::string edition = argc > 1 ? Utf8(fs::path(argv[1])) : "classic";
  std::ofstream(fs::path(L"edition.txt"), std::ios::binary) << edition << '\n';
  std::cout << "Sample version switch: edition.txt now holds " << edition << '\n';
#else
  std::string params;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) params += ' ';
    params += Utf8(fs::path(argv[i]));
  }
  std::ifstream in(fs::path(L"edition.txt"), std::ios::binary);
  std::string edition((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!edition.empty() && (edition.back() == '\n' || edition.back() == '\r')) edition.pop_back();
  std::error_code ec;
  std::string line = "Sample game started in ";
  line += Utf8(fs::current_path(ec));
  line += " with parameters: ";
  line += params;
  line += " (edition: ";
  line += edition;
  line += ")";
  std::cout << line << '\n';
  std::ofstream(fs::path(argv[0]).parent_path() / L"started.txt", std::ios::binary | std::ios::app) << line << "\r\n";
#endif
  return 0;
}
