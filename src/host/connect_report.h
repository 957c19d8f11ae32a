// Tells the administrator on standard error why the monitor does nothing:
// a cycle whose database does not open stays quiet and writes no log entry,
// so this line is the one trace of the cause.
#pragma once

#include <ostream>
#include <string>

namespace kb6 {

class ConnectReport {
 public:
  // Lines go to the operator (TellOperator: an error when the database does
  // not open, information when it opens again).
  ConnectReport() = default;
  // Lines go to `out` as they are, for tests.
  explicit ConnectReport(std::ostream& out) : out_(&out) {}
  // Called after every cycle with the cause its database did not open for,
  // empty when it opened. Prints a line when a cause first shows or differs
  // from the one printed last, and one line when the database opens again.
  void AfterCycle(const std::string& cause);

 private:
  std::ostream* out_ = nullptr;
  std::string shown_;
};

}  // namespace kb6
