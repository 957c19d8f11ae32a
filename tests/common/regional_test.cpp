#include "common/regional.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "common/dates.h"

namespace kb6 {
namespace {

const RegionalSettings de = RegionalSettings::German();

double D(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  return SerialFromCivil({y, m, d, hh, mm, ss});
}

// "number text" of the error `f` raises, "" when it raises none.
template <typename F>
std::string Raised(F f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return std::to_string(e.number()) + " " + e.what();
  }
  return "";
}

TEST(Dates, TimesThatRoundToMidnightGoToTheNextDay) {
  struct Case {
    double serial;
    int ymd;
  } cases[] = {
      {0.9999999, 18991231},  {-0.9999999, 18991231}, {-1.9999999, 18991230},
      {-1.0000001, 18991229}, {-0.0000001, 18991230},
  };
  for (const Case& t : cases) {
    const CivilDateTime c = CivilFromSerial(t.serial);
    EXPECT_EQ(c.year * 10000 + c.month * 100 + c.day, t.ymd) << t.serial;
    EXPECT_EQ(c.hour * 3600 + c.minute * 60 + c.second, 0) << t.serial;
  }
}

TEST(Regional, TextFormOfValues) {
  struct Case {
    Value v;
    const char* text;
  } cases[] = {
      {Value(0.1 + 0.2), "0,3"},
      // Whole numbers: below 10^15 every digit, from there on 15 significant ones.
      {Value(1e15), "1E+15"},
      {Value(4503599627370497.0), "4,5035996273705E+15"},
      {Value::Date(D(2026, 12, 4)), "04.12.2026"},
      {Value::Date(D(2026, 12, 4, 14, 7, 9)), "04.12.2026 14:07:09"},
      {Value::Date(D(1899, 12, 30, 14, 7, 9)), "14:07:09"},
  };
  for (const Case& c : cases) EXPECT_EQ(de.ToText(c.v), c.text);
}

TEST(Regional, DateTextsUnderGermanSettings) {
  struct Case {
    const char* text;
    double serial;
  } cases[] = {
      {" 29.02.2000 ", D(2000, 2, 29)},
      {"04.12.26", D(2026, 12, 4)},
      {"04.12.75", D(1975, 12, 4)},
      {"2026-12-04T10:15:00", D(2026, 12, 4, 10, 15)},
      {"04.12.2026 14:07", D(2026, 12, 4, 14, 7)},
      {"14:07:09", D(1899, 12, 30, 14, 7, 9)},
      {"12/04/2026", D(2026, 4, 12)},
  };
  for (const Case& c : cases) EXPECT_EQ(de.ParseDate(c.text).value_or(-99), c.serial) << c.text;
  for (const char* no_date : {"29.02.2001", "abc", "12.5", "00.12.2026", "04.12.2026 25:00"})
    EXPECT_FALSE(de.ParseDate(no_date)) << no_date;
  // Before the scale's day 0 the time counts away from zero as well.
  EXPECT_EQ(de.FormatDate(*de.ParseDate("6.12.1822 01:30"), "dd/mm/yyyy hh:mm:ss"),
            "06.12.1822 01:30:00");
}

TEST(Regional, LocaleAwareNumbers) {
  struct Case {
    const char* text;
    bool numeric;
    double value;
  } cases[] = {
      {"1.234,56", true, 1234.56}, {"12.50", true, 1250}, {" -7 ", true, -7}, {"1,5E3", true, 1500},
      {",5", true, 0.5},           {"", false, 0},        {"12a", false, 0},  {"1,2,3", false, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(de.IsNumeric(Value(c.text)), c.numeric) << c.text;
    if (c.numeric) {
      EXPECT_DOUBLE_EQ(de.ToDouble(Value(c.text)), c.value) << c.text;
    }
  }
}

TEST(Regional, LeadingNumberOfText) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {{"12abc", 12}, {" 1 2", 12}, {"1.5", 1.5}, {"1,5", 1}, {"-4x", -4}, {"3E2", 300}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.value) << c.text;
}

TEST(Regional, RoundingToIntegersIsBankersAndChecked) {
  struct Case {
    double in;
    int32_t out;
  } cases[] = {{0.5, 0}, {1.5, 2}, {-2.5, -2}, {2.6, 3}};
  for (const Case& c : cases) EXPECT_EQ(de.ToLong(Value(c.in)), c.out) << c.in;
  EXPECT_EQ(Raised([] { de.ToInteger(Value(32767.5)); }), "6 Überlauf");
  EXPECT_EQ(Raised([] { de.ToLong(Value(3e9)); }), "6 Überlauf");
  EXPECT_EQ(Raised([] { de.ToLong(Value("zwölf")); }), "13 Typen unverträglich");
}

TEST(Regional, NumberPatterns) {
  struct Case {
    double n;
    const char* pattern;
    const char* text;
  } cases[] = {
      {1234, "000", "1234"},     {1.005, "#0.00", "1,01"},
      {-0.001, "#0.00", "0,00"}, {-7, "000", "-007"},
      {-0.0, "000", "000"},      {4503599627370497.0, "000", "4503599627370500"},
  };
  for (const Case& c : cases) EXPECT_EQ(de.FormatNumber(c.n, c.pattern), c.text) << c.n;
}

// Arithmetic on bad data and numbers no date can have raise "Überlauf"
// rather than turning into text no statement can use.
TEST(Regional, NumbersOutsideTheirRangeOverflow) {
  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& f : std::initializer_list<std::function<void()>>{
           [&] { de.FormatNumber(inf, "#0.00"); }, [&] { de.ToText(Value(-inf)); },
           [] { de.ToDate(Value(1e9)); }, [] { de.ToDate(Value("-1e300")); },
           [] { de.FormatDate(-1e308, "dd/mm/yyyy"); }})
    EXPECT_EQ(Raised(f), "6 Überlauf");
  EXPECT_EQ(de.ToDate(Value(2958465.5)), 2958465.5);  // 31.12.9999 12:00 is still a date
}

}  // namespace
}  // namespace kb6
