// A test that uses the system support units: the log file, run-time
// binding and process information, started and stopped around each test.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "TestSupport.h"
#include "Velqora.Debug.Log.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.Units.h"

namespace Testing {

class SystemTest : public ::testing::Test {
protected:
  void SetUp() override { Units.emplace(Velqora::SupportUnits, Velqora::ProcessInfo::Start); }
  void TearDown() override {
    std::wstring logFile;
    if (Log) {
      logFile = Log->FileName();
      Velqora::Debug::TDebugLogFile::FreeLogInstance(Log);
    }
    Units.reset();
    if (!logFile.empty()) DeleteFileW(logFile.c_str());
  }

  // Turns on the program's log, which the support units write to: every
  // level, each record straight to the file, which starts empty and is
  // removed after the test.
  void TurnLogOn() {
    Log = Velqora::Debug::TDebugLogFile::GetLogInstance(Velqora::Debug::ProgramFileName(false));
    ASSERT_TRUE(Log);
    Log->SetLogLevel(INT32_MAX);
    Log->SetDirectWrite(true);
    DeleteFileW(Log->FileName().c_str());
  }
  // The log's text so far.
  std::wstring LogText() const {
    std::string bytes = FileExists(Log->FileName()) ? ReadBytes(Log->FileName()) : "";
    return bytes.size() < 2 ? L""
                            : std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  }

  std::optional<Velqora::TUnitsScope> Units;
  Velqora::Debug::TDebugLogFile* Log = nullptr;
};

}  // namespace Testing
