// Logins through the real FreeTDS driver against a fake TDS server: the
// settings arrive byte for byte and never change where the driver connects.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "db/odbc/odbc_provider.h"
#include "db/odbc/utf16.h"
#include "test_support.h"

namespace kb6::test {
namespace {

// What one LOGIN7 packet carried, its texts decoded from UTF-16LE to UTF-8.
struct TdsLogin {
  std::string user, password, database;
};

constexpr uint8_t kPreLogin = 0x12;
constexpr uint8_t kLogin7 = 0x10;
constexpr uint8_t kEndOfMessage = 0x01;

// One TDS message: its packets' payloads joined; false when the peer left.
bool ReadMessage(int fd, uint8_t& type, std::vector<uint8_t>& payload) {
  payload.clear();
  for (uint8_t header[8];;) {
    if (::recv(fd, header, sizeof header, MSG_WAITALL) != sizeof header) return false;
    const size_t length = static_cast<size_t>(header[2]) << 8 | header[3];
    if (length < sizeof header) return false;
    type = header[0];
    const size_t old = payload.size(), more = length - sizeof header;
    payload.resize(old + more);
    if (::recv(fd, payload.data() + old, more, MSG_WAITALL) != static_cast<ssize_t>(more))
      return false;
    if (header[1] & kEndOfMessage) return true;
  }
}

// A LOGIN7 text by its offset/length at "at"; password bytes come obfuscated.
std::string Field(const std::vector<uint8_t>& login, size_t at, bool password = false) {
  const auto le16 = [&](size_t i) {
    return static_cast<size_t>(login.at(i) | login.at(i + 1) << 8);
  };
  const size_t offset = le16(at), units = le16(at + 2);
  if (offset + 2 * units > login.size()) throw std::runtime_error("LOGIN7 field out of range");
  std::u16string text;
  for (size_t i = offset; i < offset + 2 * units; i += 2) {
    uint8_t b[2] = {login[i], login[i + 1]};
    if (password)
      for (uint8_t& x : b) x = static_cast<uint8_t>((x ^ 0xA5) << 4 | (x ^ 0xA5) >> 4);
    text += static_cast<char16_t>(b[0] | b[1] << 8);
  }
  return Utf8FromUtf16(text);
}

TdsLogin DecodeLogin7(const std::vector<uint8_t>& login) {
  return {Field(login, 40), Field(login, 44, true), Field(login, 68)};
}

// VERSION 15.0.2000 and no encryption, so the login comes in the clear.
constexpr char kPreLoginReply[] =
    "\x04\x01\x00\x1a\x00\x00\x01\x00"              // header: tabular result, end of message
    "\x00\x00\x0b\x00\x06\x01\x00\x11\x00\x01\xff"  // VERSION at 11, ENCRYPTION at 17
    "\x0f\x00\x07\xd0\x00\x00\x02";                 // 15.0.2000, encryption not supported

// A SQL Server cannot run here: this stand-in on 127.0.0.1 answers the
// pre-login, decodes each LOGIN7 packet and hangs up (a failed login).
class FakeTdsServer {
 public:
  FakeTdsServer() : listener_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
        ::listen(listener_, 4) ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size)) {
      if (listener_ >= 0) ::close(listener_);
      throw std::runtime_error("socket/bind/listen");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~FakeTdsServer() {
    ::shutdown(listener_, SHUT_RDWR);  // wakes the accept
    thread_.join();
    ::close(listener_);
  }
  int port() const { return port_; }
  std::vector<TdsLogin> Logins() {
    std::lock_guard lock(mutex_);
    return logins_;
  }

 private:
  void Serve() {
    for (;;) {
      const int connection = ::accept(listener_, nullptr, nullptr);
      if (connection < 0) return;
      // A driver that stops talking must not keep the test waiting for ever.
      timeval limit{10, 0};
      ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
      uint8_t type = 0;
      std::vector<uint8_t> payload;
      if (ReadMessage(connection, type, payload) && type == kPreLogin &&
          ::send(connection, kPreLoginReply, sizeof kPreLoginReply - 1, MSG_NOSIGNAL) ==
              sizeof kPreLoginReply - 1 &&
          ReadMessage(connection, type, payload) && type == kLogin7) {
        std::lock_guard lock(mutex_);
        logins_.push_back(DecodeLogin7(payload));
      }
      ::close(connection);
    }
  }

  int listener_;
  int port_ = 0;
  std::mutex mutex_;
  std::vector<TdsLogin> logins_;
  std::thread thread_;
};

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

// Settings the data source cannot carry are refused; the data source lasts
// only for the connect (the user's ODBCINI comes back, the folder goes).
TEST_F(SqlServerLoginFakeTdsTest, LoginValuesArriveByteForByteOrAreRefused) {
  TempDir temp;
  setenv("TMPDIR", temp.path().c_str(), 1);
  setenv("ODBCINI", "/nonexistent/odbc.ini", 1);
  const char* values[] = {"x};SERVER=10.0.0.1;PORT=1434;DATABASE=master;y",
                          "{a}}",
                          " \tedges\t ",
                          "Müller€\xf0\x9f\x98\x80",
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
      }
      arrived = logins.size();
    }
  }
  // A line break would start a setting of its own; the reader trims edges.
  for (const char* database : {"Verein\nPort = 1", " Verein", "Verein\t", "Ver\rein"}) {
    settings.SQLServer_DB = database;
    EXPECT_EQ(LogIn().size(), arrived) << database;
  }
  settings.SQLServer_DB = "Verein";
  settings.SQLServer_Host = "127.0.0.1\nPort = 1434";
  EXPECT_EQ(LogIn().size(), arrived);
  const std::string ini = std::getenv("ODBCINI") ? std::getenv("ODBCINI") : "(unset)";
  const bool empty = std::filesystem::is_empty(temp.path());
  unsetenv("ODBCINI");
  unsetenv("TMPDIR");
  EXPECT_EQ(ini, "/nonexistent/odbc.ini");
  EXPECT_TRUE(empty);
}

}  // namespace
}  // namespace kb6::test
