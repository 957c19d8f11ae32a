// The prepared statements of one SQLite connection. A statement in the Access
// dialect runs as its Access shape when it has one (db/access_shape.h):
// translated once, prepared once and kept, its literals bound. Otherwise its
// translation runs as its shape (the text with "?" for the literals), also
// prepared once and kept, or as the text itself, the sixteen most recent
// texts kept. A cycle sends about a hundred shapes in fifty thousand
// statements, and preparing and translating were most of the work for each.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "db/access_shape.h"
#include "db/sqlite_handles.h"
#include "db/statement_shape.h"

namespace kb6 {

// Binds the literals of a shape, in order, as parameters 1..n of `st`. Texts are
// bound without a copy: the literals must outlive the statement's next step.
// Throws DbError when SQLite refuses a value (a statement still running, a
// parameter out of range).
void BindShapeLiterals(sqlite3_stmt* st, const std::vector<ShapeLiteral>& literals);
// The same with parameter p + 1 taking literals[order[p]].
void BindShapeLiterals(sqlite3_stmt* st, const std::vector<ShapeLiteral>& literals,
                       const std::vector<uint16_t>& order);

// What a query reads of its statement's result columns before the rows:
// the same for every run until SQLite prepares the statement anew, so it is
// kept with the statement.
struct ResultColumns {
  int reprepared = -1;  // SQLite's re-preparation count when described; -1: not yet
  std::vector<std::string> names;
  std::vector<unsigned char> kinds;  // the provider's reading of the declared types
};

// A kept statement lent to the caller, its literals bound: when it goes out
// of scope (also by an exception) the statement is reset and its bindings
// cleared, so that it holds no lock or snapshot and no text of the caller.
// Null for a text without a statement.
class PreparedStatement {
 public:
  PreparedStatement() = default;
  PreparedStatement(sqlite3_stmt* st, ResultColumns* columns) : st_(st), columns_(columns) {}
  ~PreparedStatement() { Reset(); }
  PreparedStatement(PreparedStatement&& other) noexcept
      : st_(std::exchange(other.st_, nullptr)), columns_(other.columns_) {}
  PreparedStatement& operator=(PreparedStatement&& other) noexcept {
    if (this != &other) {
      Reset();
      st_ = std::exchange(other.st_, nullptr);
      columns_ = other.columns_;
    }
    return *this;
  }
  PreparedStatement(const PreparedStatement&) = delete;
  PreparedStatement& operator=(const PreparedStatement&) = delete;

  sqlite3_stmt* get() const { return st_; }
  explicit operator bool() const { return st_ != nullptr; }
  ResultColumns& columns() const { return *columns_; }

 private:
  void Reset();
  sqlite3_stmt* st_ = nullptr;
  ResultColumns* columns_ = nullptr;
};

class PreparedStatements {
 public:
  // `db` must outlive this object. Decimals are bound when
  // SqliteReadsDecimalsAsBound(db) holds.
  explicit PreparedStatements(sqlite3* db);
  ~PreparedStatements();
  PreparedStatements(const PreparedStatements&) = delete;
  PreparedStatements& operator=(const PreparedStatements&) = delete;

  // The statement for `sql` with its literals bound, ready to step; null for
  // a text without a statement. Throws DbError as preparing the text would,
  // and for text after the first statement, and when a value cannot be bound.
  // A statement is lent to one caller at a time: asked for again while it
  // still runs, it throws DbError and leaves the running one alone.
  PreparedStatement Get(std::string sql);
  // The same for a statement in the Access dialect, translated for SQLite:
  // by its Access shape when it has one, else as the text of its
  // translation.
  PreparedStatement GetAccess(std::string_view access_sql);
  // Kept statements, for tests: shapes (bound ones and refused ones) and texts.
  size_t access_shape_count() const { return access_shapes_.size(); }
  size_t shape_count() const { return shapes_.size(); }
  size_t text_count() const { return texts_.size(); }
  bool binds_decimals() const { return shape_.bind_decimals; }

  static constexpr size_t kMaxShapes = 256;
  static constexpr size_t kMaxTexts = 16;

 private:
  using StmtHandle = SqliteStatement;
  struct Kept {
    StmtHandle st;
    ResultColumns columns;
    // Throws DbError while the statement is still lent and running.
    PreparedStatement Lend();
  };
  struct Shape {
    Kept kept;  // null: SQLite will not take this shape with parameters
    uint64_t used = 0;
  };

  PreparedStatement GetText(std::string sql);
  // Prepares one statement; text after it is refused. Null when `throw_errors`
  // is false and SQLite refuses.
  StmtHandle PrepareOne(const std::string& sql, bool throw_errors, bool& trailing);
  // A shape's statement; null when SQLite will not take it with parameters.
  StmtHandle PrepareShape(const std::string& sql, size_t literals);
  Shape& FindOrPrepareShape();
  struct AccessEntry {
    Kept kept;  // null: the statements of this shape go as their translation
    std::vector<uint16_t> order;
    uint64_t used = 0;
  };
  AccessEntry& FindOrPrepareAccessShape(std::string_view access_sql);
  // Makes room for one more kept shape in `map`: the least recently used goes.
  template <typename Map>
  static void Evict(Map& map);

  sqlite3* db_;
  StatementShape shape_;  // the last text's shape, its storage reused
  std::unordered_map<std::string, Shape> shapes_;
  AccessShape access_shape_;  // the last Access text's shape, its storage reused
  std::unordered_map<std::string, AccessEntry> access_shapes_;
  // The Access shapes used last, tried before the map: a job's statements go
  // round a small circle of shapes, and comparing a key costs less than
  // hashing it.
  struct Recent {
    const std::string* key = nullptr;
    AccessEntry* entry = nullptr;
    ShapePrefix prefix;  // the key's literal-free start
  };
  std::array<Recent, 8> recent_{};
  size_t next_recent_ = 0;
  uint64_t clock_ = 0;
  std::vector<std::pair<std::string, Kept>> texts_;  // most recent first
};

}  // namespace kb6
