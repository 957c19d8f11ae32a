// A connect that failed leaves a closed connection object, which a later
// query does not reopen.
#include <gtest/gtest.h>

#include <filesystem>

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
  EXPECT_FALSE(std::filesystem::exists(settings.AccessDatenbank));  // not created
}

}  // namespace
}  // namespace kb6::test
