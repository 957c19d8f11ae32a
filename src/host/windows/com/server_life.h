// When a COM-started monitor ends: once its window has unloaded and no host
// holds one of its objects (or a lock on a class factory).
#pragma once

#include <functional>

namespace kb6 {

class ServerLife {
 public:
  // `window_loaded` tells whether the main window is still loaded; `end`
  // ends the message loop.
  ServerLife(std::function<bool()> window_loaded, std::function<void()> end)
      : window_loaded_(std::move(window_loaded)), end_(std::move(end)) {}

  void ObjectCreated() { ++objects_; }
  void ObjectReleased() {
    --objects_;
    CheckEnd();
  }
  // Called also when the window has unloaded.
  void CheckEnd() {
    if (objects_ == 0 && !window_loaded_()) end_();
  }

 private:
  long objects_ = 0;
  std::function<bool()> window_loaded_;
  std::function<void()> end_;
};

}  // namespace kb6
