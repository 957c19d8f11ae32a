// The host's line on standard error about a database that does not open.
#include "host/connect_report.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kb6 {
namespace {

TEST(ConnectReport, OneLinePerCauseAndOneWhenTheDatabaseOpensAgain) {
  std::ostringstream out;
  ConnectReport report(out);
  // One cause per cycle, empty when the database opened; a driver's message
  // may run over two lines.
  for (const char* cause :
       {"gesperrt", "gesperrt", "[FreeTDS]Unable to connect\r\nAdaptive", "", "", "gesperrt"})
    report.AfterCycle(cause);
  const std::string head = "KB6TRAY: Die Datenbank kann nicht geöffnet werden: ";
  EXPECT_EQ(out.str(), head + "gesperrt\n" + head +
                           "[FreeTDS]Unable to connect  Adaptive\n"
                           "KB6TRAY: Die Datenbank ist wieder geöffnet.\n" +
                           head + "gesperrt\n");
}

}  // namespace
}  // namespace kb6
