// The clock of the KB6TRAY process. Tests replace it through the environment
// variable KB6TRAY_TEST_NOW so that real processes run on a chosen date.
#pragma once

#include <memory>

#include "common/clock.h"

namespace kb6 {

// "yyyy-mm-dd hh:mm:ss" (or with a "T" between) starts local time at that
// instant; an optional "+S" moves it on by S whole seconds with every
// reading, so entries written one after another get distinct, repeatable
// times. Null, empty or malformed: the system clock.
std::unique_ptr<Clock> MakeProcessClock(const char* test_now);

}  // namespace kb6
