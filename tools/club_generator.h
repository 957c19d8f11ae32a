// Builds synthetic club databases in the schema's conventions: the demo
// database, test fixtures and benchmark files. Deterministic for a seed.
#pragma once

#include <cstdint>
#include <string>

namespace kb6 {

struct ClubShape {
  int active_addresses = 300;
  uint32_t seed = 1;
};

// Creates `path` (which must not exist) with the club schema and the data.
// Throws std::runtime_error on failure.
void GenerateClubDatabase(const std::string& path, const ClubShape& shape);

// Creates `path` with the club schema only.
void CreateEmptyClubDatabase(const std::string& path);

}  // namespace kb6
