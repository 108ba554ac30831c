// Reads every settings file of a directory with the settings reader of the
// build it belongs to: the platform's GetPrivateProfileIntW in the Windows
// build, the harness's stand-in in the Linux build. Both builds must give the
// answers recorded in expected.txt, which come from the platform's reader.
//
//   settings_probe DIR               prints one line per file and query
//   settings_probe DIR EXPECTED      compares with EXPECTED; exit 1 on any
//                                    difference, listing each
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include "ProfileReader.h"
#endif

namespace {

struct Query {
  const char* section;
  const char* key;
  int32_t defaultValue;
};

// The module's three reads, then the same keys with a default no file sets,
// so that a missing key can't hide behind a value equal to the default.
const Query kQueries[] = {
    {"Keys", "EnableKey", 118}, {"Settings", "RecSize", 2000}, {"Settings", "Push", 1},
    {"Keys", "EnableKey", -7},  {"Settings", "RecSize", -7},   {"Settings", "Push", -7},
};

std::u16string Widen(const char* text) {
  std::u16string wide;
  for (; *text != '\0'; ++text) wide.push_back(static_cast<unsigned char>(*text));
  return wide;
}

uint32_t ReadInt(const std::filesystem::path& file, const Query& query) {
  std::u16string section = Widen(query.section);
  std::u16string key = Widen(query.key);
#if defined(_WIN32)
  // The module hands the reader a full path; so does the probe.
  WCHAR full[MAX_PATH * 4] = {};
  GetFullPathNameW(file.wstring().c_str(), MAX_PATH * 4, full, nullptr);
  return GetPrivateProfileIntW(reinterpret_cast<LPCWSTR>(section.c_str()),
                               reinterpret_cast<LPCWSTR>(key.c_str()), query.defaultValue, full);
#else
  return ProfileIntFromFile(file.string(), section, key, query.defaultValue);
#endif
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: settings_probe DIR [EXPECTED]\n");
    return 2;
  }
  std::error_code error;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1], error)) {
    if (entry.path().extension() == ".ini") files.push_back(entry.path());
  }
  if (error || files.empty()) {
    std::fprintf(stderr, "settings_probe: no .ini files in %s\n", argv[1]);
    return 2;
  }
  std::sort(files.begin(), files.end(),
            [](const auto& a, const auto& b) { return a.filename() < b.filename(); });

  std::string report;
  for (const auto& file : files) {
    for (const Query& query : kQueries) {
      char line[256];
      std::snprintf(line, sizeof line, "%s [%s] %s default %ld: %lu\n",
                    file.filename().string().c_str(), query.section, query.key,
                    static_cast<long>(query.defaultValue),
                    static_cast<unsigned long>(ReadInt(file, query)));
      report += line;
    }
  }

  if (argc == 2) {
#if defined(_WIN32)
    // The same bytes as the Linux build writes: no carriage returns.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::fwrite(report.data(), 1, report.size(), stdout);
    return 0;
  }
  std::ifstream expectedFile(argv[2], std::ios::binary);
  if (!expectedFile) {
    std::fprintf(stderr, "settings_probe: can't read %s\n", argv[2]);
    return 2;
  }
  std::string expectedText((std::istreambuf_iterator<char>(expectedFile)),
                           std::istreambuf_iterator<char>());
  std::vector<std::string> got = SplitLines(report);
  std::vector<std::string> expected = SplitLines(expectedText);
  int differences = 0;
  for (size_t i = 0; i < std::max(got.size(), expected.size()); ++i) {
    const std::string none = "(nothing)";
    const std::string& want = i < expected.size() ? expected[i] : none;
    const std::string& have = i < got.size() ? got[i] : none;
    if (want == have) continue;
    std::printf("expected: %s\n     got: %s\n", want.c_str(), have.c_str());
    ++differences;
  }
  std::printf("%zu files, %zu answers, %d differ\n", files.size(), got.size(), differences);
  return differences == 0 ? 0 : 1;
}
