// The job object's only event: progress text and interval tag, raised
// synchronously; the job waits until the handler returns.
#pragma once

#include <string>

namespace kb6 {

struct JobReport;

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetTrayText(const std::string& ueText, const std::string& uePart) = 0;
};

// The nine jobs of clsAufgaben, in the slot order of its interface.
class Jobs {
 public:
  virtual ~Jobs() = default;
  virtual void gfUpdateDatumsfelder() = 0;
  virtual void gfUpdateAdressen() = 0;
  virtual void gfUpdateAbteilungen() = 0;
  virtual void gfUpdateAbteilungenAnzahl() = 0;
  virtual void gfUpdateSpendenliste() = 0;
  // True when the run reached its end, false when its trap caught a failure.
  virtual bool gfRefreshAbteilungsuebersicht() = 0;
  virtual void gfUpdateAdressenKomplett() = 0;
  virtual void gfUpdateFeldAnzahlAdressen() = 0;
  virtual void gfRefreshAnzahlAbteilungen() = 0;
  // Where the next job's rows and failures go; null after it. Jobs that
  // keep no record ignore it.
  virtual void ReportTo(JobReport* report) { (void)report; }
};

}  // namespace kb6
