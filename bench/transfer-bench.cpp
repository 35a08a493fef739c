// Extraction of a wrapper's payload and download of a file, as the installer
// runs do them, timed.
//   transfer-bench extract WRAPPER OUTPUT
//   transfer-bench download URL OUTPUT
// Prints the seconds taken.
#include <windows.h>

#include <cstdio>
#include <string>

#include "UniqueHandle.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Win.Internet.h"
#include "uWrapper.ResourceManager.h"

using namespace Velqora;

namespace {
struct TFile : TStream {
  explicit TFile(const std::wstring& AName)
      : Handle(CreateFileW(AName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)) {}
  void Write(const void* AData, size_t ASize) override {
    DWORD written;
    if (!WriteFile(Handle.Get(), AData, DWORD(ASize), &written, nullptr)) ThrowLastOSError();
  }
  TUniqueFileHandle Handle;
};
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  std::wstring what = argv[1];
  Debug::TDebugLogFile::Start();
  DllRoutines::Start();
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&a);  // from the start, mapping included
  bool ok = true;
  try {
    if (what == L"extract") {
      // Mapped as an image, as a running wrapper's own file is.
      LoadLibraryExW(argv[2], nullptr, DONT_RESOLVE_DLL_REFERENCES);
      uWrapper::ResourceManager::TResourceManager(argv[2]).GetFile(uWrapper::ResourceManager::RES_INSTALLER_PACKAGE,
                                                                   argv[3]);
    } else {
      TFile file(argv[3]);
      DWORD status = 0;
      ok = InternetRequest(L"GET", argv[2], L"", nullptr, 0, status, &file) && IsSuccessStatus(status);
    }
  } catch (const Exception&) {
    ok = false;
  }
  QueryPerformanceCounter(&b);
  DllRoutines::Stop();
  Debug::TDebugLogFile::Stop();
  wprintf(L"%.3f\n", double(b.QuadPart - a.QuadPart) / double(f.QuadPart));
  return ok ? 0 : 1;
}
