// Extraction of a wrapper's payload and download of a file, as the installer
// runs do them, timed.
//   transfer-bench extract [COPY]      (a copy of this program packed with a payload)
//   transfer-bench download URL OUTPUT
//   transfer-bench verify SIGNED_PROGRAM ROOT_CERTIFICATE
// Prints the seconds taken. extract: the installer phase's own extraction,
// from the resource of the running program to the written, closed and
// locked file in the installer folder (COPY receives its bytes afterwards,
// untimed). verify: the signature check alone, the first in the process, as
// the wrapper makes it; the root is trusted first.
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <string>

#include "UniqueHandle.h"
#include "Velqora.Debug.LogFile.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"
#include "Velqora.System.Win.Internet.h"
#include "Velqora.System.Win.Trust.h"
#include "uInstaller.h"
#include "uWrapper.ResourceManager.h"

using namespace Velqora;

namespace {
void TrustRoot(const std::wstring& ADerFile) {
  TUniqueFileHandle file(CreateFileW(ADerFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  BYTE der[8192];
  DWORD size = 0;
  if (!file || !ReadFile(file.Get(), der, sizeof(der), &size, nullptr)) ThrowLastOSError();
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
  if (!store) ThrowLastOSError();
  CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der, size, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(store, 0);
}

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
  if (argc < 2) return 2;
  std::wstring what = argv[1];
  if (what != L"extract" && argc < 4) return 2;
  Debug::TDebugLogFile::Start();
  DllRoutines::Start();
  uInstaller::Start();
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);
  TUniqueFileHandle signedFile;
  if (what == L"verify") {
    TrustRoot(argv[3]);
    signedFile.Reset(CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  }
  QueryPerformanceCounter(&a);  // from the start, mapping included
  bool ok = true;
  try {
    if (what == L"extract") {
      using namespace uInstaller;
      Installer::TInstallerFolder folder;
      Installer::TInstallerProcess product(TInstallerType::itAction, folder);
      QueryPerformanceCounter(&a);
      product.ExtractFromResources(uWrapper::ResourceManager::RES_INSTALLER_NAME,
                                   uWrapper::ResourceManager::RES_INSTALLER_PACKAGE);
      QueryPerformanceCounter(&b);
      ok = product.IsLocked();
      if (ok && argc > 2) ok = CopyFileW(product.InstallerFileName().c_str(), argv[2], FALSE);
    } else if (what == L"verify") {
      VerifySignedFile(argv[2], signedFile.Get(), {});
    } else {
      TFile file(argv[3]);
      DWORD status = 0;
      ok = InternetRequest(L"GET", argv[2], L"", nullptr, 0, status, &file) && IsSuccessStatus(status);
    }
  } catch (const Exception&) {
    ok = false;
  }
  if (what != L"extract") QueryPerformanceCounter(&b);
  uInstaller::Stop();
  DllRoutines::Stop();
  Debug::TDebugLogFile::Stop();
  wprintf(L"%.3f\n", double(b.QuadPart - a.QuadPart) / double(f.QuadPart));
  return ok ? 0 : 1;
}
