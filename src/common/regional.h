// Conversions between values and text under the machine's regional settings.
// The system is made for German settings (day.month.year, decimal comma, "."
// for thousands, ":" for time); one settings object is passed to every place
// that converts, so nothing depends on the process locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/value.h"

namespace kb6 {

struct RegionalSettings {
  char date_separator = '.';
  char time_separator = ':';
  char decimal_separator = ',';
  char thousands_separator = '.';

  static RegionalSettings German() { return {}; }

  // Text form of any value ("CStr"): a date-time at midnight prints without its
  // time, a time-only value without a date. Null raises "Ungültige Verwendung von Null".
  std::string ToText(const Value& v) const;
  // Like ToText, but Null (and empty) give the empty text.
  std::string TextOrEmpty(const Value& v) const;

  // The platform's date test and conversion of text ("IsDate" / "CDate").
  std::optional<double> ParseDate(std::string_view text) const;
  bool IsDate(const Value& v) const;
  // Date conversion of any value; raises "Typen unverträglich" when impossible.
  double ToDate(const Value& v) const;

  // Locale-aware numeric test and conversion ("IsNumeric" / "CDbl").
  std::optional<double> ParseNumber(std::string_view text) const;
  bool IsNumeric(const Value& v) const;
  double ToDouble(const Value& v) const;
  // Rounding conversions, half to even; out of range raises "Überlauf".
  int32_t ToLong(const Value& v) const;
  int16_t ToInteger(const Value& v) const;

  // Fixed patterns: "dd/mm/yyyy", "hh:mm:ss", "yymmdd", "dd.mm.yyyy hh:mm:ss".
  // "/" and ":" stand for this object's separators.
  std::string FormatDate(double serial, std::string_view pattern) const;
  // Number patterns "000", "#0.00" and "##,###,##0.00" (half away from zero).
  std::string FormatNumber(double number, std::string_view pattern) const;
};

// The leading number of a text ("Val"): blanks are skipped, "." is always the
// decimal point, reading stops at the first character that cannot continue the
// number. A text without one gives 0.
double LeadingNumber(std::string_view text);

// "The numeric value of the text" of a field: numbers stand for themselves
// (so a stored 1.5 stays 1.5 whatever the decimal separator), texts give
// their leading number. Null raises "Ungültige Verwendung von Null".
double NumericValueOf(const RegionalSettings& r, const Value& v);

// Round half to even, then range-check for the integer width.
int32_t RoundToLong(double d);

}  // namespace kb6
