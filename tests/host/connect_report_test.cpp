// The host's line on standard error about a database that does not open.
#include "host/connect_report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace kb6 {
namespace {

constexpr const char* kHead = "KB6TRAY: Die Datenbank kann nicht geöffnet werden: ";

TEST(ConnectReport, OneLinePerCauseAndOneWhenTheDatabaseOpensAgain) {
  const struct {
    const char* name;
    std::vector<std::string> causes;  // one per cycle, empty when it opened
    std::string printed;
  } cases[] = {
      {"cause changes",
       {"gesperrt", "gesperrt", "schreibgeschützt"},
       std::string(kHead) + "gesperrt\n" + kHead + "schreibgeschützt\n"},
      {"recovers, then fails the same way again",
       {"gesperrt", "", "", "gesperrt"},
       std::string(kHead) + "gesperrt\nKB6TRAY: Die Datenbank ist wieder geöffnet.\n" + kHead +
           "gesperrt\n"},
      {"a driver's message over two lines",
       {"[FreeTDS]Unable to connect\r\nAdaptive Server is unavailable"},
       std::string(kHead) + "[FreeTDS]Unable to connect  Adaptive Server is unavailable\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ostringstream out;
    ConnectReport report(out);
    for (const auto& cause : c.causes) report.AfterCycle(cause);
    EXPECT_EQ(out.str(), c.printed);
  }
}

}  // namespace
}  // namespace kb6
