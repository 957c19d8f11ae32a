// SQL Server logins through the real FreeTDS driver against a fake TDS
// server (no SQL Server can run here): what the settings hold must arrive
// in the LOGIN7 packet byte for byte, and no value may change where the
// driver connects or which database it asks for.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "db/odbc/odbc_provider.h"
#include "fake_tds_server.h"
#include "test_support.h"

namespace kb6::test {
namespace {

class SqlServerLoginFakeTdsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv(kOdbcDriverVariable);  // the default driver, FreeTDS
    RegisterOdbcProvider(providers);
    settings.SQLServer_Host = "127.0.0.1," + std::to_string(server.port());
  }
  // Logs in with the settings; the fake server always hangs up afterwards.
  std::vector<TdsLogin> LogIn() {
    Database db(settings, regional, clock, providers);
    EXPECT_FALSE(db.OpenDatabase());
    return server.Logins();
  }
  FakeTdsServer server;
  FixedClock clock{Day(2026, 12, 6)};
  RegionalSettings regional = RegionalSettings::German();
  Settings settings;
  ProviderRegistry providers;
};

TEST_F(SqlServerLoginFakeTdsTest, UserAndPasswordArriveByteForByte) {
  const char* values[] = {"x};DATABASE=master;y",
                          "x};PORT=1434;y",
                          "x};SERVER=10.0.0.1;y",
                          "{a}",
                          "a=b",
                          "}}",
                          " \tedges\t ",
                          "Müller€",
                          "Kennwort\xf0\x9f\x98\x80",
                          "\"q'uo\"te'",
                          "p;UID=sa"};
  const std::string database = "Verein; #1=[x]";
  settings.SQLServer_DB = database;
  size_t arrived = 0;
  for (const bool in_user : {false, true}) {
    for (const char* value : values) {
      SCOPED_TRACE(std::string(in_user ? "user " : "password ") + value);
      settings.SQLServer_User = in_user ? value : "kbtray";
      settings.SQLServer_Passwort = in_user ? "geheim" : value;
      const std::vector<TdsLogin> logins = LogIn();
      // Only this server's port can have received it: a value that moved
      // the driver elsewhere leaves the list as it was.
      ASSERT_GT(logins.size(), arrived);
      for (size_t i = arrived; i < logins.size(); ++i) {
        EXPECT_EQ(logins[i].user, settings.SQLServer_User);
        EXPECT_EQ(logins[i].password, settings.SQLServer_Passwort);
        EXPECT_EQ(logins[i].database, database);
        EXPECT_EQ(logins[i].server, "127.0.0.1");
      }
      arrived = logins.size();
    }
  }
}

TEST_F(SqlServerLoginFakeTdsTest, SettingsTheDataSourceCannotCarryAreRefused) {
  // A line break would start a setting of its own; the reader trims edges.
  for (const char* database : {"Verein\nPort = 1", " Verein", "Verein\t", "Ver\rein"}) {
    settings.SQLServer_DB = database;
    LogIn();
  }
  settings.SQLServer_DB = "Verein";
  settings.SQLServer_Host = "127.0.0.1\nPort = 1434";
  LogIn();
  EXPECT_TRUE(server.Logins().empty());
}

TEST_F(SqlServerLoginFakeTdsTest, TheDataSourceLastsOnlyForTheConnect) {
  // The user's own ODBCINI comes back, and the private folder goes.
  TempDir temp;
  setenv("TMPDIR", temp.path().c_str(), 1);
  setenv("ODBCINI", "/nonexistent/odbc.ini", 1);
  settings.SQLServer_DB = "Verein";
  settings.SQLServer_User = "kbtray";
  settings.SQLServer_Passwort = "geheim";
  const size_t arrived = LogIn().size();
  const std::string ini = std::getenv("ODBCINI") ? std::getenv("ODBCINI") : "(unset)";
  const bool empty = std::filesystem::is_empty(temp.path());
  unsetenv("ODBCINI");
  unsetenv("TMPDIR");
  EXPECT_GE(arrived, 1u);
  EXPECT_EQ(ini, "/nonexistent/odbc.ini");
  EXPECT_TRUE(empty);
}

}  // namespace
}  // namespace kb6::test
