// clsAufgaben: the nine reorganisation jobs. Each job recomputes derived
// columns row by row, reports progress through SetTrayText and ends with a
// result line in the run log; a failure inside a job is trapped there.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "jobs/progress.h"

namespace kb6 {

class Clock;
class Database;
class Recordset;
struct RegionalSettings;
class RunLog;

class clsAufgaben final : public Jobs {
 public:
  clsAufgaben(Database& db, const RegionalSettings& regional, const Clock& clock, RunLog& log,
              ProgressSink& events);

  void gfUpdateDatumsfelder() override;
  void gfUpdateAdressen() override;
  void gfUpdateAbteilungen() override;
  void gfUpdateAbteilungenAnzahl() override;
  void gfUpdateSpendenliste() override;
  bool gfRefreshAbteilungsuebersicht() override;
  void gfUpdateAdressenKomplett() override;
  void gfUpdateFeldAnzahlAdressen() override;
  void gfRefreshAnzahlAbteilungen() override;
  void ReportTo(JobReport* report) override { report_ = report; }

  // Completed years between the date of birth and today; 0 for no date.
  int16_t gfAlterInJahren(const std::string& date_of_birth) const;

 private:
  // What a row-by-row job gives to the common skeleton.
  struct Frame {
    const char* tag;
    std::string count_sql;
    std::string row_sql;
    const char* result_head;  // "Es wurden "
    const char* result_tail;  // " Adresse(n) aktualisiert."
    const char* announce_tail = " Datensätze verarbeitet ...";
    bool row_progress = true;
  };
  // Count, announce, iterate with progress every 100th row, result line; the
  // trap logs the failure with type 1. Every recordset in `others` is closed
  // on the way out. Returns false when the trap caught a failure.
  bool RunRows(const Frame& frame, const std::function<void(Recordset& row)>& per_row,
               std::initializer_list<Recordset*> others);
  void Raise(const std::string& text, const char* tag);
  // A key field as it is appended to statements (see SqlKeyLiteral).
  std::string KeyText(const Recordset& rs, const char* field) const;

  Database& db_;
  RunLog& log_;
  ProgressSink& events_;
  const RegionalSettings& r_;
  const Clock& clock_;
  JobReport* report_ = nullptr;
};

}  // namespace kb6
