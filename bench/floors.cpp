#include "floors.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <unordered_map>
#include <utility>

#include "db/sqlite_handles.h"
#include "db/sqlite_prepared_statements.h"

namespace kb6 {
namespace {

using Clock = std::chrono::steady_clock;

using StmtHandle = SqliteStatement;

double Seconds(Clock::time_point a) {
  return std::chrono::duration<double>(Clock::now() - a).count();
}

// Steps to the end reading every value the way a client must: by its type.
bool StepAll(sqlite3_stmt* st) {
  volatile double sink = 0;
  const int n = sqlite3_column_count(st);
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int i = 0; i < n; ++i) {
      switch (sqlite3_column_type(st, i)) {
        case SQLITE_INTEGER:
          sink = sink + static_cast<double>(sqlite3_column_int64(st, i));
          break;
        case SQLITE_FLOAT:
          sink = sink + sqlite3_column_double(st, i);
          break;
        case SQLITE_TEXT:
          sink = sink + sqlite3_column_bytes(st, i);
          break;
        default:
          break;
      }
    }
  }
  sqlite3_reset(st);
  return rc == SQLITE_DONE;
}

StmtHandle PrepareText(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr);
  return StmtHandle(st);
}

}  // namespace

[[gnu::noinline]] ReplayResult ReplayTextFloor(sqlite3* db,
                                               const std::vector<std::string>& stream) {
  constexpr size_t kCached = 16;  // as in the SQLite provider
  std::vector<std::pair<std::string, StmtHandle>> cache;
  ReplayResult r;
  const auto a = Clock::now();
  for (const std::string& sql : stream) {
    ++r.statements;
    sqlite3_stmt* st = nullptr;
    for (size_t i = 0; i < cache.size(); ++i) {
      if (cache[i].first != sql) continue;
      std::rotate(cache.begin(), cache.begin() + static_cast<long>(i),
                  cache.begin() + static_cast<long>(i) + 1);
      st = cache.front().second.get();
      break;
    }
    if (!st) {
      StmtHandle fresh = PrepareText(db, sql);
      if (!fresh) {
        ++r.failed;
        continue;
      }
      if (cache.size() == kCached) cache.pop_back();
      cache.emplace(cache.begin(), sql, std::move(fresh));
      st = cache.front().second.get();
    }
    if (!StepAll(st)) ++r.failed;
  }
  r.seconds = Seconds(a);
  return r;
}

ShapedStream ShapeStream(const std::vector<std::string>& stream) {
  ShapedStream out;
  std::unordered_map<std::string, size_t> index;
  StatementShape shape;
  for (const std::string& sql : stream) {
    const bool bindable = ShapeStatement(sql, shape);
    const std::string& key = bindable ? shape.key : sql;
    auto [it, fresh] = index.try_emplace(key, out.shapes.size());
    if (fresh) {
      out.shapes.push_back(key);
      out.shape_is_text.push_back(!bindable);
    }
    out.shape_of.push_back(it->second);
    out.literals.push_back(bindable ? shape.literals : std::vector<ShapeLiteral>{});
  }
  return out;
}

[[gnu::noinline]] ReplayResult ReplayShapeFloor(sqlite3* db, const std::vector<std::string>& stream,
                                                const ShapedStream& shaped) {
  std::vector<StmtHandle> prepared(shaped.shapes.size());
  std::vector<bool> as_text = shaped.shape_is_text;
  std::vector<bool> tried(shaped.shapes.size());
  ReplayResult r;
  const auto a = Clock::now();
  for (size_t k = 0; k < stream.size(); ++k) {
    ++r.statements;
    const size_t s = shaped.shape_of[k];
    if (!tried[s]) {
      tried[s] = true;
      prepared[s] = PrepareText(db, shaped.shapes[s]);
      if (!as_text[s] && (!prepared[s] || sqlite3_bind_parameter_count(prepared[s].get()) !=
                                              static_cast<int>(shaped.literals[k].size()))) {
        prepared[s].reset();
        as_text[s] = true;
      }
      if (as_text[s]) prepared[s].reset();
    }
    if (as_text[s]) {
      StmtHandle st = PrepareText(db, stream[k]);
      if (!st || !StepAll(st.get())) ++r.failed;
      continue;
    }
    sqlite3_stmt* st = prepared[s].get();
    BindShapeLiterals(st, shaped.literals[k]);
    if (!StepAll(st)) ++r.failed;
  }
  r.seconds = Seconds(a);
  return r;
}

}  // namespace kb6
