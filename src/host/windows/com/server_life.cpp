#include "host/windows/com/server_life.h"

#include <objbase.h>
#include <windows.h>

#include <atomic>

namespace kb6 {
namespace {

std::atomic<bool> g_served{false};

}  // namespace

void AddServerReference() { CoAddRefServerProcess(); }

void ReleaseServerReference() {
  // COM has suspended the class objects when this returns 0. The objects
  // live on the server's one thread, whose message loop this ends.
  if (CoReleaseServerProcess() == 0) PostQuitMessage(0);
}

bool ServedAnObject() { return g_served; }
void NoteObjectServed() { g_served = true; }

}  // namespace kb6
