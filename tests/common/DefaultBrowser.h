// The machine's default browser as the shell reads it (the http
// association's open command), set by a test and put back afterwards.
#pragma once

#include <windows.h>

#include <string>

namespace Testing {

class TDefaultBrowserCommand {
public:
  TDefaultBrowserCommand() {
    DWORD size = sizeof(FOld);
    FHadOld = RegGetValueW(HKEY_LOCAL_MACHINE, Key, nullptr, RRF_RT_REG_SZ, nullptr, FOld, &size) == ERROR_SUCCESS;
  }
  ~TDefaultBrowserCommand() {
    if (FHadOld)
      Set(FOld);
    else
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, Key);
  }
  TDefaultBrowserCommand(const TDefaultBrowserCommand&) = delete;
  TDefaultBrowserCommand& operator=(const TDefaultBrowserCommand&) = delete;

  // The program (which must exist) opens addresses: "PATH" "%1".
  void UseProgram(const std::wstring& APath) { Set(L"\"" + APath + L"\" \"%1\""); }

private:
  static void Set(const std::wstring& ACommand) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, Key, nullptr, REG_SZ, ACommand.c_str(),
                    DWORD((ACommand.size() + 1) * sizeof(wchar_t)));
  }
  static constexpr const wchar_t* Key = L"Software\\Classes\\http\\shell\\open\\command";
  bool FHadOld = false;
  wchar_t FOld[1024] = {};
};

}  // namespace Testing
