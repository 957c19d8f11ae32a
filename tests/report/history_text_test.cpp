// The history's text form: no control characters reach the terminal, and
// durations across a clock change are the time that passed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <sstream>

#include "report/history.h"
#include "report/history_output.h"
#include "report/local_time.h"

namespace kb6::report {
namespace {

const std::string kStart = "Die Datenreorganisation 1-tägig wird gestartet ...";
const std::string kEnd = "Die Datenreorganisation 1-tägig ist abgeschlossen.";

LogRow Row(int64_t id, const char* datum, const char* uhrzeit, std::string text,
           std::string guid = "{G}") {
  return {id, *EntryTime(datum, uhrzeit), std::move(text), 2, std::move(guid)};
}

std::string Text(std::vector<LogRow> rows, const char* today) {
  std::ostringstream out;
  WriteHistoryText(BuildHistory(std::move(rows), *EntryTime(today, "23:00:00"), 2), out);
  return out.str();
}

TEST(HistoryText, ControlCharactersAreShownAsEscapes) {
  const struct {
    std::string stored, shown;
  } cases[] = {
      {"eins\nzwei\r\tdrei\a", "eins\\nzwei\\r\\tdrei\\x07"},
      {"csi \xc2\x9b"
       "2J",
       "csi \\u009b2J"},  // C1 control in UTF-8
      {"roh \x9b"
       "2J \xff",
       "roh \\x9b2J \\xff"},                         // bytes that are no UTF-8
      {"Größe 5 € 🙂", "Größe 5 € 🙂"},  // text stays as it is
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    const std::string out = Text({Row(1, "06.12.2026", "10:00:00", c.stored, "{G\x1b]0;x\a}"),
                                  Row(2, "06.12.2026", "10:00:01", c.stored, "")},
                                 "06.12.2026");
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_NE(out.find("      " + c.shown + "\n"), std::string::npos) << out;      // in its cycle
    EXPECT_NE(out.find("10:00:01  " + c.shown + "\n"), std::string::npos) << out;  // without id
    EXPECT_NE(out.find("{G\\x1b]0;x\\x07}"), std::string::npos) << out;
  }
}

// Runs in Europe/Berlin and puts back the TZ it found.
class BerlinTime : public ::testing::Test {
 protected:
  void SetUp() override { Use("Europe/Berlin"); }
  void TearDown() override { Use(saved_ ? saved_->c_str() : nullptr); }
  static void Use(const char* tz) {
    tz ? setenv("TZ", tz, 1) : unsetenv("TZ");
    tzset();
  }
  const std::optional<std::string> saved_ =
      std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
};

// Seconds since 1970: both readings of the repeated hour; a time past the
// zone's rules read as UTC.
TEST_F(BerlinTime, LocalInstantsAreUnixTimes) {
  EXPECT_EQ(LocalInstants(46320 + 2.5 / 24), (std::vector<int64_t>{1792888200, 1792891800}));
  EXPECT_EQ(LocalInstants(3e6), std::vector<int64_t>{(3000000 - 25569) * 86400LL});
}

TEST_F(BerlinTime, CyclesAcrossTheClockChangeShowTheirRealLength) {
  const struct {
    const char *name, *day, *start, *end;
  } cases[] = {
      {"spring forward", "29.03.2026", "01:59:50", "03:00:28"},
      {"fall back across the change", "25.10.2026", "02:59:50", "02:00:28"},
      {"fall back, in the repeated hour", "25.10.2026", "02:10:00", "02:10:38"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out =
        Text({Row(7, c.day, c.start, kStart), Row(8, c.day, c.end, kEnd)}, c.day);
    EXPECT_NE(out.find(std::string(c.start) + " - " + c.end + "  Dauer 0:38  1-tägig  {G}\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("0:38          " + kEnd), std::string::npos) << out;
    EXPECT_EQ(out.find("NICHT ABGESCHLOSSEN"), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace kb6::report
