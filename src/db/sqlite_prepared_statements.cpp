#include "db/sqlite_prepared_statements.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "db/access_dialect.h"
#include "db/provider.h"
#include "db/sqlite_decimals.h"
#include "db/sqlite_handles.h"

namespace kb6 {

void PreparedStatement::Reset() {
  if (!st_) return;
  sqlite3_reset(st_);
  // Bound texts point into storage the next statement reuses.
  sqlite3_clear_bindings(st_);
  st_ = nullptr;
}

PreparedStatement PreparedStatements::Kept::Lend() {
  if (sqlite3_stmt_busy(st.get())) throw DbError{SQLITE_MISUSE, sqlite3_errstr(SQLITE_MISUSE)};
  return {st.get(), &columns};
}

PreparedStatements::PreparedStatements(sqlite3* db) : db_(db) {
  shape_.bind_decimals = access_shape_.bind_decimals = SqliteReadsDecimalsAsBound(db);
}

PreparedStatements::~PreparedStatements() = default;

PreparedStatements::StmtHandle PreparedStatements::PrepareOne(const std::string& sql,
                                                              bool throw_errors, bool& trailing) {
  trailing = false;
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &raw, &tail);
  StmtHandle st(raw);
  if (rc != SQLITE_OK) {
    if (throw_errors) throw SqliteError(db_);
    return nullptr;
  }
  // One statement per call, as every provider takes them: text
  // after the first statement must not run unseen.
  if (tail) {
    std::string_view rest(tail);
    while (!rest.empty() &&
           (std::isspace(static_cast<unsigned char>(rest.front())) || rest.front() == ';'))
      rest.remove_prefix(1);
    if (!rest.empty()) {
      trailing = true;
      if (throw_errors)
        throw DbError{SQLITE_ERROR, "Zeichen nach dem Ende der SQL-Anweisung gefunden."};
      return nullptr;
    }
  }
  return st;
}

template <typename Map>
void PreparedStatements::Evict(Map& map) {
  if (map.size() < kMaxShapes) return;
  auto oldest = std::min_element(map.begin(), map.end(), [](const auto& a, const auto& b) {
    return a.second.used < b.second.used;
  });
  map.erase(oldest);
}

PreparedStatements::StmtHandle PreparedStatements::PrepareShape(const std::string& sql,
                                                                size_t literals) {
  bool trailing = false;
  StmtHandle st = PrepareOne(sql, false, trailing);
  // Refused as a shape, the text goes as it is and SQLite says why, if it
  // fails there too. A literal in a result column without a name of its own
  // would name the column "?" instead of the literal's text.
  if (st && sqlite3_bind_parameter_count(st.get()) != static_cast<int>(literals)) st.reset();
  for (int i = 0; st && i < sqlite3_column_count(st.get()); ++i)
    if (std::strchr(sqlite3_column_name(st.get(), i), '?')) st.reset();
  return st;
}

PreparedStatements::Shape& PreparedStatements::FindOrPrepareShape() {
  if (auto it = shapes_.find(shape_.key); it != shapes_.end()) return it->second;
  Evict(shapes_);
  Shape shape;
  shape.kept.st = PrepareShape(shape_.key, shape_.literals.size());
  return shapes_.emplace(shape_.key, std::move(shape)).first->second;
}

PreparedStatements::AccessEntry& PreparedStatements::FindOrPrepareAccessShape(
    std::string_view access_sql) {
  const std::string& key = access_shape_.key;
  for (const Recent& r : recent_)
    if (r.key && r.key->size() == key.size() &&
        std::memcmp(r.key->data(), key.data(), key.size()) == 0)
      return *r.entry;
  auto it = access_shapes_.find(key);
  if (it == access_shapes_.end()) {
    if (access_shapes_.size() >= kMaxShapes) {
      Evict(access_shapes_);
      recent_ = {};  // it may have held the one that went
    }
    AccessEntry entry;
    if (std::optional<TranslatedShape> shape = TranslateAccessShape(access_sql, access_shape_)) {
      entry.kept.st = PrepareShape(shape->sql, access_shape_.literals.size());
      entry.order = std::move(shape->order);
    }
    it = access_shapes_.emplace(key, std::move(entry)).first;
  }
  recent_[next_recent_++ % recent_.size()] = {&it->first, &it->second, access_shape_.prefix};
  return it->second;
}

