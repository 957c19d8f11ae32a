// The SQL dialect of the connected back end, as far as the statement texts
// written by this program differ: the form of date literals.
#pragma once

namespace kb6 {

enum class Dialect {
  kAccess,     // #m-d-yyyy#, #m-d-yyyy hh:mm#
  kSqlServer,  // {d 'yyyy-mm-dd'}, {ts 'yyyy-mm-dd hh:mm:ss'}
};

}  // namespace kb6
