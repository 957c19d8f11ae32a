#include "fake_tds_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <stdexcept>

#include "db/odbc/utf16.h"

namespace kb6::test {
namespace {

constexpr uint8_t kPreLogin = 0x12;
constexpr uint8_t kLogin7 = 0x10;
constexpr uint8_t kEndOfMessage = 0x01;

bool ReadFully(int fd, uint8_t* out, size_t n) {
  while (n > 0) {
    const ssize_t got = ::recv(fd, out, n, 0);
    if (got <= 0) return false;
    out += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

// One TDS message: its packets' payloads joined; false when the peer left.
bool ReadMessage(int fd, uint8_t& type, std::vector<uint8_t>& payload) {
  payload.clear();
  for (;;) {
    uint8_t header[8];
    if (!ReadFully(fd, header, sizeof header)) return false;
    const size_t length = static_cast<size_t>(header[2]) << 8 | header[3];
    if (length < sizeof header) return false;
    type = header[0];
    const size_t old = payload.size();
    payload.resize(old + length - sizeof header);
    if (!ReadFully(fd, payload.data() + old, length - sizeof header)) return false;
    if (header[1] & kEndOfMessage) return true;
  }
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

// A LOGIN7 field: offset and length in characters at "at" of the fixed part.
std::vector<uint8_t> Field(const std::vector<uint8_t>& login, size_t at) {
  const size_t offset = Le16(login, at), units = Le16(login, at + 2);
  if (offset + 2 * units > login.size()) throw std::runtime_error("LOGIN7 field out of range");
  return {login.begin() + static_cast<std::ptrdiff_t>(offset),
          login.begin() + static_cast<std::ptrdiff_t>(offset + 2 * units)};
}

std::string Text(const std::vector<uint8_t>& utf16le) {
  std::u16string units;
  for (size_t i = 0; i + 1 < utf16le.size(); i += 2)
    units += static_cast<char16_t>(utf16le[i] | utf16le[i + 1] << 8);
  return Utf8FromUtf16(units);
}

TdsLogin DecodeLogin7(const std::vector<uint8_t>& login) {
  TdsLogin out;
  out.user = Text(Field(login, 40));
  // The client swapped each byte's nibbles and then XORed 0xA5.
  std::vector<uint8_t> plain = Field(login, 44);
  for (uint8_t& b : plain) {
    b ^= 0xA5;
    b = static_cast<uint8_t>(b << 4 | b >> 4);
  }
  out.password = Text(plain);
  out.server = Text(Field(login, 52));
  out.database = Text(Field(login, 68));
  return out;
}

}  // namespace

FakeTdsServer::FakeTdsServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) throw std::runtime_error("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 4) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(listener_);
    throw std::runtime_error("bind/listen");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

FakeTdsServer::~FakeTdsServer() {
  ::shutdown(listener_, SHUT_RDWR);  // wakes the accept
  thread_.join();
  ::close(listener_);
}

std::vector<TdsLogin> FakeTdsServer::Logins() {
  std::lock_guard lock(mutex_);
  return logins_;
}

void FakeTdsServer::Serve() {
  for (;;) {
    const int connection = ::accept(listener_, nullptr, nullptr);
    if (connection < 0) return;
    // A driver that stops talking must not keep the test waiting for ever.
    timeval limit{10, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    Answer(connection);
    ::close(connection);
  }
}

void FakeTdsServer::Answer(int connection) {
  uint8_t type = 0;
  std::vector<uint8_t> payload;
  if (!ReadMessage(connection, type, payload) || type != kPreLogin) return;
  // VERSION and ENCRYPTION options, then their data: version 15.0.2000,
  // encryption not supported, so the login comes in the clear.
  static const char reply[] =
      "\x04\x01\x00\x1a\x00\x00\x01\x00"              // header: tabular result, end of message
      "\x00\x00\x0b\x00\x06\x01\x00\x11\x00\x01\xff"  // VERSION at 11, ENCRYPTION at 17
      "\x0f\x00\x07\xd0\x00\x00\x02";                 // 15.0.2000, encryption not supported
  if (::send(connection, reply, sizeof reply - 1, MSG_NOSIGNAL) != sizeof reply - 1) return;
  if (!ReadMessage(connection, type, payload) || type != kLogin7) return;
  TdsLogin login = DecodeLogin7(payload);
  std::lock_guard lock(mutex_);
  logins_.push_back(std::move(login));
}

}  // namespace kb6::test
