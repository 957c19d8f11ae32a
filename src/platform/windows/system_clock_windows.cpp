// Local wall time on Windows, as the system's clock and time zone give it.
#include <windows.h>

#include "common/clock.h"
#include "common/dates.h"

namespace kb6 {

double SystemClock::Now() const {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return SerialFromCivil({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond});
}

}  // namespace kb6
