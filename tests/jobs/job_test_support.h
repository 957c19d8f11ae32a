// A club database with the job object on it; progress is recorded, not waited for.
#pragma once

#include "jobs/aufgaben.h"
#include "test_support.h"

namespace kb6::test {

class JobTest : public ClubTest {
 protected:
  void SetUp() override {
    ClubTest::SetUp();
    jobs = std::make_unique<clsAufgaben>(*db, regional, clock, *log, progress);
  }
  std::string Dt(double serial) { return std::to_string(serial); }
  // Log lines without their time stamp.
  std::vector<std::string> Entries() {
    std::vector<std::string> out;
    for (const auto& l : LogLines()) out.push_back(l.substr(9));
    return out;
  }

  ProgressRecorder progress;
  std::unique_ptr<clsAufgaben> jobs;
};

}  // namespace kb6::test
