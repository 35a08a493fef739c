// Run-time binding of system functions through a reference-counted library
// registry.
#pragma once

namespace Velqora {

class DllRoutines {
public:
  DllRoutines() = delete;

  // Levels of the loader's log records.
  enum class TDllLogLevel { dllNone, dllError, dllWarning, dllInfo };
  friend constexpr TDllLogLevel LastLogLevel(TDllLogLevel) { return TDllLogLevel::dllInfo; }
};

}  // namespace Velqora
