// Calendar arithmetic on day serials (0 = 30.12.1899) and the fixed date
// patterns the system formats with.
#pragma once

#include <optional>
#include <string>

namespace kb6 {

struct CivilDateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// The serials of 01.01.100 and of the day after 31.12.9999: a date value
// lies in [kMinDateSerial, kEndDateSerial).
inline constexpr double kMinDateSerial = -657434.0;
inline constexpr double kEndDateSerial = 2958466.0;
inline bool IsDateSerialInRange(double serial) {
  return serial >= kMinDateSerial && serial < kEndDateSerial;
}

// Serial of a calendar date and time; no range checks.
double SerialFromCivil(const CivilDateTime& c);
// Calendar parts of a serial; the time is rounded to whole seconds. A serial
// outside the date range (or not finite) raises "Überlauf".
CivilDateTime CivilFromSerial(double serial);
// True for a valid Gregorian date in years 100 to 9999.
bool IsValidCivilDate(int year, int month, int day);
// The serial of midnight of the same day.
double DatePart(double serial);
bool HasTimeOfDay(double serial);

}  // namespace kb6
