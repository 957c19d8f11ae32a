#include "compare.h"

#include <cstdio>
#include <memory>

namespace kb6 {

// tools/compare_club_files.py --exact, the comparison the Windows build's
// check uses as well: one copy of what "the same data" means.
std::string CompareDatabases(const std::string& a_path, const std::string& b_path) {
  auto quoted = [](const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
  };
  const std::string command = "python3 " + quoted(KB6_COMPARE_TOOL) + " --exact " + quoted(a_path) +
                              " " + quoted(b_path) + " 2>&1";
  struct Closer {
    void operator()(FILE* f) const { pclose(f); }
  };
  std::unique_ptr<FILE, Closer> pipe(popen(command.c_str(), "r"));
  if (!pipe) return "cannot run " KB6_COMPARE_TOOL;
  std::string out;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) out.append(buffer, n);
  const int status = pclose(pipe.release());
  if (status != 0 && out.empty()) return "compare_club_files.py failed";
  return out;
}

}  // namespace kb6
