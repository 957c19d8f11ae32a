// kb6-demo-db FILE [ACTIVE_ADDRESSES [SEED]]: writes a synthetic club database.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "club_generator.h"

#ifdef _WIN32
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>
// The file name as typed: UTF-16 from the system, UTF-8 for the generator
// (SQLite opens UTF-8 names). argv would hold it in the ANSI code page,
// which lacks most characters.
static std::string FileArgument(char**) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  std::string out;
  if (args && count > 1) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, args[1], -1, nullptr, 0, nullptr, nullptr);
    out.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    WideCharToMultiByte(CP_UTF8, 0, args[1], -1, out.data(), n, nullptr, nullptr);
  }
  LocalFree(args);
  return out;
}
#else
static std::string FileArgument(char** argv) { return argv[1]; }
#endif

int main(int argc, char** argv) {
  // An option such as --help is no file name: it would become a database of that name.
  if (argc < 2 || argc > 4 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: %s FILE [ACTIVE_ADDRESSES [SEED]]\n", argv[0]);
    return 2;
  }
  kb6::ClubShape shape;
  if (argc > 2) shape.active_addresses = std::atoi(argv[2]);
  if (argc > 3) shape.seed = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  try {
    kb6::GenerateClubDatabase(FileArgument(argv), shape);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kb6-demo-db: %s\n", e.what());
    return 1;
  }
  return 0;
}
