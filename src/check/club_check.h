// The check of a club file against its storage conventions (README, "The
// club file") and against the data that stops the jobs or makes them count
// wrongly. Reads through the caller's connection; only FixClubFile writes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kb6::check {

struct Finding {
  std::string table;   // empty: the file as a whole
  std::string column;  // the column, or what was looked at ("journal_mode")
  std::string problem;
  int64_t count = 0;
  int64_t fixable = 0;                // how many of them --fix converts
  std::string key_name;               // what the examples name, e.g. "ADR_INR"
  std::vector<std::string> examples;  // at most five
};

struct Change {
  std::string table, column, key, before, after;
};

std::vector<Finding> CheckClubFile(sqlite3* db);

// Converts what reads one way only: date texts into day serials, decimal
// texts into numbers, 1 into -1 in Yes/No columns; sets ±Inf in date and
// amount columns to Null. The caller owns the
// transaction; every change made is returned.
std::vector<Change> FixClubFile(sqlite3* db);

// Table by table, column by column; "Keine Befunde." when there is nothing.
void WriteFindings(const std::vector<Finding>& findings, std::ostream& out);
void WriteChanges(const std::vector<Change>& changes, std::ostream& out);

// The readings --fix relies on, open for the tests: a date text as the
// monitor reads it, and an amount text with a decimal comma ("12,50",
// "1.234,56") or a point that cannot be a thousands separator ("12.5").
std::optional<double> DateFromText(const std::string& text);
std::optional<double> AmountFromText(const std::string& text);

// The SQL condition for a non-finite value in the (quoted) column.
std::string NonFinite(const std::string& quoted_column);

}  // namespace kb6::check
