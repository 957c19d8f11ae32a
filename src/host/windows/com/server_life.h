// The life of KB6TRAY.exe as a COM server. Every object, every
// IClassFactory::LockServer and the loaded main window hold one reference of
// the server process (CoAddRefServerProcess). When the last goes, COM
// suspends the class objects, so no activation can reach a server that is
// ending, and the server's message loop ends.
#pragma once

namespace kb6 {

void AddServerReference();
// Ends the server's message loop when it was the last reference.
void ReleaseServerReference();

// Takes one server-process reference for its life.
class ServerReference {
 public:
  ServerReference() { AddServerReference(); }
  ~ServerReference() { ReleaseServerReference(); }
  ServerReference(const ServerReference&) = delete;
  ServerReference& operator=(const ServerReference&) = delete;
};

// True once an object of this server has been made: a server started by COM
// that has served none after its grace period ends by itself.
bool ServedAnObject();
void NoteObjectServed();

}  // namespace kb6
