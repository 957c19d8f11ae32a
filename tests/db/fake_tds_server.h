// A stand-in for a SQL Server's login, which cannot run here: it listens on
// 127.0.0.1, answers the TDS pre-login (no encryption), decodes each LOGIN7
// packet that arrives and hangs up. The driver then reports a failed login.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kb6::test {

// What one LOGIN7 packet carried, its texts decoded from UTF-16LE to UTF-8.
struct TdsLogin {
  std::string user;
  std::string password;
  std::string database;
  std::string server;
};

class FakeTdsServer {
 public:
  FakeTdsServer();   // listening on an ephemeral port
  ~FakeTdsServer();  // stops listening and waits for the serving thread
  FakeTdsServer(const FakeTdsServer&) = delete;
  FakeTdsServer& operator=(const FakeTdsServer&) = delete;

  int port() const { return port_; }
  std::vector<TdsLogin> Logins();

 private:
  void Serve();
  void Answer(int connection);

  int listener_ = -1;
  int port_ = 0;
  std::mutex mutex_;
  std::vector<TdsLogin> logins_;
  std::thread thread_;
};

}  // namespace kb6::test
