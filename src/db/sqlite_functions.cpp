#include "db/sqlite_functions.h"

#include <sqlite3.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "common/regional.h"
#include "common/text.h"

namespace kb6 {
namespace {

// Text of a value as "&" sees it: numbers in the German text form.
std::string TextOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return std::to_string(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
      return RegionalSettings::German().ToText(Value(sqlite3_value_double(v)));
    default: {
      const unsigned char* t = sqlite3_value_text(v);
      return std::string(t ? reinterpret_cast<const char*>(t) : "",
                         static_cast<size_t>(sqlite3_value_bytes(v)));
    }
  }
}

// a & b & ...: Null counts as the empty text; only all-Null gives Null.
void AccConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::string out;
  bool any = false;
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) continue;
    any = true;
    out += TextOf(argv[i]);
  }
  if (!any) {
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

bool NumberOf(sqlite3_value* v, double& d) {
  const int t = sqlite3_value_type(v);
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
    d = sqlite3_value_double(v);
    return true;
  }
  auto n = RegionalSettings::German().ParseNumber(TextOf(v));
  if (!n) return false;
  d = *n;
  return true;
}

// a + b + ...: any Null gives Null; two texts concatenate; otherwise numbers
// add, a text taking part only when it is numeric. Folds from the left.
void AccPlus(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
  }
  bool is_text = sqlite3_value_type(argv[0]) == SQLITE_TEXT;
  bool is_int = sqlite3_value_type(argv[0]) == SQLITE_INTEGER;
  std::string text = is_text ? TextOf(argv[0]) : "";
  double sum = 0;
  if (!is_text) NumberOf(argv[0], sum);
  for (int i = 1; i < argc; ++i) {
    const int type = sqlite3_value_type(argv[i]);
    if (is_text && type == SQLITE_TEXT) {
      text += TextOf(argv[i]);
      continue;
    }
    double left = sum, right = 0;
    if (is_text) {
      auto n = RegionalSettings::German().ParseNumber(text);
      if (!n) {
        sqlite3_result_error(ctx, "Typen unverträglich", -1);
        return;
      }
      left = *n;
      is_text = false;
      is_int = false;
    }
    if (!NumberOf(argv[i], right)) {
      sqlite3_result_error(ctx, "Typen unverträglich", -1);
      return;
    }
    is_int = is_int && type == SQLITE_INTEGER;
    sum = left + right;
  }
  if (is_text) {
    sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  } else if (is_int && std::fabs(sum) < 9e15) {
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(sum));
  } else {
    sqlite3_result_double(ctx, sum);
  }
}

// Byte offset of the n-th (0-based) UTF-8 character, or s.size().
size_t Utf8Offset(const std::string& s, long n) {
  size_t i = 0;
  while (i < s.size() && n > 0) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    --n;
  }
  return i;
}

long Utf8Length(const std::string& s) {
  long n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

void Mid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
  const std::string s = TextOf(argv[0]);
  const sqlite3_int64 start = sqlite3_value_int64(argv[1]);
  const sqlite3_int64 len = argc > 2 ? sqlite3_value_int64(argv[2]) : -1;
  if (start < 1 || (argc > 2 && len < 0)) {
    sqlite3_result_error(ctx, "Unzulässiger Prozeduraufruf oder ungültiges Argument", -1);
    return;
  }
  const size_t a = Utf8Offset(s, static_cast<long>(std::min<sqlite3_int64>(start - 1, 1 << 30)));
  const size_t b =
      len < 0
          ? s.size()
          : a + Utf8Offset(s.substr(a), static_cast<long>(std::min<sqlite3_int64>(len, 1 << 30)));
  sqlite3_result_text(ctx, s.data() + a, static_cast<int>(b - a), SQLITE_TRANSIENT);
}

std::string Folded(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// INSTR(start, text, sought): 1-based position, texts compared without case.
void Instr3(sqlite3_context* ctx, int, sqlite3_value** argv) {
  for (int i = 0; i < 3; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
  const sqlite3_int64 start = sqlite3_value_int64(argv[0]);
  if (start < 1) {
    sqlite3_result_error(ctx, "Unzulässiger Prozeduraufruf oder ungültiges Argument", -1);
    return;
  }
  const std::string text = Folded(TextOf(argv[1]));
  const std::string sought = Folded(TextOf(argv[2]));
  const long len = Utf8Length(text);
  if (start > len) {
    sqlite3_result_int64(ctx, 0);
    return;
  }
  const size_t from = Utf8Offset(text, static_cast<long>(start - 1));
  const size_t at = text.find(sought, from);
  if (at == std::string::npos) {
    sqlite3_result_int64(ctx, 0);
    return;
  }
  sqlite3_result_int64(ctx, Utf8Length(text.substr(0, at)) + 1);
}

// What a Date/Time column of an Access file stores for a value: a text that
// reads as a date becomes its day serial; anything else stays as it is.
void StoreDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
    if (auto d = RegionalSettings::German().ParseDate(TextOf(argv[0]))) {
      sqlite3_result_double(ctx, *d);
      return;
    }
  }
  sqlite3_result_value(ctx, argv[0]);
}

// What a Yes/No column stores: -1 for any non-zero number or the text TRUE,
// 0 for zero or FALSE; Null and other texts stay as they are.
void StoreBool(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      sqlite3_result_int(ctx, sqlite3_value_double(argv[0]) != 0 ? -1 : 0);
      return;
    case SQLITE_TEXT: {
      const std::string t = TextOf(argv[0]);
      if (EqualsNoCase(t, "TRUE") || EqualsNoCase(t, "FALSE")) {
        sqlite3_result_int(ctx, EqualsNoCase(t, "TRUE") ? -1 : 0);
        return;
      }
      break;
    }
    default:
      break;
  }
  sqlite3_result_value(ctx, argv[0]);
}

using Function = void (*)(sqlite3_context*, int, sqlite3_value**);

// SQLite calls the functions from C: an exception (a value that cannot be
// converted, no memory left) becomes the statement's error instead of
// unwinding through SQLite's frames.
template <Function F>
void Guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
  try {
    F(ctx, argc, argv);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(ctx);
  } catch (const std::exception& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  } catch (...) {
    sqlite3_result_error(ctx, "Unbekannter Fehler", -1);
  }
}

}  // namespace

void RegisterAccessFunctions(sqlite3* db) {
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  const struct {
    const char* name;
    int args;
    Function f;
  } functions[] = {
      {"acc_concat", -1, Guarded<AccConcat>},
      {"acc_plus", -1, Guarded<AccPlus>},
      {"MID", 2, Guarded<Mid>},
      {"MID", 3, Guarded<Mid>},
      {"INSTR", 3, Guarded<Instr3>},
      {"acc_store_date", 1, Guarded<StoreDate>},
      {"acc_store_bool", 1, Guarded<StoreBool>},
  };
  for (const auto& f : functions)
    sqlite3_create_function(db, f.name, f.args, flags, nullptr, f.f, nullptr, nullptr);
}

}  // namespace kb6
