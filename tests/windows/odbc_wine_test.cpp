// odbc32 under Wine hands the calls to the host's unixODBC, so the SQLite
// ODBC driver stands in for a SQL Server; it opens host paths.
#include <gtest/gtest.h>
#include <windows.h>

#include "db/odbc/odbc_provider.h"
#include "platform/windows/text_windows.h"
#include "test_support.h"

namespace kb6::test {
namespace {

// The host path of a Windows path; "" outside Wine.
std::string UnixPath(const std::string& windows_path) {
  using Convert = char*(CDECL*)(LPCWSTR);
  const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return "";
  char* unix_path = convert(WideFromUtf8(windows_path).c_str());
  if (!unix_path) return "";
  std::string out = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return out;
}

TEST(OdbcUnderWine, StatementsAndUmlautsReachTheHostsDriver) {
  TempDir dir;
  const std::string database = UnixPath(dir.File("server.db"));
  if (database.empty()) GTEST_SKIP() << "needs Wine and the host's SQLite ODBC driver";
  // A DbError here fails the test with its text.
  auto session = OpenOdbcSession("DRIVER={SQLite3};DATABASE=" + QuoteOdbcValue(database));
  session->Execute("CREATE TABLE T (ID INTEGER, NAME VARCHAR(50))");
  EXPECT_EQ(session->Execute("INSERT INTO T VALUES (1, 'Jürgen Größe')"), 1);
  const RowSet r = session->Query("SELECT ID, NAME FROM T");
  ASSERT_EQ(r.rows.size(), 1u);
  EXPECT_EQ(r.rows[0][1], Value(std::string("Jürgen Größe")));
  EXPECT_THROW(OpenOdbcSession("DRIVER={no such driver};DATABASE={x}"), DbError);
}

}  // namespace
}  // namespace kb6::test
