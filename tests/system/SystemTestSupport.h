// Shared set-up of the system support tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.Project.ProcessInfo.h"

namespace Testing {

inline std::wstring SystemFixture(const char* AName) {
  return BuildPath((std::string(BOUNTIQ_SYSTEM_FIXTURES "/") + AName).c_str());
}

// The units these tests use, started and stopped around each test.
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
