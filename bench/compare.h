// Whether two SQLite files hold the same data: the same schema and, table by
// table in rowid order, the same rows with values of the same storage class
// and the same bytes.
#pragma once

#include <string>

namespace kb6 {

// Empty when equal, else where they first differ.
std::string CompareDatabases(const std::string& a_path, const std::string& b_path);

}  // namespace kb6
