#include "host/application.h"

#include <exception>

#include "db/database.h"
#include "runlog/run_log.h"
#include "tray/main_window.h"

namespace kb6 {

void clsApplication::Class_Terminate() {
  try {
    db_.CloseDatabase();
  } catch (...) {
  }
}

void clsApplication::ShowTrayicon() {
  try {
    settings_.CloseRequested = false;
    // Loading once: a second call neither adds an icon nor a timer.
    if (!window_.Loaded()) window_.Load();
  } catch (const std::exception& e) {
    log_.WriteLog(e.what(), LogTypeError);
  }
}

}  // namespace kb6
