// Club files, log folders and log files at paths the ANSI code page cannot
// spell (German, Greek, Cyrillic folder names), on the real file system
// under Wine: each opens, and a missing one says which file it is.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "club_generator.h"
#include "common/utf8_path.h"
#include "db/provider.h"
#include "db/sqlite_provider.h"
#include "runlog/log_os.h"

namespace kb6::test {
namespace {

std::string Utf8(const std::filesystem::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

TEST(UnicodePaths, ClubFileAndLogAtPathsBeyondTheAnsiCodePage) {
  const std::filesystem::path base =
      std::filesystem::temp_directory_path() /
      ("kb6-unicode-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  for (const char* folder : {"Verein Daten äöüß", "Σύλλογος", "Клуб данные"}) {
    SCOPED_TRACE(folder);
    const std::filesystem::path dir = base / PathFromUtf8(folder);
    std::filesystem::create_directories(dir);
    const std::string club = Utf8(dir / "club ä.db");
    ASSERT_NO_THROW(GenerateClubDatabase(club, ClubShape{5, 1}));
    EXPECT_NO_THROW(OpenSqliteSession(club, {}));

    const std::string missing = Utf8(dir / "fehlt ö.db");
    try {
      OpenSqliteSession(missing, {});
      ADD_FAILURE() << "a missing file opened";
    } catch (const DbError& e) {
      EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }

    const std::string logs = Utf8(dir / PathFromUtf8("Logfiles Σ"));
    ASSERT_TRUE(EnsureDirectory(logs, true));
    ASSERT_TRUE(AppendLogLine(logs + "\\KB6TRAY.log", "Zeile äöü"));
    EXPECT_EQ(std::filesystem::file_size(dir / PathFromUtf8("Logfiles Σ") / "KB6TRAY.log"),
              std::string("Zeile \xE4\xF6\xFC\r\n").size());
  }
  std::error_code ec;
  std::filesystem::remove_all(base, ec);
}

}  // namespace
}  // namespace kb6::test
