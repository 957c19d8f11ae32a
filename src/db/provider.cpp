#include "db/provider.h"

#include <cctype>

#include "common/text.h"

namespace kb6 {

ConnectionAttributes ConnectionAttributes::Parse(std::string_view text) {
  ConnectionAttributes out;
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    if (eq == std::string_view::npos) break;
    std::string key = std::string(TrimSet(text.substr(i, eq - i), kWhitespace));
    i = eq + 1;
    while (i < text.size() && text[i] == ' ') ++i;
    std::string value;
    if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
      const char q = text[i++];
      while (i < text.size()) {
        if (text[i] == q) {
          if (i + 1 < text.size() && text[i + 1] == q) {
            value += q;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        value += text[i++];
      }
      size_t semi = text.find(';', i);
      i = semi == std::string_view::npos ? text.size() : semi + 1;
    } else {
      size_t semi = text.find(';', i);
      size_t end = semi == std::string_view::npos ? text.size() : semi;
      value = std::string(TrimSet(text.substr(i, end - i), kWhitespace));
      i = semi == std::string_view::npos ? text.size() : semi + 1;
    }
    if (!key.empty()) out.items_.emplace_back(std::move(key), std::move(value));
  }
  return out;
}

std::string ConnectionAttributes::Get(std::string_view key) const {
  // The first occurrence wins, so a value can never be overridden later on.
  for (const auto& [k, v] : items_)
    if (EqualsNoCase(k, key)) return v;
  return {};
}

std::string QuoteConnectionValue(const std::string& value) {
  // Parse trims every kind of white space around an unquoted value.
  const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  const bool plain = value.find_first_of(";\"'") == std::string::npos &&
                     (value.empty() || (!space(value.front()) && !space(value.back())));
  if (plain) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

void ProviderRegistry::Register(const std::string& provider_name, ProviderFactory factory) {
  factories_[provider_name] = std::move(factory);
}

std::unique_ptr<ProviderSession> ProviderRegistry::Connect(
    const std::string& connection_string) const {
  const ConnectionAttributes attrs = ConnectionAttributes::Parse(connection_string);
  const std::string provider = attrs.Get("Provider");
  for (const auto& [name, factory] : factories_)
    if (EqualsNoCase(name, provider)) return factory(attrs);
  throw DbError{3706, "Der Provider '" + provider + "' wurde nicht gefunden."};
}

void Connection::Open(const std::string& connection_string) {
  session_.reset();
  session_ = registry_.Connect(connection_string);
}

void Connection::Close() { session_.reset(); }

ProviderSession& Connection::Session() {
  if (!session_)
    throw DbError{3704, "Der Vorgang ist für ein geschlossenes Objekt nicht zulässig."};
  return *session_;
}

int64_t Connection::Execute(const std::string& sql) { return Session().Execute(sql); }

void Connection::Query(const std::string& sql, RowSet& out) { Session().Query(sql, out); }

void Recordset::Close() {
  open_ = false;
  // The storage stays for the next Open of this recordset.
  rows_.columns.clear();
  rows_.rows.clear();
  pos_ = 0;
  found_ = {};
}

void Recordset::Open(const std::string& source, Connection& connection) {
  Close();
  try {
    connection.Query(source, rows_);
  } catch (...) {
    Close();  // nothing of a result that failed half way
    throw;
  }
  open_ = true;
}

void Recordset::MoveNext() {
  if (EndOfData())
    throw RuntimeError(3021,
                       "BOF oder EOF ist gleich True, oder der aktuelle Datensatz wurde "
                       "gelöscht. Die angeforderte Operation benötigt einen aktuellen Datensatz.");
  ++pos_;
}

const Value& Recordset::Field(std::string_view name) const {
  const std::vector<std::string>& columns = rows_.columns;
  size_t column = columns.size();
  // A name found before is the same column again as long as it still reads
  // the same: the first column of that name in this result.
  for (const Found& f : found_) {
    if (f.name != name.data() || f.size != name.size() || f.column >= columns.size()) continue;
    const std::string& candidate = columns[f.column];
    if (candidate == name || EqualsNoCase(candidate, name)) column = f.column;
    break;
  }
  if (column == columns.size()) {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].size() != name.size() || !EqualsNoCase(columns[i], name)) continue;
      column = i;
      found_[next_found_++ % found_.size()] = {name.data(), name.size(), i};
      break;
    }
  }
  if (column == columns.size())
    throw RuntimeError(3265, "Das Objekt '" + std::string(name) +
                                 "' wurde in der Auflistung, die dem angeforderten Namen bzw. der "
                                 "angeforderten Ordinalzahl entspricht, nicht gefunden.");
  if (EndOfData())
    throw RuntimeError(3021,
                       "BOF oder EOF ist gleich True, oder der aktuelle Datensatz wurde "
                       "gelöscht. Die angeforderte Operation benötigt einen aktuellen "
                       "Datensatz.");
  return rows_.rows[pos_][column];
}

}  // namespace kb6
