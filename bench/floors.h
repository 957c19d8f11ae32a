// The engine's floors the cycle is measured against: its own statement stream
// replayed straight through the SQLite C API, in autocommit, every row read
// by type.
#pragma once

#include <string>
#include <vector>

#include "db/statement_shape.h"

struct sqlite3;

namespace kb6 {

struct ReplayResult {
  double seconds = 0;
  long statements = 0;  // statements run
  long failed = 0;      // statements SQLite refused (they count in `statements` too)
};

// The text floor: every text prepared, with the same reuse of the sixteen
// most recent texts that the SQLite provider has.
ReplayResult ReplayTextFloor(sqlite3* db, const std::vector<std::string>& stream);

// The stream split into shapes ahead of the replay, so that the shape floor
// counts nothing but SQLite's work.
struct ShapedStream {
  std::vector<std::string> shapes;  // by index; a plain text where binding is impossible
  std::vector<bool> shape_is_text;  // true: run as the text, no parameters
  std::vector<size_t> shape_of;     // per statement
  std::vector<std::vector<ShapeLiteral>> literals;  // per statement
};
ShapedStream ShapeStream(const std::vector<std::string>& stream);

// The shape floor: one prepared statement per shape, the literals bound.
// A shape that SQLite will not prepare with parameters runs as its texts.
ReplayResult ReplayShapeFloor(sqlite3* db, const std::vector<std::string>& stream,
                              const ShapedStream& shaped);

}  // namespace kb6
