// A test that uses the system support units: the log file, run-time
// binding and process information, started and stopped around each test.
#pragma once

#include <gtest/gtest.h>

#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.Project.ProcessInfo.h"

namespace Testing {

class SystemTest : public ::testing::Test {
protected:
  void SetUp() override {
    Velqora::Debug::TDebugLogFile::Start();
    Velqora::DllRoutines::Start();
    Velqora::ProcessInfo::Start();
  }
  void TearDown() override {
    Velqora::ProcessInfo::Stop();
    Velqora::DllRoutines::Stop();
    Velqora::Debug::TDebugLogFile::Stop();
  }
};

}  // namespace Testing
