// The DDL of every club table the monitor reads or writes (schema/club.sql).
#pragma once

namespace kb6 {

const char* ClubSchemaSql();

}  // namespace kb6
