// Shared set-up of the system support tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "SystemUnitsTest.h"
#include "TestSupport.h"

namespace Testing {

inline std::wstring SystemFixture(const char* AName) {
  return BuildPath((std::string(BOUNTIQ_SYSTEM_FIXTURES "/") + AName).c_str());
}

}  // namespace Testing
