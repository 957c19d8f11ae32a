#include <gtest/gtest.h>

#include "test_support.h"

namespace kb6::test {
namespace {

using Application = ClubTest;

TEST_F(Application, ClosedConnectionObjectIsNotReopened) {
  settings.AccessDatenbank = dir.File("fehlt.db");
  EXPECT_FALSE(db->OpenDatabase());
  Recordset rs;
  std::string sql = "SELECT 1 AS X";
  EXPECT_EQ(db->OpenRecordset(sql, rs),
            "Die Verbindung zur Datenbank konnte nicht hergestellt werden.");
}

}  // namespace
}  // namespace kb6::test
