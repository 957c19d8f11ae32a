// The KB6TRAY executable as a real process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "process_support.h"
#include "test_support.h"

namespace kb6::test {
namespace {

ProcessResult RunHost(const TempDir& dir, const std::vector<std::string>& args) {
  return RunKb6Tray(args, dir.File("stderr.txt"));
}

TEST(Host, HelpDocumentsTheOptions) {
  TempDir dir;
  const pid_t pid = Spawn({KB6TRAY_EXE, "--help"}, dir.File("err"), dir.File("out"));
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string help = ReadFile(dir.File("out"));
  for (const char* word :
       {"--datenpfad", "--access-db", "--sqlserver-host", "--sqlserver-db", "--sqlserver-user",
        "--programmversion", "--once", "KB6TRAY_SQLSERVER_PASSWORD"})
    EXPECT_NE(help.find(word), std::string::npos) << word;
}

TEST(Host, BadOptionsAndMissingFilesExitWithTwoBeforeAnythingStarts) {
  TempDir dir;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--once", "--access-db", dir.File("missing.db")},
        std::vector<std::string>{"--once"}, std::vector<std::string>{"--bogus"}}) {
    const ProcessResult r = RunHost(dir, args);
    EXPECT_TRUE(WIFEXITED(r.status));
    EXPECT_EQ(WEXITSTATUS(r.status), 2);
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db")));
  EXPECT_NE(
      RunHost(dir, {"--once", "--access-db", dir.File("missing.db")}).err.find("nicht gefunden"),
      std::string::npos);
}

TEST(Host, OnceRunsEveryIntervalOnAFirstRun) {
  TempDir dir;
  GenerateClubDatabase(dir.File("club.db"), {20, 7});
  const ProcessResult r =
      RunHost(dir, {"--once", "--access-db", dir.File("club.db"), "--datenpfad", dir.path()});
  ASSERT_EQ(WEXITSTATUS(r.status), 0) << r.err;
  EXPECT_EQ(r.err.rfind("[Symbol] Korbinar V6 Systemüberwachung im Leerlauf\n", 0), 0u);
  std::string text;
  for (const auto& e : std::filesystem::directory_iterator(dir.File("Logfiles")))
    text += ReadFile(e.path());
  for (const char* line :
       {"Die Datenreorganisation 1-tägig wird gestartet ...", " Adresse(n) aktualisiert.",
        " Abteilung(en) aktualisiert.", " Spende(n) der Spendeart-Text aktualisiert.",
        "Die eintägige Überprüfung von diversen Programmdaten",
        " Adresse(n) die Übersicht aktualisiert.",
        " Adresse(n) wegen der Anzahl Abteilungen aktualisiert.",
        " Adresse(n) im Komplettlauf aktualisiert.",
        " Adresse(n) wegen der Anzahl Funktionen / Ehrungen / Merkmale aktualisiert.",
        "Die Datenreorganisation 2-wöchig ist abgeschlossen."})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_EQ(text.find("Ungültige"), std::string::npos) << text;
  size_t balloons = 0;
  for (size_t at = r.err.find("[Hinweis]"); at != std::string::npos;
       at = r.err.find("[Hinweis]", at + 1))
    ++balloons;
  EXPECT_EQ(balloons, 2u);
}

TEST(Host, UnreachableSqlServerEndsTheCycleQuietly) {
  TempDir dir;
  const ProcessResult r =
      RunHost(dir, {"--once", "--sqlserver-host", "127.0.0.1", "--sqlserver-db", "club",
                    "--sqlserver-user", "u", "--datenpfad", dir.path()});
  EXPECT_EQ(WEXITSTATUS(r.status), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Logfiles")));
  // The idle tool tip and its removal, no balloon; between them one line
  // that names the cause in the driver's words.
  const std::string tip = "[Symbol] Korbinar V6 Systemüberwachung im Leerlauf\n";
  const std::string cause = "KB6TRAY: Die Datenbank kann nicht geöffnet werden: ";
  ASSERT_EQ(r.err.rfind(tip + cause, 0), 0u) << r.err;
  const size_t end = r.err.find('\n', tip.size());
  EXPECT_GT(end, tip.size() + cause.size()) << r.err;
  EXPECT_EQ(r.err.substr(end + 1), "[Symbol] entfernt\n");
}

TEST(Host, ASecondSignalEndsTheProcessAtOnce) {
  TempDir dir;
  CreateEmptyClubDatabase(dir.File("club.db"));
  const pid_t pid =
      Spawn({KB6TRAY_EXE, "--access-db", dir.File("club.db"), "--datenpfad", dir.path()},
            dir.File("err"));
  for (int i = 0; i < 100 && ReadFile(dir.File("err")).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  kill(pid, SIGTERM);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0);  // the first only asks to close after a cycle
  const auto start = std::chrono::steady_clock::now();
  kill(pid, SIGTERM);
  waitpid(pid, &status, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
}

}  // namespace
}  // namespace kb6::test
