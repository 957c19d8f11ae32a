// kb6-demo-db FILE [ACTIVE_ADDRESSES [SEED]]: writes a synthetic club database.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "club_generator.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: %s FILE [ACTIVE_ADDRESSES [SEED]]\n", argv[0]);
    return 2;
  }
  kb6::ClubShape shape;
  if (argc > 2) shape.active_addresses = std::atoi(argv[2]);
  if (argc > 3) shape.seed = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  try {
    kb6::GenerateClubDatabase(argv[1], shape);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kb6-demo-db: %s\n", e.what());
    return 1;
  }
  return 0;
}
