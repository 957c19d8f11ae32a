// Local wall-clock times of the log, read with the time zone's rules: the
// instants a local time can stand for, so that durations across a change to
// or from daylight saving time come out as the time that really passed.
#pragma once

#include <cstdint>
#include <vector>

namespace kb6::report {

// Seconds since the epoch of each reading of the local time `serial` (a day
// serial): two in the hour that a change back from daylight saving time
// repeats, one otherwise. Never empty.
std::vector<int64_t> LocalInstants(double serial);

// One instant per local time, the set of readings that spans the least time
// (a cycle is short, so the hour a clock change repeats is read the way that
// keeps the cycle together).
std::vector<int64_t> ClosestInstants(const std::vector<double>& serials);

}  // namespace kb6::report
