// Logins through the real FreeTDS driver against a fake TDS server: the
// settings arrive byte for byte and never change where the driver connects.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
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

// One TDS packet of type `want`: the driver's pre-login and login fit one each.
bool ReadPacket(int fd, uint8_t want, std::vector<uint8_t>& payload) {
  uint8_t header[8];
  if (::recv(fd, header, sizeof header, MSG_WAITALL) != sizeof header || header[0] != want)
    return false;
  payload.resize(std::max<size_t>(header[2] << 8 | header[3], sizeof header) - sizeof header);
  return ::recv(fd, payload.data(), payload.size(), MSG_WAITALL) ==
         static_cast<ssize_t>(payload.size());
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

// VERSION 15.0.2000 and no encryption, so the login comes in the clear.
constexpr char kPreLoginReply[] =
    "\x04\x01\x00\x1a\x00\x00\x01\x00"              // header: tabular result, end of message
    "\x00\x00\x0b\x00\x06\x01\x00\x11\x00\x01\xff"  // VERSION at 11, ENCRYPTION at 17
    "\x0f\x00\x07\xd0\x00\x00\x02";                 // 15.0.2000, encryption not supported

struct Socket {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  ~Socket() { ::close(fd); }
};

class SqlServerLoginFakeTdsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv(kOdbcDriverVariable);  // the default driver, FreeTDS
    RegisterOdbcProvider(providers);
  }
  // A SQL Server cannot run here: a stand-in on 127.0.0.1 answers the
  // pre-login, decodes each LOGIN7 packet and hangs up (a failed login)
  // until the driver gives up. The host is "127.0.0.1" + before_port + port.
  std::vector<TdsLogin> LogIn(const std::string& before_port = ",") {
    Socket listener;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listener.fd, reinterpret_cast<sockaddr*>(&address), size) ||
        ::listen(listener.fd, 4) ||
        ::getsockname(listener.fd, reinterpret_cast<sockaddr*>(&address), &size))
      throw std::runtime_error("socket/bind/listen");
    settings.SQLServer_Host = "127.0.0.1" + before_port + std::to_string(ntohs(address.sin_port));
    std::vector<TdsLogin> logins;
    std::thread serve([&] {
      for (int c; (c = ::accept(listener.fd, nullptr, nullptr)) >= 0; ::close(c)) {
        // A driver that stops talking must not keep the test waiting for ever.
        const timeval limit{10, 0};
        ::setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        std::vector<uint8_t> m;
        if (ReadPacket(c, 0x12, m) &&  // pre-login
            ::send(c, kPreLoginReply, sizeof kPreLoginReply - 1, MSG_NOSIGNAL) ==
                sizeof kPreLoginReply - 1 &&
            ReadPacket(c, 0x10, m))  // LOGIN7
          logins.push_back({Field(m, 40), Field(m, 44, true), Field(m, 68)});
      }
    });
    EXPECT_FALSE(Database(settings, regional, clock, providers).OpenDatabase());
    ::shutdown(listener.fd, SHUT_RDWR);  // wakes the accept
    serve.join();
    return logins;
  }
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
  const std::string database = "Verein; #1=[x]";
  settings.SQLServer_DB = database;
  for (const std::string value :
       {"x};SERVER=10.0.0.1;PORT=1434;DATABASE=master;y", "{a}}", " \tedges\t ",
        "Müller€\xf0\x9f\x98\x80", "\"q'uo\"te'", "p;UID=sa"}) {
    settings.SQLServer_User = settings.SQLServer_Passwort = value;
    // Only this server's port can have received it: a value that moved
    // the driver elsewhere leaves the list empty.
    const std::vector<TdsLogin> logins = LogIn();
    ASSERT_FALSE(logins.empty()) << value;
    for (const TdsLogin& l : logins) {
      EXPECT_EQ(l.user, value);
      EXPECT_EQ(l.password, value);
      EXPECT_EQ(l.database, database);
    }
  }
  // A line break would start a setting of its own; the reader trims edges.
  for (const char* database : {"Verein\nPort = 1", " Verein", "Verein\t", "Ver\rein"}) {
    settings.SQLServer_DB = database;
    EXPECT_TRUE(LogIn().empty()) << database;
  }
  settings.SQLServer_DB = "Verein";
  EXPECT_TRUE(LogIn("\nPort = ").empty());
  EXPECT_STREQ(std::getenv("ODBCINI"), "/nonexistent/odbc.ini");
  EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
  unsetenv("ODBCINI");
  unsetenv("TMPDIR");
}

}  // namespace
}  // namespace kb6::test
