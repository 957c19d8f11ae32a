// The data-access layer the database module is written against: a connection
// that opens through a provider chosen by the "Provider=" part of its
// connection string, and static client-side recordsets that hold their rows
// after open. Providers report failures by throwing DbError.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/value.h"

namespace kb6 {

// A provider's failure: its native number and message. A RuntimeError, so
// that every trap of the monitor (they catch std::exception) catches it too.
// missing_object: the statement names a table or column the file does not
// have (an older club file), the one failure a job passes over silently.
class DbError : public RuntimeError {
 public:
  DbError(int number, const std::string& description, bool missing_object = false)
      : RuntimeError(number, description), missing_object_(missing_object) {}
  bool missing_object() const { return missing_object_; }

 private:
  bool missing_object_;
};

// A fetched result: column names and typed rows.
struct RowSet {
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;
};

// What a provider does once it is connected.
class ProviderSession {
 public:
  virtual ~ProviderSession() = default;
  // Runs a statement; a result set it yields is discarded. Returns rows affected.
  virtual int64_t Execute(const std::string& sql) = 0;
  // Fetches every row into `out`, replacing what it held; its storage is
  // reused, so that a recordset opened row after row does not allocate anew.
  virtual void Query(const std::string& sql, RowSet& out) = 0;
  RowSet Query(const std::string& sql) {
    RowSet out;
    Query(sql, out);
    return out;
  }
};

// Connection-string attributes, keys compared without case.
class ConnectionAttributes {
 public:
  // Parses "k=v;k2=v2" where a value may be enclosed in double or single
  // quotes (the quote character doubled inside).
  static ConnectionAttributes Parse(std::string_view text);
  std::string Get(std::string_view key) const;

 private:
  std::vector<std::pair<std::string, std::string>> items_;
};

// Writes a value for a connection string: unchanged unless it could be read
// as more than one value, then in double quotes with inner ones doubled.
std::string QuoteConnectionValue(const std::string& value);

using ProviderFactory =
    std::function<std::unique_ptr<ProviderSession>(const ConnectionAttributes&)>;

class ProviderRegistry {
 public:
  void Register(const std::string& provider_name, ProviderFactory factory);
  // Throws DbError when no provider of that name is registered.
  std::unique_ptr<ProviderSession> Connect(const std::string& connection_string) const;

 private:
  std::map<std::string, ProviderFactory> factories_;
};

class Connection {
 public:
  explicit Connection(const ProviderRegistry& registry) : registry_(registry) {}
  // Connects through the provider the string names; throws DbError.
  void Open(const std::string& connection_string);
  int State() const { return session_ ? 1 : 0; }
  void Close();
  // Rows affected; throws DbError, also when the connection is closed.
  int64_t Execute(const std::string& sql);
  void Query(const std::string& sql, RowSet& out);

 private:
  ProviderSession& Session();
  const ProviderRegistry& registry_;
  std::unique_ptr<ProviderSession> session_;
};

class Recordset {
 public:
  int State() const { return open_ ? 1 : 0; }
  void Close();
  // Fetches every row of the source; throws DbError on failure.
  void Open(const std::string& source, Connection& connection);
  bool EndOfData() const { return !open_ || pos_ >= rows_.rows.size(); }
  void MoveNext();
  // Case-insensitive look-up; no current row or an unknown name raise RuntimeError.
  const Value& Field(std::string_view name) const;

 private:
  bool open_ = false;
  RowSet rows_;
  size_t pos_ = 0;
  // Columns found for earlier look-ups in this result, by where the name lies
  // in memory: the jobs ask for the same literal names row after row.
  struct Found {
    const char* name = nullptr;
    size_t size = 0;
    size_t column = 0;
  };
  mutable std::array<Found, 16> found_{};
  mutable size_t next_found_ = 0;
};

}  // namespace kb6
