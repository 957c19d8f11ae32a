#include "common/dates.h"

#include <cmath>
#include <cstdint>

#include "common/value.h"

namespace kb6 {
namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian), after H. Hinnant.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr int64_t kEpochOffset = -25569;

}  // namespace

double SerialFromCivil(const CivilDateTime& c) {
  const double days = static_cast<double>(DaysFromCivil(c.year, c.month, c.day) - kEpochOffset);
  const double frac = (c.hour * 3600.0 + c.minute * 60.0 + c.second) / 86400.0;
  // Before the epoch the fraction counts away from zero, as the date scale has it:
  // -1.25 is 29.12.1899 06:00.
  return days < 0 ? days - frac : days + frac;
}

CivilDateTime CivilFromSerial(double serial) {
  // Also keeps the integer conversions below defined for any input.
  if (!IsDateSerialInRange(serial)) throw RuntimeError::Overflow();
  double day = std::trunc(serial);
  double frac = std::fabs(serial - day);
  long secs = std::lround(frac * 86400.0);
  if (secs >= 86400) {
    // Rounded up to midnight: the next calendar day on either side of the
    // epoch, since before it the day counts down while the time counts up
    // (-1.9999999 is 29.12.1899 23:59:59.99, so 30.12.1899).
    secs -= 86400;
    day += 1;
  }
  CivilDateTime c;
  CivilFromDays(static_cast<int64_t>(day) + kEpochOffset, c.year, c.month, c.day);
  c.hour = static_cast<int>(secs / 3600);
  c.minute = static_cast<int>(secs / 60 % 60);
  c.second = static_cast<int>(secs % 60);
  return c;
}

bool IsValidCivilDate(int year, int month, int day) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int last = month == 2 && leap ? 29 : kDays[month - 1];
  return day <= last;
}

double DatePart(double serial) { return std::trunc(serial); }

bool HasTimeOfDay(double serial) {
  const CivilDateTime c = CivilFromSerial(serial);
  return c.hour != 0 || c.minute != 0 || c.second != 0;
}

}  // namespace kb6