namespace {

void BindLiteral(sqlite3_stmt* st, int p, const ShapeLiteral& lit) {
  int rc = SQLITE_OK;
  switch (lit.kind) {
    case ShapeLiteral::Kind::kInteger:
      rc = sqlite3_bind_int64(st, p, lit.integer);
      break;
    case ShapeLiteral::Kind::kReal:
      rc = sqlite3_bind_double(st, p, lit.real);
      break;
    case ShapeLiteral::Kind::kText:
      rc = sqlite3_bind_text(st, p, lit.text.data(), static_cast<int>(lit.text.size()),
                             SQLITE_STATIC);
      break;
  }
  // SQLITE_MISUSE: the statement is still lent and running.
  if (rc != SQLITE_OK) throw DbError{rc, sqlite3_errstr(rc)};
}

}  // namespace

void BindShapeLiterals(sqlite3_stmt* st, const std::vector<ShapeLiteral>& literals) {
  int p = 1;
  for (const ShapeLiteral& lit : literals) BindLiteral(st, p++, lit);
}

void BindShapeLiterals(sqlite3_stmt* st, const std::vector<ShapeLiteral>& literals,
                       const std::vector<uint16_t>& order) {
  int p = 1;
  for (uint16_t k : order) BindLiteral(st, p++, literals[k]);
}

PreparedStatement PreparedStatements::Get(std::string sql) {
  if (ShapeStatement(sql, shape_)) {
    Shape& shape = FindOrPrepareShape();
    if (shape.kept.st) {
      shape.used = ++clock_;
      PreparedStatement lent = shape.kept.Lend();
      BindShapeLiterals(lent.get(), shape_.literals);
      return lent;
    }
  }
  return GetText(std::move(sql));
}

PreparedStatement PreparedStatements::GetAccess(std::string_view access_sql) {
  // A recent key whose literal-free start this statement repeats: most of a
  // long statement needs no scan then.
  const ShapePrefix* known = nullptr;
  for (const Recent& r : recent_)
    if (r.key && r.prefix.length > (known ? known->length : 0) &&
        r.prefix.length < access_sql.size() &&
        std::memcmp(r.key->data(), access_sql.data(), r.prefix.length) == 0)
      known = &r.prefix;
  if (ShapeAccessStatement(access_sql, access_shape_, known)) {
    AccessEntry& entry = FindOrPrepareAccessShape(access_sql);
    if (entry.kept.st) {
      entry.used = ++clock_;
      PreparedStatement lent = entry.kept.Lend();
      BindShapeLiterals(lent.get(), access_shape_.literals, entry.order);
      return lent;
    }
  }
  return Get(TranslateAccessToSqlite(access_sql));
}

PreparedStatement PreparedStatements::GetText(std::string sql) {
  // The jobs send some texts again and again (the count statements).
  for (size_t i = 0; i < texts_.size(); ++i) {
    if (texts_[i].first != sql) continue;
    std::rotate(texts_.begin(), texts_.begin() + static_cast<long>(i),
                texts_.begin() + static_cast<long>(i) + 1);
    return texts_.front().second.Lend();
  }
  bool trailing = false;
  StmtHandle st = PrepareOne(sql, true, trailing);
  if (!st) return {};
  if (texts_.size() == kMaxTexts) texts_.pop_back();
  texts_.emplace(texts_.begin(), std::move(sql), Kept{std::move(st), {}});
  return texts_.front().second.Lend();
}

}  // namespace kb6
